// SPDX-License-Identifier: ISC
// The overlays that IGraphics draws above the controls: an open pop-up menu
// (with its open sub-menus) and a message box. Both take the mouse while
// they are shown; what the user picks goes back through callbacks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/popup_menu.h"

class IGraphics;
enum class EMsgBoxType;
enum class EMsgBoxResult;

// Menu metrics in design units.
struct MenuStyle {
  float itemHeight = 40;
  float separatorHeight = 14;
  float textSize = 26;
  float padding = 16;
  float checkWidth = 36;
  float arrowWidth = 32;
};

class MenuOverlay {
 public:
  MenuOverlay(IGraphics& g, IControl& caller, IPopupMenu& menu, float x, float y);

  // The pointer moved: highlights the item under it, opens its sub-menu.
  void mouseMove(float x, float y);
  // True when the menu is done (an item chosen or the menu dismissed); the
  // caller has then been told.
  bool mouseDown(float x, float y);
  void draw(IGraphics& g) const;
  IRECT area() const;
  // Where each item of an open menu level lies (for tests and hit testing).
  IRECT itemRect(int level, int item) const;
  int levels() const { return static_cast<int>(mLevels.size()); }
  IControl& caller() const { return mCaller; }

 private:
  struct Level {
    IPopupMenu* menu;
    IRECT rect;
    int hover = -1;
  };
  void open(IPopupMenu& menu, float x, float y);
  int itemAt(const Level& level, float x, float y) const;
  float itemTop(const Level& level, int item) const;

  IGraphics& mGraphics;
  IControl& mCaller;
  MenuStyle mStyle;
  std::vector<Level> mLevels;
};

class MessageBoxOverlay {
 public:
  MessageBoxOverlay(IGraphics& g, std::string text, std::string title, EMsgBoxType type,
                    std::function<void(EMsgBoxResult)> completion);

  // Returns true (with `result` set) when a button was clicked.
  bool mouseDown(float x, float y, EMsgBoxResult& result) const;
  void draw(IGraphics& g) const;
  IRECT boxRect() const { return mBox; }
  // The buttons, in order (OK; or Yes, No).
  std::vector<std::pair<IRECT, EMsgBoxResult>> buttons() const;
  const std::string& text() const { return mText; }
  const std::string& title() const { return mTitle; }
  void complete(EMsgBoxResult result) const {
    if (mCompletion) mCompletion(result);
  }

 private:
  std::vector<std::string> lines() const;
  std::string mText, mTitle;
  EMsgBoxType mType;
  std::function<void(EMsgBoxResult)> mCompletion;
  IRECT mBox;
};
