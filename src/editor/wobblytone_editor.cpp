// SPDX-License-Identifier: ISC
#include "editor/wobblytone_editor.h"

#include <algorithm>
#include <cstdlib>

#include "editor/menus.h"
#include "editor/message_strip.h"
#include "editor/panel_controls.h"
#include "editor/panel_ids.h"
#include "editor/panel_layout.h"
#include "instrument/engine_view.h"
#include "instrument/factory_bank.h"

WobblytoneEditor::WobblytoneEditor(Wobblytone& synth, EditorLink& link, IPlatform& platform,
                                   const std::string& resourcePath)
    : panel(synth, link) {
  // The context starts at the declared size and scale 1.0; the layout then
  // sets the design size at the stored window scale.
  g = std::make_unique<IGraphics>(panel, platform, kWindowDefaultWidth, kWindowDefaultHeight, 1.0f);
  g->SetResourcePath(resourcePath);
  synth.setEditorOpen(true);
  synth.setUserDialogs(this);
  layout();
}

WobblytoneEditor::~WobblytoneEditor() {
  panel.synth.setUserDialogs(nullptr);
  panel.synth.setEditorOpen(false);
  g.reset();
}

void WobblytoneEditor::layout() {
  IGraphics& ui = *g;
  Wobblytone& synth = panel.synth;
  for (const PanelBitmap& b : panelBitmaps()) ui.LoadBitmap(b.file, b.frames);
  ui.LoadFont(kPanelFont, kPanelFont);
  ui.EnableMouseOver(true);
  ui.EnableTooltips(true);
  ui.AttachBackground("back.jpg");
  ui.AttachControl(new IMPSizeContextControl(IRECT(0, 0, kEditorWidth, kEditorHeight), -kCtrlSizeMenu, panel));
  ui.SetScaleConstraints(0.25f, 2.0f);
  ui.Resize(kEditorWidth, kEditorHeight, synth.configFile.windowScale);
  ui.AttachCornerResizer(new IMPCornerResizer(ui.GetBounds(), 32), EUIResizerMode::Scale, false);
  constexpr PanelArea kOptions = PanelAreas::kOptionsZone;
  ui.AttachControl(new IMPOptionMenu(IRECT(kOptions.x, kOptions.y, kOptions.right(), kOptions.bottom()),
                                     -kCtrlOptionMenu, panel));
  // A fresh editor always starts with learning off.
  synth.requestMidiLearn(false);

  for (const PanelControl& c : panelControls()) {
    const float x = static_cast<float>(c.x), y = static_cast<float>(c.y);
    const PanelArea a = controlArea(c);
    const IRECT area(x, y, x + static_cast<float>(a.w), y + static_cast<float>(a.h));
    IControl* control = nullptr;
    switch (c.part) {
      case Part::PushSwitch:
        control = ui.AttachControl(new IMPSwitchMidiLearn(x, y, ui.LoadBitmap(c.bitmap, 2), c.param, panel), c.tag);
        break;
      case Part::Readout: control = ui.AttachControl(new IMPDropDown(area, c.param)); break;
      case Part::Knob:
      case Part::BigKnob:
      case Part::Rotary: {
        const bool broken = c.brokenSlot >= 0 && EngineView(synth).knobBroken(c.brokenSlot);
        control = ui.AttachControl(new IMPKnob(x, y, ui.LoadBitmap(c.bitmap, framesOf(c.bitmap)),
                                               ui.LoadBitmap(partShadow(c.part), 1), broken, c.param));
        break;
      }
      case Part::RockerH:
      case Part::RockerV:
      case Part::PowerRocker:
      case Part::Slide:
        control = ui.AttachControl(new IBSwitchControl(x, y, ui.LoadBitmap(c.bitmap, framesOf(c.bitmap)), c.param));
        break;
      case Part::OverloadLamp:
      case Part::PowerLamp:
        control = ui.AttachControl(new IMPLamp(x, y, ui.LoadBitmap(c.bitmap, 1), c.param), c.tag);
        break;
      case Part::Wheel:
        control = ui.AttachControl(
            new IMPBender(x, y, PanelAreas::kWheelTravel, ui.LoadBitmap(c.bitmap, 1), c.param, panel), c.tag);
        break;
      case Part::Message: {
        const IText style(30, IColor(220, 255, 255, 255), kPanelFont, EAlign::Center, EVAlign::Middle);
        IText quip = style;
        quip.mAlign = EAlign::Near;
        strip = new IMPMessage(area, style, quip, panel);
        control = ui.AttachControl(strip, c.tag);
        break;
      }
      case Part::Keyboard: attachKeyboard(); break;
      case Part::Flash: control = ui.AttachControl(new IPanelControl(area, IColor(192, 255, 255, 128)), c.tag); break;
    }
    if (control && c.quip) control->SetTooltip(c.quip);
  }
  if (IControl* flash = ui.GetControlWithTag(kCtrlFlash)) flash->Hide(true);
}

void WobblytoneEditor::attachKeyboard() {
  for (const PanelKey& key : keyboardKeys())
    g->AttachControl(new IMPKey(key.x, kKeyTop, g->LoadBitmap(key.bitmap, 2), key.note, panel),
                     kCtrlFirstKey + key.note - Properties::kLowestKey);
}

