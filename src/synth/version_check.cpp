// SPDX-License-Identifier: ISC
#include "synth/version_check.h"

#include <cstdlib>

#include "wobblytone_identity.h"

namespace {

constexpr const char* kSiteBase = Identity::kSite;
constexpr const char* kProductName = Identity::kName;
// This release, as the server writes versions and as the user reads it.
constexpr long long kOwnVersion = Identity::kVersionNumber;
constexpr const char* kOwnVersionText = Identity::kVersionText;
constexpr const char* kTitle = "Check Online for Update";
// The answer is a few digits; anything this long is not one.
constexpr size_t kMaxReplyBytes = 64 * 1024;

// The host of an address given from outside, so that the messages name the
// server that was really asked: no scheme, user, port or path.
std::string hostOf(const std::string& base) {
  const size_t scheme = base.find("://");
  const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  std::string authority = base.substr(start, base.find_first_of("/?#", start) - start);
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  const size_t end = authority.starts_with('[') ? authority.find(']') : authority.find(':');
  if (end != std::string::npos) authority.erase(end + (authority[0] == '[' ? 1 : 0));
  return authority.empty() ? base : authority;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The body's leading decimal integer: optional blanks and sign, then digits;
// 0 if there are none. Saturates, since the body comes from the network.
long long leadingInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr long long kLimit = 1000000000000LL;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    if (value < kLimit) value = value * 10 + (text[i] - '0');
  return negative ? -value : value;
}

void showContactError(UserDialogs& dialogs, const std::string& host) {
  dialogs.showMessage(kTitle, "An error occurred while contacting " + host + ".", [] {});
}

}  // namespace

VersionSite versionSite() {
  std::string base = kSiteBase;
  const char* fromEnv = std::getenv("WOBBLYTONE_UPDATE_URL");
  if (fromEnv && *fromEnv) {
    base = fromEnv;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
  }
  return {hostOf(base), base + "/music/version/?file=wobblytone", base + "/music/vst.html"};
}

std::string newVersionDisplayText(std::string_view body) {
  if (body.size() < 3) return std::string(body);
  std::string text{body[0], '.', body[1], '.'};
  // A nought in the tens of the patch number is dropped: 0901 is 0.9.1.
  text += body.substr(body[2] == '0' ? 3 : 2);
  return text;
}

void presentVersionReply(const HttpReply& reply, const VersionSite& site, UserDialogs& dialogs) {
  const std::string& body = reply.body;
  if (body.empty()) {
    showContactError(dialogs, site.host);
    return;
  }
  // An error page, whatever else went wrong: one box and no more.
  if (body.find('<') != std::string::npos) {
    dialogs.showMessage(kTitle, "Invalid call to " + site.host + ".", [] {});
    return;
  }
  // The boxes may be answered after this returns, so the steps after them
  // keep copies of what they need.
  UserDialogs* boxes = &dialogs;
  auto finish = [boxes, host = site.host, failed = reply.failed] {
    if (failed) showContactError(*boxes, host);
  };
  if (leadingInteger(body) <= kOwnVersion) {
    dialogs.showMessage(kTitle, "Your version is up to date.", finish);
    return;
  }
  const std::string product = kProductName;
  const std::string text = "A new version of " + product + " is available.\n\n" + "\tYour version: \t" +
                           kOwnVersionText + "\n" + "\tNew version: \t" + newVersionDisplayText(body) + "\n" +
                           "\nDo you want to go to " + site.host + " to get the new version?";
  dialogs.askYesNo("New Version of " + product + " Detected", text, [boxes, url = site.downloadUrl, finish](bool yes) {
    if (yes) boxes->openWebAddress(url);
    finish();
  });
}

void checkVersionAgainstWeb(UserDialogs& dialogs, long timeoutSeconds) {
  const VersionSite site = versionSite();
  presentVersionReply(httpGet(site.versionUrl, timeoutSeconds, kMaxReplyBytes), site, dialogs);
}
