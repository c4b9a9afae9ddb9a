// SPDX-License-Identifier: ISC
// The whole editor off-screen with the generated artwork: the control list,
// the message strip, the idle update, the menus and commands, program files
// through the dialogs, MIDI learn, and renders of the panel.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "editor/commands.h"
#include "editor/menus.h"
#include "editor/message_strip.h"
#include "editor/panel_controls.h"
#include "editor/panel_ids.h"
#include "editor/wobblytone_editor.h"
#include "engine_probe.h"
#include "framework/headless_host.h"
#include "instrument/engine_view.h"
#include "instrument/factory_bank.h"
#include "toolkit/offscreen_host.h"
#include "toolkit/overlays.h"

namespace {

// Applies the editor's changes to the engine as a host would: parameters
// through the host setter, notes as MIDI in the next block.
class DirectLink : public EditorLink {
 public:
  explicit DirectLink(Wobblytone& synth) : synth(synth) {}
  void sendParameter(int idx, double normalized) override {
    sent.emplace_back(idx, normalized);
    synth.OnParamChangeFromHost(idx, normalized);
  }
  void sendNote(int note, bool on) override {
    notes.push_back(on ? IMidiMsg::noteOn(0, note, 127) : IMidiMsg::noteOff(0, note));
  }
  Wobblytone& synth;
  std::vector<std::pair<int, double>> sent;
  std::vector<IMidiMsg> notes;
};

InstanceInfo seeded() {
  InstanceInfo info;
  info.resourcePath = WOBBLYTONE_TEST_RESOURCES;
  info.randomSeed = 3;
  return info;
}

// Each test starts without a configuration file, as on a fresh machine.
struct FreshConfiguration {
  FreshConfiguration() { std::remove((std::string(std::getenv("HOME")) + "/Music/MarlpitMusic/wobblytone.ini").c_str()); }
};

class Editor : public ::testing::Test {
 protected:
  Editor() : synth(seeded()), host(synth), link(synth) {
    host.prepare(48000, 256);
    host.activate();
    editor = std::make_unique<WobblytoneEditor>(synth, link, window, WOBBLYTONE_TEST_RESOURCES);
  }
  IGraphics& g() { return editor->graphics(); }
  IMPMessage& strip() { return *dynamic_cast<IMPMessage*>(g().GetControlWithTag(kCtrlMessage)); }
  // Mouse actions in design units, whatever the scale.
  void hover(float x, float y) { g().OnMouseMove(x * scale(), y * scale(), IMouseMod{}); }
  void click(float x, float y, bool right = false) {
    IMouseMod mod;
    (right ? mod.R : mod.L) = true;
    g().OnMouseDown(x * scale(), y * scale(), mod);
    g().OnMouseUp(x * scale(), y * scale(), mod);
  }
  float scale() { return g().GetDrawScale(); }
  // One audio block, with the notes the editor sent.
  void play() {
    std::vector<float> l(256), r(256);
    host.process(link.notes.data(), static_cast<int>(link.notes.size()), l.data(), r.data(), 256);
    link.notes.clear();
  }
  void set(int param, double plain) { synth.OnParamChangeFromHost(param, synth.GetParam(param)->ToNormalized(plain)); }
  // Clicks the message box's button with this answer.
  void answer(EMsgBoxResult result) {
    const MessageBoxOverlay* box = g().CurrentMessageBox();
    ASSERT_NE(box, nullptr);
    for (const auto& [rect, r] : box->buttons())
      if (r == result) click(rect.MW(), rect.MH());
  }
  // Opens the option menu and picks an item (sub-menu item when sub >= 0).
  void optionMenu(int item, int sub = -1) {
    click(1800, 560);
    const MenuOverlay* menu = g().OpenMenu();
    ASSERT_NE(menu, nullptr);
    const IRECT r = menu->itemRect(0, item);
    hover(r.MW(), r.MH());
    if (sub < 0) {
      click(r.MW(), r.MH());
      return;
    }
    const IRECT s = g().OpenMenu()->itemRect(1, sub);
    hover(s.MW(), s.MH());
    click(s.MW(), s.MH());
  }

  FreshConfiguration fresh;
  Wobblytone synth;
  HeadlessHost host;
  DirectLink link;
  OffscreenHost window;
  std::unique_ptr<WobblytoneEditor> editor;
};

}  // namespace

