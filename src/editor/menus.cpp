// SPDX-License-Identifier: ISC
#include "editor/menus.h"

#include <memory>
#include <span>
#include <string>

#include "editor/commands.h"
#include "editor/panel_delegate.h"
#include "editor/panel_ids.h"
#include "instrument/engine_view.h"
#include "instrument/factory_bank.h"
#include "toolkit/graphics.h"

namespace {

const char* const kSizeLabels[GUI::kNumGUISizes] = {"50%", "75%", "100%", "200%", "400%", "800%"};

// Stands for one item per window size, each its label after the entry's text.
constexpr int kEveryWindowSize = -2;
// Stands for one item per factory program, by name.
constexpr int kEveryFactoryProgram = -3;

// One item of a menu: its text and what choosing it does. A null text is a
// separator; an item with a sub-menu does nothing itself.
struct MenuEntry {
  const char* text;
  int command = -1;
  std::span<const MenuEntry> submenu = {};
};

constexpr MenuEntry kMidiSettings[] = {{"MIDI Thru", File::kCmdMidiThru},
                                       {"Ignore Program Change", File::kCmdIgnoreProgramChange}};
constexpr MenuEntry kWindowSizes[] = {{"", kEveryWindowSize}};
constexpr MenuEntry kFactoryPrograms[] = {{"", kEveryFactoryProgram}};
constexpr MenuEntry kGoOnline[] = {{"Check Online for Update", File::kCmdCheckForUpdate},
                                   {"Visit " WOBBLYTONE_SITE, File::kCmdVisitWebSite}};

// The option menu, top to bottom.
constexpr MenuEntry kOptionMenu[] = {
    {"Initialize Settings", File::kCmdInitialize},
    {nullptr},
    {"Load Program", File::kCmdLoadProgram},
    {"Factory Programs", -1, kFactoryPrograms},
    {"Save Program", File::kCmdSaveProgram},
    {"Default Path for Program Files", File::kCmdDefaultPath},
    {nullptr},
    {"Global MIDI Settings...", -1, kMidiSettings},
    {"Reload Configuration", File::kCmdReloadConfig},
    {"Save Configuration", File::kCmdSaveConfig},
    {nullptr},
    {"Window Size", -1, kWindowSizes},
    {"Save Window Size", File::kCmdSaveWindowSize},
    {nullptr},
    {"Go Online...", -1, kGoOnline},
};

// The menu a right click on the empty panel opens.
constexpr MenuEntry kSizeMenu[] = {
    {"Set Windows Size to ", kEveryWindowSize},
    {nullptr},
    {"Save Window Size", File::kCmdSaveWindowSize},
};

// Fills `menu` from `entries`; `checked` says which commands show a check mark.
template <class Checked>
void fill(IPopupMenu& menu, std::span<const MenuEntry> entries, const Checked& checked) {
  for (const MenuEntry& entry : entries) {
    if (!entry.text) {
      menu.AddSeparator();
      continue;
    }
    if (entry.command == kEveryWindowSize) {
      for (int size = 0; size < GUI::kNumGUISizes; ++size)
        menu.AddItem(std::string(entry.text) + kSizeLabels[size]).tag = File::kCmdFirstWindowSize + size;
      continue;
    }
    if (entry.command == kEveryFactoryProgram) {
      for (int i = 0; i < FactoryBank::count(); ++i) {
        IPopupMenu::Item& item = menu.AddItem(FactoryBank::program(i).name);
        item.tag = File::kCmdFirstFactoryProgram + i;
        item.checked = checked(item.tag);
      }
      continue;
    }
    IPopupMenu::Item& item = menu.AddItem(entry.text);
    item.tag = entry.command;
    item.checked = entry.command >= 0 && checked(entry.command);
    if (!entry.submenu.empty()) {
      item.submenu = std::make_unique<IPopupMenu>();
      fill(*item.submenu, entry.submenu, checked);
    }
  }
}

// Runs what the chosen item of any of these menus stands for.
void choose(PanelDelegate& panel, IControl& caller, const IPopupMenu* chosen, int idx) {
  const IPopupMenu::Item* item = chosen ? chosen->GetItem(idx) : nullptr;
  if (item && item->tag >= 0 && caller.GetUI())
    runCommand(panel, *caller.GetUI(), static_cast<File::Command>(item->tag));
}

}  // namespace

// --- option menu

IMPOptionMenu::IMPOptionMenu(const IRECT& bounds, int paramIdx, PanelDelegate& panel)
    : IControl(bounds, paramIdx), panel(panel) {
  mPointingHand = true;
}

void IMPOptionMenu::build() {
  menu.RemoveAllItems();
  if (GetParamIdx() != -kCtrlOptionMenu) return;
  const Wobblytone& synth = panel.synth;
  const int lastProgram = EngineView(synth).lastFactoryProgram();
  fill(menu, kOptionMenu, [&synth, lastProgram](int command) {
    if (command == File::kCmdMidiThru) return synth.configFile.midiThru.load();
    if (lastProgram >= 0 && command == File::kCmdFirstFactoryProgram + lastProgram) return true;
    if (command == File::kCmdIgnoreProgramChange) return synth.configFile.ignoreProgramChange.load();
    return false;
  });
}

void IMPOptionMenu::OnMouseDown(float x, float y, const IMouseMod&) {
  build();
  if (!GetUI()) return;
  GetUI()->CreatePopupMenu(*this, menu, x, y);
  GetUI()->SetAllControlsDirty();
}

void IMPOptionMenu::OnPopupMenuSelection(IPopupMenu* chosen, int idx) {
  if (GetParamIdx() == -kCtrlOptionMenu) choose(panel, *this, chosen, idx);
}

// --- size menu

IMPSizeContextControl::IMPSizeContextControl(const IRECT& bounds, int paramIdx, PanelDelegate& panel)
    : IControl(bounds, paramIdx), panel(panel) {}

void IMPSizeContextControl::OnInit() {
  menu.RemoveAllItems();
  fill(menu, kSizeMenu, [](int) { return false; });
}

void IMPSizeContextControl::OnMouseDown(float x, float y, const IMouseMod& mod) {
  if (!mod.R || GetParamIdx() != -kCtrlSizeMenu || !GetUI()) return;
  GetUI()->CreatePopupMenu(*this, menu, x, y);
  SetDirty(false);
}

void IMPSizeContextControl::OnPopupMenuSelection(IPopupMenu* chosen, int idx) {
  if (GetParamIdx() == -kCtrlSizeMenu) choose(panel, *this, chosen, idx);
}