void WobblytoneEditor::setMessage() {
  Wobblytone& synth = panel.synth;
  if (!g->WindowIsOpen()) return;
  if (!strip) return;
  const EngineView unit(synth);
  bool showLogo = false;
  std::string text;
  if (unit.fuseBlown()) {
    text = "The fuse has blown. Click here to change it.";
  } else if (!unit.powerOn()) {
    showLogo = true;
    text = "\"Ah, it looks so cute when it's asleep...\"";
  } else if (g->GetMouseOver() < 2) {
    switch (unit.warmUpState()) {
      case 0: text = "The oscillators are warming-up. Click here to speed up the process."; break;
      case 1:
        showLogo = true;
        text = "\"Uh, oh, you messed it up! Please click again!\"";
        break;
      default: text = programName; break;
    }
  } else {
    const IControl* over = g->GetControl(g->GetMouseOver());
    text = over ? over->GetTooltip() : "";
    // Over a control without a quip the last message stays.
    if (text.empty()) return;
    showLogo = true;
  }
  strip->SetShowLogo(showLogo);
  strip->SetStr(text);
}

void WobblytoneEditor::followWindowSize(int width, int height) {
  if (width <= 1 || height <= 1) return;
  if (std::abs(width - g->WindowWidth()) <= 1 && std::abs(height - g->WindowHeight()) <= 1) return;
  const float scale = std::min(static_cast<float>(width) / kEditorWidth, static_cast<float>(height) / kEditorHeight);
  g->Resize(kEditorWidth, kEditorHeight, scale);
  panel.synth.configFile.windowScale = g->GetDrawScale();
}

// A program applied since the last look (from the menu, the host or a
// Program Change) names the preset slot, so that Save Program proposes its
// name, and shows on the strip.
void WobblytoneEditor::followFactoryProgram() {
  const EngineView unit(panel.synth);
  const unsigned applied = unit.factoryProgramsApplied();
  if (applied == programsSeen) return;
  programsSeen = applied;
  if (const int program = unit.lastFactoryProgram(); program >= 0) {
    programName = FactoryBank::program(program).name;
    panel.synth.SetCurrentPresetName(programName.c_str());
  }
}

void WobblytoneEditor::onIdle() {
  Wobblytone& synth = panel.synth;
  if (!g->WindowIsOpen()) return;
  if (synth.editorNeedsResize.exchange(false))
    g->Resize(kEditorWidth, kEditorHeight, synth.configFile.windowScale);
  // Parameters the engine or the host changed: their controls follow.
  const bool full = synth.editorNeedsFullRedraw.exchange(false);
  for (int i = 0; i < synth.NParams(); ++i) g->SetControlValueFromDelegate(i, synth.GetParam(i)->GetNormalized());
  if (full) g->SetAllControlsDirty();

  followFactoryProgram();
  setMessage();
  // Taken and cleared in one step, so that a fuse that blows meanwhile still flashes.
  const bool justBlown = synth.takeFuseJustBlown();
  const EngineView unit(synth);
  if (IControl* flash = g->GetControlWithTag(kCtrlFlash)) flash->Hide(!justBlown);
  if (IControl* lamp = g->GetControlWithTag(kCtrlOverloadLamp)) lamp->Hide(!unit.overload());
  if (IControl* lamp = g->GetControlWithTag(kCtrlPowerLamp)) lamp->Hide(unit.fuseBlown() || !unit.powerOn());
  // Values are set only when they differ, so that an idle panel redraws
  // nothing.
  if (IControl* wheel = g->GetControlWithTag(kCtrlPitchWheel)) wheel->SetValueFromDelegate(unit.pitchBend() * 0.5 + 0.5);
  if (IControl* wheel = g->GetControlWithTag(kCtrlModWheel)) wheel->SetValueFromDelegate(unit.modWheel());
  for (int i = 0; i < Properties::kNumKeys; ++i) {
    IControl* key = g->GetControlWithTag(kCtrlFirstKey + i);
    if (!key) continue;
    if (unit.keyBroken(i)) {
      key->Hide(true);
    } else {
      key->SetValueFromDelegate(synth.isKeyPressed(Properties::kLowestKey + i) ? 1 : 0);
    }
  }
  // A learn or unlearn that completed turns its switch off.
  if (IControl* learn = g->GetControlWithTag(kCtrlMidiLearn); learn && learn->GetValue() > 0 && !synth.midiLearn.midiLearnActive) {
    learn->SetValue(0);
    learn->SetDirty(false);
  }
  g->OnTick();
}

void WobblytoneEditor::showMessage(const std::string& title, const std::string& text, std::function<void()> then) {
  g->ShowMessageBox(text.c_str(), title.c_str(), EMsgBoxType::OK, [then](EMsgBoxResult) {
    if (then) then();
  });
}

void WobblytoneEditor::askYesNo(const std::string& title, const std::string& text, std::function<void(bool)> then) {
  g->ShowMessageBox(text.c_str(), title.c_str(), EMsgBoxType::YesNo, [then](EMsgBoxResult r) {
    if (then) then(r != EMsgBoxResult::No);
  });
}

void WobblytoneEditor::openWebAddress(const std::string& url) { g->OpenURL(url.c_str()); }