TEST_F(Editor, ControlsAreListedInAttachmentOrder) {
  ASSERT_EQ(g().NControls(), 98);
  EXPECT_NE(dynamic_cast<IBitmapControl*>(g().GetControl(0)), nullptr);  // the background
  EXPECT_NE(dynamic_cast<IMPSizeContextControl*>(g().GetControl(1)), nullptr);
  EXPECT_NE(dynamic_cast<IMPOptionMenu*>(g().GetControl(2)), nullptr);
  EXPECT_EQ(g().GetControl(3), g().GetControlWithTag(kCtrlMidiLearn));
  EXPECT_NE(dynamic_cast<IMPDropDown*>(g().GetControl(4)), nullptr);
  EXPECT_EQ(g().GetControl(5)->GetParamIdx(), kTune);
  EXPECT_EQ(g().GetControl(28), g().GetControlWithTag(kCtrlOverloadLamp));
  EXPECT_EQ(g().GetControl(46), g().GetControlWithTag(kCtrlPowerLamp));
  EXPECT_EQ(g().GetControl(47)->GetParamIdx(), kPower);
  EXPECT_EQ(g().GetControl(50), g().GetControlWithTag(kCtrlPitchWheel));
  EXPECT_EQ(g().GetControl(52), g().GetControlWithTag(kCtrlMessage));
  EXPECT_EQ(g().GetControl(97), g().GetControlWithTag(kCtrlFlash));
  EXPECT_TRUE(g().GetControl(97)->IsHidden());

  // The keys: white first in ascending order, then black; note n has tag n + 15.
  auto* first = dynamic_cast<IMPKey*>(g().GetControl(53));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Note(), 41);
  EXPECT_EQ(first->GetRECT().L, 260);
  EXPECT_EQ(dynamic_cast<IMPKey*>(g().GetControl(78))->Note(), 84);
  EXPECT_EQ(dynamic_cast<IMPKey*>(g().GetControl(79))->Note(), 42);
  EXPECT_EQ(g().GetControlWithTag(60 + 15), g().GetControl(53 + 11));
  EXPECT_EQ(g().GetControlWithTag(61 + 15)->GetRECT().L, 1001);

  // Quips, with their quotes.
  EXPECT_EQ(g().GetControl(5)->GetTooltip(), "\"Careful with that axe, Eugene!\"");
  EXPECT_EQ(g().GetControl(45)->GetTooltip(), "\"Not a good idea to fiddle with it while powered...\"");
  EXPECT_EQ(g().GetControl(6)->GetTooltip(), "");
}

TEST_F(Editor, OpensAtTheStoredScale) {
  EXPECT_EQ(window.width, 976);
  EXPECT_EQ(window.height, 508);
  EXPECT_TRUE(synth.isEditorOpen());
  editor.reset();
  EXPECT_FALSE(synth.isEditorOpen());
  synth.configFile.windowScale = 2.0f;
  editor = std::make_unique<WobblytoneEditor>(synth, link, window, WOBBLYTONE_TEST_RESOURCES);
  EXPECT_EQ(window.width, 3904);
  EXPECT_EQ(window.height, 2032);
}

TEST_F(Editor, MessageStripTellsTheStateOfTheUnit) {
  // Off, fuse intact: the logo line with the asleep text.
  editor->onIdle();
  EXPECT_TRUE(strip().ShowsLogo());
  EXPECT_EQ(strip().GetStr(), "\"Ah, it looks so cute when it's asleep...\"");

  // Powered and warming up, pointer over the empty panel.
  set(kVoltage, 1);
  set(kPower, 1);
  hover(900, 480);
  editor->onIdle();
  EXPECT_FALSE(strip().ShowsLogo());
  EXPECT_EQ(strip().GetStr(), "The oscillators are warming-up. Click here to speed up the process.");
  set(kWarmUp, 1);
  editor->onIdle();
  EXPECT_TRUE(strip().ShowsLogo());
  EXPECT_EQ(strip().GetStr(), "\"Uh, oh, you messed it up! Please click again!\"");
  set(kWarmUp, 2);
  editor->onIdle();
  EXPECT_EQ(strip().GetStr(), "");

  // Over a quip control: its quip after the logo.
  hover(1750, 130);  // the Volume knob
  editor->onIdle();
  EXPECT_TRUE(strip().ShowsLogo());
  EXPECT_EQ(strip().GetStr(), "\"Maybe some WD-40 does help...?\"");
  // Over a control without a quip, or the option hot zone: it stays.
  hover(100, 320);  // Glide Time
  editor->onIdle();
  EXPECT_EQ(strip().GetStr(), "\"Maybe some WD-40 does help...?\"");
  hover(1800, 560);
  editor->onIdle();
  EXPECT_EQ(strip().GetStr(), "\"Maybe some WD-40 does help...?\"");

  // A blown fuse overrides everything: plain text, no logo.
  set(kVoltage, 0);
  editor->onIdle();
  EXPECT_TRUE(EngineView(synth).fuseBlown());
  EXPECT_FALSE(strip().ShowsLogo());
  EXPECT_EQ(strip().GetStr(), "The fuse has blown. Click here to change it.");
}

