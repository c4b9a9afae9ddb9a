// SPDX-License-Identifier: ISC
// Opening a web address in the user's browser through the desktop's
// `xdg-open`, without a shell and without waiting for the browser.
#pragma once

#include <string>

// Only http, https and mailto addresses are opened; false for any other, or
// when xdg-open cannot be started.
bool openWithDesktop(const std::string& url);
