// SPDX-License-Identifier: ISC
// The two pop-up menus: the option menu behind an invisible hot zone right
// of the message strip, and the size menu that a right click on the empty
// panel opens.
#pragma once

#include "synth/gui_size.h"
#include "toolkit/control.h"

class PanelDelegate;

class IMPOptionMenu : public IControl {
 public:
  IMPOptionMenu(const IRECT& bounds, int paramIdx, PanelDelegate& panel);
  void Draw(IGraphics&) override {}
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* menu, int idx) override;
  IPopupMenu& Menu() { return menu; }

 private:
  void build();
  IPopupMenu menu;
  PanelDelegate& panel;
};

class IMPSizeContextControl : public IControl {
 public:
  IMPSizeContextControl(const IRECT& bounds, int paramIdx, PanelDelegate& panel);
  void OnInit() override;
  void Draw(IGraphics&) override {}
  void OnMouseDown(float x, float y, const IMouseMod& mod) override;
  void OnPopupMenuSelection(IPopupMenu* menu, int idx) override;
  IPopupMenu& Menu() { return menu; }

 private:
  IPopupMenu menu;
  PanelDelegate& panel;
};