TEST_F(Editor, ClicksOnTheStripChangeTheFuseThenAdvanceTheWarmUp) {
  set(kVoltage, 1);
  set(kPower, 1);
  set(kVoltage, 0);  // blows the fuse
  ASSERT_TRUE(EngineView(synth).fuseBlown());
  click(900, 560);
  EXPECT_FALSE(EngineView(synth).fuseBlown());
  EXPECT_EQ(EngineView(synth).warmUpState(), 0);
  set(kVoltage, 1);
  click(900, 560);
  EXPECT_EQ(EngineView(synth).warmUpState(), 1);
  click(900, 560);
  EXPECT_EQ(EngineView(synth).warmUpState(), 2);
  click(900, 560);
  EXPECT_EQ(EngineView(synth).warmUpState(), 2);
  // Each went to the host like any parameter change.
  ASSERT_GE(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[0].first, kFuse);
  EXPECT_EQ(link.sent[1].first, kWarmUp);
}

TEST_F(Editor, IdleUpdateShowsLampsWheelsAndKeys) {
  editor->onIdle();
  EXPECT_TRUE(g().GetControlWithTag(kCtrlPowerLamp)->IsHidden());
  set(kVoltage, 1);
  set(kPower, 1);
  editor->onIdle();
  EXPECT_FALSE(g().GetControlWithTag(kCtrlPowerLamp)->IsHidden());
  EngineProbe::setOverload(synth, true);
  editor->onIdle();
  EXPECT_FALSE(g().GetControlWithTag(kCtrlOverloadLamp)->IsHidden());
  EngineProbe::setOverload(synth, false);
  editor->onIdle();
  EXPECT_TRUE(g().GetControlWithTag(kCtrlOverloadLamp)->IsHidden());

  EngineProbe::setPitchBend(synth, -1);
  EngineProbe::setModWheel(synth, 0.75);
  editor->onIdle();
  EXPECT_EQ(g().GetControlWithTag(kCtrlPitchWheel)->GetValue(), 0);
  EXPECT_EQ(g().GetControlWithTag(kCtrlModWheel)->GetValue(), 0.75);

  // Notes held from MIDI: 36 is below the keyboard, 60 shows pressed.
  std::vector<float> l(256), r(256);
  const IMidiMsg notes[] = {IMidiMsg::noteOn(0, 36, 100), IMidiMsg::noteOn(0, 60, 100)};
  host.process(notes, 2, l.data(), r.data(), 256);
  editor->onIdle();
  EXPECT_EQ(g().GetControlWithTag(60 + 15)->GetValue(), 1);
  for (int note = 41; note <= 84; ++note)
    if (note != 60) {
      EXPECT_EQ(g().GetControlWithTag(note + 15)->GetValue(), 0) << note;
    }

  // A broken key disappears and takes no clicks.
  EngineProbe::setKeyBroken(synth, 64 - 41, 1);
  editor->onIdle();
  IControl* broken = g().GetControlWithTag(64 + 15);
  EXPECT_TRUE(broken->IsHidden());
  click(broken->GetRECT().MW(), 950);
  for (const IMidiMsg& m : link.notes) EXPECT_NE(m.mData1, 64);
}

