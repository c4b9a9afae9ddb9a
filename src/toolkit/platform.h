// SPDX-License-Identifier: ISC
// What the toolkit needs of the window that shows it: the DGL Cairo UI in
// the plug-ins and the standalone app, an off-screen host in the tests.
#pragma once

#include <functional>
#include <string>

#include "toolkit/geometry.h"

enum class EFileAction { Open, Save };

struct FileDialogRequest {
  EFileAction action = EFileAction::Open;
  std::string folder;        // where the dialog starts
  std::string proposedName;  // for saving
  std::string extension;     // without the dot, e.g. "fxp"
};

class IPlatform {
 public:
  virtual ~IPlatform() = default;
  // The window's size in pixels changed to this.
  virtual void resizeWindow(int width, int height) = 0;
  virtual void setCursor(ECursor cursor) = 0;
  // Opens the address in the user's browser; false if that cannot be started.
  virtual bool openURL(const std::string& url) = 0;
  // Shows a file dialog; `done` runs once with the chosen path, or "" when
  // cancelled. It may run before this returns or later.
  virtual void promptForFile(const FileDialogRequest& request, std::function<void(const std::string&)> done) = 0;
  virtual bool windowIsOpen() const = 0;
  // Something became dirty: the window should draw again soon.
  virtual void requestRedraw() = 0;
  // Milliseconds on a steady clock (tooltips wait for a short hover).
  virtual double nowMs() const = 0;
};
