// SPDX-License-Identifier: ISC
// libFuzzer target for the version check's messages: any reply body, failed
// or not (bit 0 of the first byte), gives the boxes in their one allowed
// order, with Yes and No answered in turn (the first answer from bit 1).
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "synth/version_check.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

struct Seen {
  char kind;  // 'm' message, 'q' question, 'b' browser
  std::string title, text;
};

class AlternatingDialogs : public UserDialogs {
 public:
  explicit AlternatingDialogs(bool firstYes) : nextYes(firstYes) {}
  void showMessage(const std::string& title, const std::string& text, std::function<void()> then) override {
    seen.push_back({'m', title, text});
    check(static_cast<bool>(then));
    then();
  }
  void askYesNo(const std::string& title, const std::string& text, std::function<void(bool)> then) override {
    seen.push_back({'q', title, text});
    check(static_cast<bool>(then));
    const bool yes = nextYes;
    nextYes = !nextYes;
    answers.push_back(yes);
    then(yes);
  }
  void openWebAddress(const std::string& url) override { seen.push_back({'b', "", url}); }

  std::vector<Seen> seen;
  std::vector<bool> answers;
  bool nextYes;
};

const VersionSite kSite = {"fuzz.test", "http://fuzz.test/music/version/?file=wobblytone",
                           "http://fuzz.test/music/vst.html"};
const std::string kTitle = "Check Online for Update";
const std::string kError = "An error occurred while contacting fuzz.test.";

bool isError(const Seen& s) { return s.kind == 'm' && s.title == kTitle && s.text == kError; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool failed = data[0] & 1;
  // A view of exactly the input, so that reading past the body's end trips
  // the address sanitizer instead of landing in a string's spare room.
  const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string shown = newVersionDisplayText(body);
  if (body.size() < 3)
    check(shown == body);
  else
    check(shown.size() == body.size() + (body[2] == '0' ? 1 : 2) && shown[1] == '.' && shown[3] == '.');

  AlternatingDialogs dialogs(data[0] & 2);
  presentVersionReply({std::string(body), failed}, kSite, dialogs);
  const std::vector<Seen>& seen = dialogs.seen;

  if (body.empty()) {
    check(seen.size() == 1 && isError(seen[0]));
    return 0;
  }
  if (body.find('<') != std::string_view::npos) {
    check(seen.size() == 1 && seen[0].kind == 'm' && seen[0].text == "Invalid call to fuzz.test.");
    return 0;
  }
  // The C library reads the leading number the same way, and saturates.
  const bool newer = std::strtoll(std::string(body).c_str(), nullptr, 10) >= 816;
  size_t i = 0;
  check(!seen.empty());
  if (newer) {
    check(seen[i].kind == 'q' && seen[i].title == "New Version of Wobblytone Detected");
    check(seen[i].text.find("\tNew version: \t" + shown + "\n\nDo you want to go to fuzz.test") != std::string::npos);
    ++i;
    if (dialogs.answers.at(0)) {
      check(i < seen.size() && seen[i].kind == 'b' && seen[i].text == kSite.downloadUrl);
      ++i;
    }
  } else {
    check(seen[i].kind == 'm' && seen[i].text == "Your version is up to date.");
    ++i;
  }
  if (failed) {
    check(i < seen.size() && isError(seen[i]));
    ++i;
  }
  check(i == seen.size());
  return 0;
}