TEST_F(Editor, FuseBlowingFlashesThePanelForOneIdlePeriod) {
  set(kVoltage, 1);
  set(kPower, 1);
  editor->onIdle();
  set(kVoltage, 0);
  ASSERT_TRUE(EngineView(synth).fuseJustBlown());
  editor->onIdle();
  EXPECT_FALSE(g().GetControlWithTag(kCtrlFlash)->IsHidden());
  EXPECT_FALSE(EngineView(synth).fuseJustBlown());
  EXPECT_TRUE(g().GetControlWithTag(kCtrlPowerLamp)->IsHidden());
  editor->onIdle();
  EXPECT_TRUE(g().GetControlWithTag(kCtrlFlash)->IsHidden());
}

TEST_F(Editor, KeysSendNotesThroughTheNotePath) {
  IControl* key = g().GetControlWithTag(48 + 15);
  click(key->GetRECT().MW(), 950);
  ASSERT_EQ(link.notes.size(), 2u);
  EXPECT_EQ(link.notes[0].mStatus, 0x90);
  EXPECT_EQ(link.notes[0].mData1, 48);
  EXPECT_EQ(link.notes[1].mStatus & 0xf0, 0x80);
  // Where a black key lies over a white one, the black key plays.
  IControl* black = g().GetControlWithTag(49 + 15);
  link.notes.clear();
  click(black->GetRECT().MW(), 700);
  ASSERT_FALSE(link.notes.empty());
  EXPECT_EQ(link.notes[0].mData1, 49);
}

TEST_F(Editor, OptionMenuIsBuiltWithItsSubMenusAndChecks) {
  synth.configFile.midiThru = true;
  click(1800, 560);
  auto* options = dynamic_cast<IMPOptionMenu*>(g().GetControl(2));
  IPopupMenu& menu = options->Menu();
  ASSERT_EQ(menu.NItems(), 15);
  EXPECT_EQ(menu.GetItem(0)->text, "Initialize Settings");
  EXPECT_TRUE(menu.GetItem(1)->separator);
  EXPECT_EQ(menu.GetItem(2)->text, "Load Program");
  EXPECT_EQ(menu.GetItem(3)->text, "Factory Programs");
  ASSERT_EQ(menu.GetItem(3)->submenu->NItems(), FactoryBank::count());
  EXPECT_EQ(menu.GetItem(3)->submenu->GetItem(0)->text, FactoryBank::program(0).name);
  EXPECT_EQ(menu.GetItem(4)->text, "Save Program");
  EXPECT_EQ(menu.GetItem(5)->text, "Default Path for Program Files");
  EXPECT_EQ(menu.GetItem(7)->text, "Global MIDI Settings...");
  EXPECT_TRUE(menu.GetItem(7)->submenu->IsItemChecked(0));
  EXPECT_FALSE(menu.GetItem(7)->submenu->IsItemChecked(1));
  EXPECT_EQ(menu.GetItem(11)->submenu->GetItem(3)->text, "200%");
  EXPECT_EQ(menu.GetItem(14)->submenu->GetItem(1)->text, std::string("Visit ") + kMakerWebSite);
  EXPECT_TRUE(g().IsMenuOpen());
  click(5, 5);  // dismissed
  EXPECT_FALSE(g().IsMenuOpen());

  // A right click on the empty panel opens the size menu; a left click nothing.
  click(900, 480);
  EXPECT_FALSE(g().IsMenuOpen());
  click(900, 480, true);
  ASSERT_TRUE(g().IsMenuOpen());
  EXPECT_EQ(&g().OpenMenu()->caller(), g().GetControl(1));
}

