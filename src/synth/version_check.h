// SPDX-License-Identifier: ISC
// The online version check: asks the maker's server for the latest release,
// compares it with this one and tells the user, offering the download page.
// Fetching and presenting are apart, so that the messages can be driven from
// any reply.
#pragma once

#include <string>
#include <string_view>

#include "platform/http.h"
#include "synth/user_dialogs.h"

// Where the check goes. The base address is the maker's site unless
// WOBBLYTONE_UPDATE_URL is set and not empty.
struct VersionSite {
  std::string host;         // named in the messages
  std::string versionUrl;   // asked for the latest release
  std::string downloadUrl;  // opened when the user wants the new version
};
VersionSite versionSite();

// The reply's version as shown to the user: "0816" reads 0.8.16, "0901" 0.9.1,
// "1000" 1.0.0; whatever follows the number is shown as it is. A body of fewer
// than three characters is shown unchanged.
std::string newVersionDisplayText(std::string_view body);

// Shows the boxes for a reply, one after the other through the continuations;
// nothing of `reply` or `site` is needed once this returns.
void presentVersionReply(const HttpReply& reply, const VersionSite& site, UserDialogs& dialogs);

// The whole check: one request (bounded in time and size), then the boxes.
// Blocks the calling thread while the request is under way.
constexpr long kVersionCheckTimeoutSeconds = 10;
void checkVersionAgainstWeb(UserDialogs& dialogs, long timeoutSeconds = kVersionCheckTimeoutSeconds);
