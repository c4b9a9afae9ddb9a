// SPDX-License-Identifier: ISC
#include "menus.h"

#include <string>

#include "commands.h"
#include "graphics.h"
#include "panel_delegate.h"
#include "panel_ids.h"

namespace {

const char* const kSizeLabels[] = {"50%", "75%", "100%", "200%", "400%", "800%"};

void resizeTo(IGEditorDelegate* delegate, int size) {
  if (auto* panel = dynamic_cast<PanelDelegate*>(delegate)) panel->synth.resizeUI(static_cast<GUI::GUISize>(size));
}

}  // namespace

// --- option menu

IMPOptionMenu::IMPOptionMenu(const IRECT& bounds, int paramIdx) : IControl(bounds, paramIdx) { mPointingHand = true; }

void IMPOptionMenu::build() {
  menu.RemoveAllItems();
  if (GetParamIdx() != -kCtrlOptionMenu) return;
  auto* panel = dynamic_cast<PanelDelegate*>(GetDelegate());
  menu.AddItem("Initialize Settings");
  menu.AddSeparator();
  menu.AddItem("Load Program");
  menu.AddItem("Save Program");
  menu.AddItem("Default Path for Program Files");
  menu.AddSeparator();
  auto* midi = new IPopupMenu;
  midi->AddItem("MIDI Thru").checked = panel && panel->synth.midiThru;
  midi->AddItem("Ignore Program Change").checked = panel && panel->synth.ignoreProgramChange;
  menu.AddItem("Global MIDI Settings...", midi);
  menu.AddItem("Reload Configuration");
  menu.AddItem("Save Configuration");
  menu.AddSeparator();
  auto* sizes = new IPopupMenu;
  for (const char* label : kSizeLabels) sizes->AddItem(label);
  menu.AddItem("Window Size", sizes);
  menu.AddItem("Save Window Size");
  menu.AddSeparator();
  auto* online = new IPopupMenu;
  online->AddItem("Check Online for Update");
  online->AddItem(std::string("Visit ") + kMakerWebSite);
  menu.AddItem("Go Online...", online);
}

void IMPOptionMenu::OnMouseDown(float x, float y, const IMouseMod&) {
  build();
  if (!GetUI()) return;
  GetUI()->CreatePopupMenu(*this, menu, x, y);
  GetUI()->SetAllControlsDirty();
}

void IMPOptionMenu::OnPopupMenuSelection(IPopupMenu* chosen, int idx) {
  if (!chosen || GetParamIdx() != -kCtrlOptionMenu) return;
  if (chosen == menu.GetItem(10)->submenu.get()) {
    resizeTo(GetDelegate(), idx);
    return;
  }
  int command = idx;
  if (chosen == menu.GetItem(6)->submenu.get()) command = idx + 14;
  if (chosen == menu.GetItem(13)->submenu.get()) command = idx + 16;
  switch (command) {
    case File::kCmdInitialize:
    case File::kCmdLoadProgram:
    case File::kCmdSaveProgram:
    case File::kCmdDefaultPath:
    case File::kCmdReloadConfig:
    case File::kCmdSaveConfig:
    case File::kCmdSaveWindowSize:
    case File::kCmdMidiThru:
    case File::kCmdIgnoreProgramChange:
    case File::kCmdCheckForUpdate:
      runCommand(GetDelegate(), this, static_cast<File::Command>(command));
      break;
    case File::kCmdVisitWebSite:
      if (GetUI()) GetUI()->OpenURL(kMakerWebSite);
      break;
    default: break;
  }
}

// --- size menu

IMPSizeContextControl::IMPSizeContextControl(const IRECT& bounds, int paramIdx) : IControl(bounds, paramIdx) {}

void IMPSizeContextControl::OnInit() {
  menu.RemoveAllItems();
  for (const char* label : kSizeLabels) menu.AddItem(std::string("Set Windows Size to ") + label);
  menu.AddSeparator();
  menu.AddItem("Save Window Size");
}

void IMPSizeContextControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (!mod.R || GetParamIdx() != -kCtrlSizeMenu || !GetUI()) return;
  GetUI()->CreatePopupMenu(*this, menu, x, y);
  SetDirty(false);
}

void IMPSizeContextControl::OnPopupMenuSelection(IPopupMenu* chosen, int idx) {
  if (!chosen || GetParamIdx() != -kCtrlSizeMenu) return;
  if (idx >= 0 && idx <= 5) resizeTo(GetDelegate(), idx);
  if (idx == 7) saveWindowSize(GetDelegate(), this);
}