TEST_F(Editor, WindowSizesFromEitherMenu) {
  optionMenu(11, 3);  // "Window Size" / "200%"
  editor->onIdle();
  EXPECT_FLOAT_EQ(synth.configFile.windowScale, 0.70710677f);
  EXPECT_EQ(window.width, 1380);
  EXPECT_EQ(window.height, 718);

  click(900, 480, true);
  const IRECT r = g().OpenMenu()->itemRect(0, 5);  // "Set Windows Size to 800%"
  click(r.MW(), r.MH());
  editor->onIdle();
  EXPECT_EQ(window.width, 3904);
  EXPECT_EQ(window.height, 2032);

  // "Save Window Size" writes the scale and says where.
  optionMenu(12);
  ASSERT_TRUE(g().IsMessageBoxOpen());
  EXPECT_EQ(g().CurrentMessageBox()->title(), "Save Window Size");
  EXPECT_NE(g().CurrentMessageBox()->text().find(synth.configFile.iniPath.Get()), std::string::npos);
  answer(EMsgBoxResult::OK);
  std::ifstream ini(synth.configFile.iniPath.Get());
  const std::string config((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
  EXPECT_NE(config.find("Scale=2.0"), std::string::npos) << config;
}

TEST_F(Editor, UnknownWindowSizesChangeNothing) {
  synth.resizeUI(GUI::GUISize(6));
  synth.resizeUI(-1.0f);
  editor->onIdle();
  EXPECT_EQ(synth.configFile.windowScale, 0.5f);
  EXPECT_EQ(window.width, 976);
  EXPECT_EQ(Wobblytone::scaleOfSize(3), 0.70710677f);
}

TEST_F(Editor, MidiOptionsToggleAndVisitOpensTheSite) {
  const bool before = synth.configFile.ignoreProgramChange;
  optionMenu(7, 1);
  EXPECT_EQ(synth.configFile.ignoreProgramChange, !before);
  optionMenu(14, 1);
  ASSERT_EQ(window.openedURLs.size(), 1u);
  EXPECT_EQ(window.openedURLs[0], kMakerWebSite);
}

TEST_F(Editor, InitializeAsksFirst) {
  set(kCutoff, 0.123);
  optionMenu(0);
  ASSERT_TRUE(g().IsMessageBoxOpen());
  EXPECT_EQ(g().CurrentMessageBox()->title(), "Initialize Settings");
  answer(EMsgBoxResult::No);
  EXPECT_NEAR(synth.GetParam(kCutoff)->Value(), 0.123, 1e-9);
  optionMenu(0);
  answer(EMsgBoxResult::Yes);
  // The engine takes the change before its next block, not on this thread.
  EXPECT_NEAR(synth.GetParam(kCutoff)->Value(), 0.123, 1e-9);
  EXPECT_STREQ(synth.GetPresetName(0), "Init");
  play();
  EXPECT_EQ(synth.GetParam(kCutoff)->Value(), synth.GetParam(kCutoff)->GetDefault());
}

TEST_F(Editor, ProgramsLoadAndSaveThroughTheDialogs) {
  const std::string folder = std::string(std::getenv("HOME")) + "/";
  set(kCutoff, 0.321);
  synth.ModifyCurrentPreset("A/B:C?");
  window.fileAnswers.push_back(folder + "saved.fxp");
  optionMenu(4);
  ASSERT_EQ(window.fileRequests.size(), 1u);
  EXPECT_EQ(window.fileRequests[0].action, EFileAction::Save);
  EXPECT_EQ(window.fileRequests[0].proposedName, "A_B_C_");
  EXPECT_EQ(window.fileRequests[0].extension, "fxp");
  EXPECT_FALSE(g().IsMessageBoxOpen());

  set(kCutoff, 0.9);
  window.fileAnswers.push_back(folder + "saved.fxp");
  optionMenu(2);
  EXPECT_EQ(window.fileRequests[1].action, EFileAction::Open);
  EXPECT_EQ(window.fileRequests[1].folder + "/", folder);  // the folder of the last file
  play();
  EXPECT_NEAR(synth.GetParam(kCutoff)->Value(), 0.321, 1e-6);
  EXPECT_FALSE(g().IsMessageBoxOpen());

  // Failures say so; a cancelled dialog says nothing.
  std::ofstream(folder + "junk.fxp") << "not a program";
  window.fileAnswers.push_back(folder + "junk.fxp");
  optionMenu(2);
  ASSERT_TRUE(g().IsMessageBoxOpen());
  EXPECT_EQ(g().CurrentMessageBox()->text(), "Cannot load file!");
  EXPECT_EQ(g().CurrentMessageBox()->title(), "Error");
  answer(EMsgBoxResult::OK);
  window.fileAnswers.push_back(folder + "no/such/folder/x.fxp");
  optionMenu(4);
  ASSERT_TRUE(g().IsMessageBoxOpen());
  EXPECT_EQ(g().CurrentMessageBox()->text(), "Cannot save file!");
  answer(EMsgBoxResult::OK);
  window.fileAnswers.push_back("");
  optionMenu(2);
  EXPECT_FALSE(g().IsMessageBoxOpen());
}

// A folder whose name holds line breaks cannot rewrite the configuration
// file: the folder is refused for the file ("Cannot save file!"), and the
// file keeps its sections and keys.
TEST_F(Editor, AFolderNameCannotRewriteTheConfigurationFile) {
  const std::string evil = std::string(std::getenv("HOME")) + "/evil\n[MIDI Control]\nCC7=0\n[Editor]\nScale=9";
  window.fileAnswers.push_back(evil + "/[file name is ignored]");
  optionMenu(5);  // "Default Path for Program Files"
  ASSERT_TRUE(g().IsMessageBoxOpen());
  EXPECT_EQ(g().CurrentMessageBox()->text(), "Cannot save file!");
  EXPECT_EQ(g().CurrentMessageBox()->title(), "Error");
  answer(EMsgBoxResult::OK);
  std::ifstream in(synth.configFile.iniPath.Get());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("CC7"), std::string::npos) << text;
  EXPECT_EQ(text.find("Scale=9"), std::string::npos) << text;
  Wobblytone restarted(seeded());
  EXPECT_EQ(restarted.midiLearn.ccMap[7], -1);
  EXPECT_EQ(restarted.configFile.windowScale, 0.5f);
}

TEST_F(Editor, MidiLearnThroughTheSwitchAndAKnob) {
  click(240, 60);  // the learn switch
  play();
  EXPECT_TRUE(synth.midiLearn.midiLearnActive);
  // Turn the Cutoff knob a little, then move controller 21.
  IControl* cutoff = g().GetControl(33);
  ASSERT_EQ(cutoff->GetParamIdx(), kCutoff);
  const float x = cutoff->GetRECT().MW(), y = cutoff->GetRECT().MH();
  g().OnMouseDown(x * scale(), y * scale(), IMouseMod{true});
  g().OnMouseMove(x * scale(), (y + 20) * scale(), IMouseMod{true});
  g().OnMouseUp(x * scale(), (y + 20) * scale(), IMouseMod{true});
  ASSERT_FALSE(link.sent.empty());
  EXPECT_EQ(link.sent.back().first, kCutoff);
  EXPECT_EQ(synth.midiLearn.learnParam, kCutoff);
  std::vector<float> l(256), r(256);
  const IMidiMsg cc = IMidiMsg::controlChange(0, 21, 100);
  host.process(&cc, 1, l.data(), r.data(), 256);
  EXPECT_FALSE(synth.midiLearn.midiLearnActive);
  EXPECT_EQ(synth.midiLearn.ccMap[21], kCutoff);
  editor->onIdle();
  EXPECT_EQ(g().GetControlWithTag(kCtrlMidiLearn)->GetValue(), 0);  // the switch is off again
}

TEST_F(Editor, RendersThePanelAtHalfAndFullScale) {
  set(kVoltage, 1);
  set(kPower, 1);
  set(kWarmUp, 2);
  editor->onIdle();
  window.render(g(), true);
  EXPECT_EQ(window.width, 976);
  EXPECT_TRUE(window.savePNG(WOBBLYTONE_TEST_ARTIFACTS "/panel_50.png"));
  // The panel is drawn: the power lamp and a key differ from black.
  EXPECT_NE(window.pixel(488, 400) & 0xffffff, 0u);
  synth.resizeUI(1.0f);
  editor->onIdle();
  window.render(g(), true);
  EXPECT_EQ(window.width, 1952);
  EXPECT_TRUE(window.savePNG(WOBBLYTONE_TEST_ARTIFACTS "/panel_100.png"));
}

TEST_F(Editor, AnIdlePanelRedrawsNothing) {
  editor->onIdle();
  window.render(g(), true);
  for (int i = 0; i < 5; ++i) editor->onIdle();
  IRECT area;
  EXPECT_FALSE(g().IsDirty(area)) << area.L << "," << area.T << "," << area.R << "," << area.B;
}

TEST_F(Editor, SavedWindowSizeOpensTheNextEditor) {
  click(900, 480, true);
  const IRECT r = g().OpenMenu()->itemRect(0, 7);  // "Save Window Size"
  click(r.MW(), r.MH());
  answer(EMsgBoxResult::OK);
  click(900, 480, true);
  const IRECT big = g().OpenMenu()->itemRect(0, 4);  // 400%
  click(big.MW(), big.MH());
  editor->onIdle();
  ASSERT_EQ(window.width, 1952);
  click(900, 480, true);
  const IRECT save = g().OpenMenu()->itemRect(0, 7);
  click(save.MW(), save.MH());
  answer(EMsgBoxResult::OK);

  // A new instance reads the scale back and opens its editor at 1952 x 1016.
  editor.reset();
  Wobblytone another(seeded());
  EXPECT_EQ(another.configFile.windowScale, 1.0f);
  DirectLink otherLink(another);
  OffscreenHost otherWindow;
  WobblytoneEditor reopened(another, otherLink, otherWindow, WOBBLYTONE_TEST_RESOURCES);
  EXPECT_EQ(otherWindow.width, 1952);
  EXPECT_EQ(otherWindow.height, 1016);
}

// "Save Configuration" saves the scale the editor is drawn at, also after
// a drag of the corner, as "Save Window Size" does.
TEST_F(Editor, SaveConfigurationSavesTheScaleTheCornerSet) {
  IMouseMod left;
  left.L = true;
  g().OnMouseDown(970, 502, left);  // the corner, at the default half scale
  for (int step = 1; step <= 8; ++step) g().OnMouseMove(970.f + 40 * step, 502.f + 21 * step, left);
  g().OnMouseUp(1290, 670, left);
  const float dragged = g().GetDrawScale();
  ASSERT_GT(dragged, 0.6f);
  optionMenu(9);  // "Save Configuration"
  answer(EMsgBoxResult::Yes);
  std::ifstream in(synth.configFile.iniPath.Get());
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  char expected[32];
  std::snprintf(expected, sizeof expected, "Scale=%f\n", dragged);
  EXPECT_NE(text.find(expected), std::string::npos) << text;
}

TEST_F(Editor, VersionCheckAnswersInTheEditorsMessageBoxes) {
  // Nothing listens on port 9 of this machine: the check fails at once.
  setenv("WOBBLYTONE_UPDATE_URL", "http://127.0.0.1:9", 1);
  optionMenu(14, 0);
  unsetenv("WOBBLYTONE_UPDATE_URL");
  ASSERT_TRUE(g().IsMessageBoxOpen());
  EXPECT_EQ(g().CurrentMessageBox()->title(), "Check Online for Update");
  EXPECT_EQ(g().CurrentMessageBox()->text().rfind("An error occurred while contacting ", 0), 0u);
  answer(EMsgBoxResult::OK);
  EXPECT_FALSE(g().IsMessageBoxOpen());
}

TEST_F(Editor, AFactoryProgramLoadsLikeAProgramFileAndShowsItsName) {
  const int chosen = FactoryBank::find("Brass Section");
  ASSERT_GE(chosen, 0);
  optionMenu(3, chosen);  // "Factory Programs" / "Brass Section"
  play();  // the engine takes it before its next block
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(synth.GetParam(i)->Value(), FactoryBank::program(chosen).values[i]) << i;
  hover(900, 480);  // over the empty panel, where the strip shows the unit's news
  editor->onIdle();
  EXPECT_EQ(strip().GetStr(), "Brass Section");
  EXPECT_STREQ(synth.GetPresetName(synth.GetCurrentPresetIdx()), "Brass Section");  // Save Program proposes it
  // The menu checks the program in play.
  click(1800, 560);
  IPopupMenu& menu = dynamic_cast<IMPOptionMenu*>(g().GetControl(2))->Menu();
  EXPECT_TRUE(menu.GetItem(3)->submenu->IsItemChecked(chosen));
  EXPECT_FALSE(menu.GetItem(3)->submenu->IsItemChecked(0));
  click(5, 5);

  // One that a Program Change chose shows too.
  const IMidiMsg change(0, 0xC0, 0, 0);
  std::vector<float> l(256), r(256);
  host.process(&change, 1, l.data(), r.data(), 256);
  host.process(nullptr, 0, l.data(), r.data(), 256);
  hover(900, 480);
  editor->onIdle();
  EXPECT_EQ(strip().GetStr(), FactoryBank::program(0).name);
}
