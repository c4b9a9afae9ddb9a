// SPDX-License-Identifier: ISC
// The instrument's editor: builds the panel in its graphics context, keeps
// it in step with the engine every idle period, and fills the message strip.
// The window that shows it (the DGL Cairo UI, or an off-screen host) owns
// the editor and calls onIdle every 20 ms.
#pragma once

#include <memory>
#include <string>

#include "editor/message_strip.h"
#include "editor/panel_delegate.h"
#include "synth/user_dialogs.h"
#include "toolkit/graphics.h"

class WobblytoneEditor : private UserDialogs {
 public:
  WobblytoneEditor(Wobblytone& synth, EditorLink& link, IPlatform& platform, const std::string& resourcePath);
  ~WobblytoneEditor() override;

  IGraphics& graphics() { return *g; }
  PanelDelegate& delegate() { return panel; }
  Wobblytone& synth() { return panel.synth; }

  // Every 20 ms on the user-interface thread while the window is open.
  void onIdle();
  // Recomputes the message strip.
  void setMessage();
  // The host or the window manager gave the window this size: the panel
  // takes the largest scale that fits it, within the scale limits, and asks
  // for the window it then fills. A size the panel already has does nothing.
  void followWindowSize(int width, int height);

  static constexpr int kIdleMs = 20;

 private:
  void layout();
  void attachKeyboard();
  // The instrument's message boxes and browser, as overlays of this window.
  void showMessage(const std::string& title, const std::string& text, std::function<void()> then) override;
  void askYesNo(const std::string& title, const std::string& text, std::function<void(bool)> then) override;
  void openWebAddress(const std::string& url) override;

  PanelDelegate panel;
  std::unique_ptr<IGraphics> g;
  IMPMessage* strip = nullptr;  // owned by g, made once by layout()
  // The factory program the engine applied last, shown on the strip while
  // nothing else is to be said; and how many the editor has seen applied.
  std::string programName;
  unsigned programsSeen = 0;
  void followFactoryProgram();
};
