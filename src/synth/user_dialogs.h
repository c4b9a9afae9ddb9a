// SPDX-License-Identifier: ISC
// UserDialogs: the message boxes and the browser as the instrument's commands
// see them. The editor's boxes are modal inside its own window and do not run
// an event loop of their own, so a box returns at once and the command goes on
// in the continuation when the user answers. Tests answer with recorders.
#pragma once

#include <functional>
#include <string>

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A box with an OK button; `then` runs once when it is dismissed.
  virtual void showMessage(const std::string& title, const std::string& text, std::function<void()> then) = 0;
  // A box with Yes and No buttons; `then` runs once with the answer.
  virtual void askYesNo(const std::string& title, const std::string& text, std::function<void(bool yes)> then) = 0;
  // Opens the address in the user's browser.
  virtual void openWebAddress(const std::string& url) = 0;
};
