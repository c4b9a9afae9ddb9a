// SPDX-License-Identifier: ISC
// The LV2 build loaded the way a host loads it: lilv finds the bundle,
// instantiates the plug-in, plays MIDI through its atom port, and the audio
// equals the engine's own render of the same MIDI, sample for sample.
#include <gtest/gtest.h>

#include "adapters/dpf/lv2_symbol.h"
#include "child_process.h"
#include "instrument/factory_bank.h"
#include "lv2_editor_host.h"
#include "lv2_host.h"
#include "panel_reference.h"
#include "stderr_capture.h"

namespace {

using testhost::Lv2Instance;
using testhost::UridMap;
constexpr double kRate = 48000;
constexpr int kBlock = 256;

std::vector<IMidiMsg> phraseBlock(int block) {
  std::vector<IMidiMsg> midi;
  if (block % 40 == 2) midi.push_back(IMidiMsg::noteOn(17, 36 + (block / 40) % 24, 100));
  if (block % 40 == 30) midi.push_back(IMidiMsg::noteOff(200, 36 + (block / 40) % 24));
  return midi;
}

}  // namespace

TEST(Lv2Build, PortsCarryTheFrozenSymbols) {
  setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
  Lv2Instance lv2;
  ASSERT_NE(lv2.plugin, nullptr);
  ASSERT_NE(lv2.instance, nullptr);
  for (const char* symbol : {"power", "warm_up", "a_440", "mod_mix", "osc_1_range", "filter_mod", "loudness_sustain"})
    EXPECT_TRUE(lv2.inputControls.count(lv2.symbols.at(symbol))) << symbol;
  // 46 inputs, and for each the output that shows the engine's own value.
  EXPECT_EQ(lv2.inputControls.size(), 46u);
  EXPECT_EQ(lv2.symbols.size(), 92u);
  for (const char* symbol : {"fuse_out", "warm_up_out", "cutoff_out"})
    EXPECT_FALSE(lv2.inputControls.count(lv2.symbols.at(symbol))) << symbol;
  EXPECT_GE(lv2.midiPort, 0);
}

// A host draws a toggled port as a switch whose "on" is 1; lists of two
// where 1 is not "on" ("Osc-3 Control" is On at 0, "Voltage", "Fuse") are
// enumerations with their texts as scale points.
TEST(Lv2Build, OnlyOffOnSwitchesAreToggles) {
  Lv2Instance lv2;
  ASSERT_NE(lv2.plugin, nullptr);
  Wobblytone engine{InstanceInfo{}};
  LilvNode* toggled = lilv_new_uri(lv2.world, LV2_CORE__toggled);
  LilvNode* enumeration = lilv_new_uri(lv2.world, LV2_CORE__enumeration);
  for (int i = 0; i < kNumParams; ++i) {
    const IParam* p = engine.GetParam(i);
    SCOPED_TRACE(p->GetName());
    const LilvPort* port = lilv_plugin_get_port_by_index(lv2.plugin, lv2.symbols.at(lv2Symbol(p->GetName())));
    const bool offOn = p->NDisplayTexts() == 2 && std::string(p->GetDisplayText(0)) == "Off";
    EXPECT_EQ(lilv_port_has_property(lv2.plugin, port, toggled), offOn);
    if (p->NDisplayTexts() > 0 && !offOn) {
      EXPECT_TRUE(lilv_port_has_property(lv2.plugin, port, enumeration));
      LilvScalePoints* points = lilv_port_get_scale_points(lv2.plugin, port);
      EXPECT_EQ(lilv_scale_points_size(points), static_cast<unsigned>(p->NDisplayTexts()));
      lilv_scale_points_free(points);
    }
  }
  lilv_node_free(toggled);
  lilv_node_free(enumeration);
}

TEST(Lv2Build, PlaysLikeTheEngineSampleForSample) {
  setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
  Lv2Instance lv2;
  ASSERT_NE(lv2.instance, nullptr);
  lv2.setControl("power", 1);
  lv2.setControl("voltage", 1);
  lv2.setControl("warm_up", 2);
  lv2.setControl("emphasis", 0.6f);
  lv2.setControl("cutoff", 0.4f);

  InstanceInfo info;
  info.resourcePath = WOBBLYTONE_LV2_BUNDLE "/resources/";
  info.randomSeed = 77;
  Wobblytone engine(info);
  HeadlessHost host(engine);
  host.prepare(kRate, kBlock);
  host.activate();
  for (auto [param, value] : {std::pair{kPower, 1.0}, {kVoltage, 1.0}, {kWarmUp, 2.0}, {kEmphasis, 0.6f},
                              {kCutoff, 0.4f}})
    engine.OnPlainParamChangeFromHost(param, value);

  std::vector<float> left(kBlock), right(kBlock);
  double energy = 0;
  for (int block = 0; block < 400; ++block) {
    const auto midi = phraseBlock(block);
    lv2.run(midi);
    host.process(midi.data(), static_cast<int>(midi.size()), left.data(), right.data(), kBlock);
    for (int i = 0; i < kBlock; ++i) {
      ASSERT_EQ(lv2.audioOut[0][static_cast<size_t>(i)], left[static_cast<size_t>(i)]) << block << " " << i;
      ASSERT_EQ(lv2.audioOut[1][static_cast<size_t>(i)], right[static_cast<size_t>(i)]) << block << " " << i;
      energy += left[static_cast<size_t>(i)] * left[static_cast<size_t>(i)];
    }
  }
  EXPECT_GT(energy, 1.0);  // it played
}

// The editor lives in the same binary as the engine and reaches it through
// instance-access: an X11 UI that hosts must load in the DSP's process.
TEST(Lv2Build, DescribesItsX11EditorInTheSameBinary) {
  Lv2Instance lv2;
  ASSERT_NE(lv2.plugin, nullptr);
  LilvUIs* uis = lilv_plugin_get_uis(lv2.plugin);
  ASSERT_EQ(lilv_uis_size(uis), 1u);
  const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
  LilvNode* x11 = lilv_new_uri(lv2.world, "http://lv2plug.in/ns/extensions/ui#X11UI");
  EXPECT_TRUE(lilv_ui_is_a(ui, x11));
  EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), lilv_node_as_uri(lilv_plugin_get_library_uri(lv2.plugin)));
  lilv_node_free(x11);
  lilv_uis_free(uis);
}

TEST(Lv2Build, DeclaresItselfHardRealtimeCapable) {
  Lv2Instance lv2;
  ASSERT_NE(lv2.plugin, nullptr);
  LilvNode* hardRT = lilv_new_uri(lv2.world, LV2_CORE__hardRTCapable);
  EXPECT_TRUE(lilv_plugin_has_feature(lv2.plugin, hardRT));
  lilv_node_free(hardRT);
}

// A host saves the session with lilv (ports and the plug-in's own state) and
// restores it into a fresh instance: the same settings, the same sound.
TEST(Lv2Build, StateRoundTripsThroughLilv) {
  setenv("WOBBLYTONE_RANDOM_SEED", "5", 1);
  Lv2Instance original;
  ASSERT_NE(original.instance, nullptr);
  for (auto [symbol, value] : {std::pair{"power", 1.0f}, {"voltage", 1.0f}, {"warm_up", 2.0f},
                               {"cutoff", 0.271f}, {"osc_1_waveform", 3.0f}, {"glide", 0.3f}})
    original.setControl(symbol, value);
  original.run({});

  struct Ports {
    Lv2Instance* lv2;
  } ports{&original};
  LilvState* state = lilv_state_new_from_instance(
      original.plugin, original.instance, &original.mapFeature, nullptr, nullptr, nullptr, nullptr,
      [](const char* symbol, void* data, uint32_t* size, uint32_t* type) -> const void* {
        auto* p = static_cast<Ports*>(data);
        static float value;
        value = p->lv2->control(symbol);
        *size = sizeof(float);
        *type = UridMap::map(&p->lv2->urids, LV2_ATOM__Float);
        return &value;
      },
      &ports, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
  ASSERT_NE(state, nullptr);
  char* text = lilv_state_to_string(original.world, &original.mapFeature, &original.unmapFeature, state, "urn:test:state", nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::string(text).find("urn:distrho:chunk"), std::string::npos);
  lilv_free(text);

  // Two fresh instances restored from the saved session play alike.
  std::vector<std::unique_ptr<Lv2Instance>> restored;
  for (int i = 0; i < 2; ++i) {
    restored.push_back(std::make_unique<Lv2Instance>());
    ASSERT_NE(restored.back()->instance, nullptr);
    Ports target{restored.back().get()};
    lilv_state_restore(
        state, restored.back()->instance,
        [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t) {
          auto* p = static_cast<Ports*>(data);
          if (size == sizeof(float)) p->lv2->setControl(symbol, *static_cast<const float*>(value));
        },
        &target, 0, nullptr);
    EXPECT_EQ(restored.back()->saveState(), original.saveState());
    EXPECT_FLOAT_EQ(restored.back()->control("cutoff"), 0.271f);
  }
  lilv_state_free(state);

  double energy = 0;
  for (int block = 0; block < 100; ++block) {
    const auto midi = phraseBlock(block);
    restored[0]->run(midi);
    restored[1]->run(midi);
    ASSERT_EQ(restored[0]->audioOut[0], restored[1]->audioOut[0]) << block;
    for (float s : restored[0]->audioOut[0]) energy += double(s) * s;
  }
  EXPECT_GT(energy, 1.0);
}

namespace {

// Power on at 220 V, warm; then a held note and its level over 40 blocks.
double levelOfANote(Lv2Instance& lv2) {
  lv2.run({IMidiMsg::noteOn(0, 57, 100)});
  double sum = 0;
  for (int block = 0; block < 40; ++block) {
    lv2.run({});
    for (float s : lv2.audioOut[0]) sum += double(s) * s;
  }
  lv2.run({IMidiMsg::noteOff(0, 57)});
  for (int block = 0; block < 40; ++block) lv2.run({});
  return std::sqrt(sum / (40.0 * kBlock));
}

void powerUpWarm(Lv2Instance& lv2) {
  lv2.setControl("voltage", 1);
  lv2.setControl("power", 1);
  lv2.setControl("warm_up", 2);
  for (int block = 0; block < 4; ++block) lv2.run({});
}

}  // namespace

// The fuse blows when a powered unit is switched to 110 V. The host learns
// it from what the plug-in publishes: the output port always, and its own
// input port too when it offers the change request (as Carla does). Writing
// "Intact" then puts in a new fuse and the sound comes back.
TEST(Lv2Build, TheHostSeesTheBlownFuseAndWritingIntactReplacesIt) {
  setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
  for (bool offered : {false, true}) {
    SCOPED_TRACE(offered ? "host takes change requests" : "host without change requests");
    Lv2Instance lv2(kRate, kBlock, offered);
    ASSERT_NE(lv2.instance, nullptr);
    powerUpWarm(lv2);
    const double playing = levelOfANote(lv2);
    ASSERT_GT(playing, 0.01);
    EXPECT_EQ(lv2.control("fuse_out"), 0);

    lv2.setControl("voltage", 0);
    for (int block = 0; block < 4; ++block) lv2.run({});
    EXPECT_EQ(lv2.control("fuse_out"), 1);
    EXPECT_EQ(lv2.control("fuse"), offered ? 1 : 0);
    EXPECT_EQ(lv2.changeRequests > 0, offered);
    EXPECT_LT(levelOfANote(lv2), playing / 4);  // only the mains hum is left

    // Back to 220 V and a new fuse. A host that took the request shows
    // "Blown" on its own control, so writing "Intact" is a change it makes.
    lv2.setControl("voltage", 1);
    if (!offered) lv2.setControl("fuse", 1);  // the user first sees the blown fuse, as the output shows it
    lv2.run({});
    lv2.setControl("fuse", 0);
    for (int block = 0; block < 4; ++block) lv2.run({});
    EXPECT_EQ(lv2.control("fuse_out"), 0);
    EXPECT_NEAR(levelOfANote(lv2), playing, playing * 0.2);
  }
}

// A host that loads the plug-in, plays it and saves and restores its state
// hears from it only through audio and ports: nothing on standard error,
// whether or not it gives block-length options.
TEST(Lv2Build, SaysNothingInNormalUse) {
  testutil::StderrCapture capture;
  for (bool blockLengths : {true, false}) {
    Lv2Instance lv2(kRate, kBlock, false, blockLengths);
    ASSERT_NE(lv2.instance, nullptr);
    powerUpWarm(lv2);
    levelOfANote(lv2);
    const auto saved = lv2.saveState();
    Lv2Instance other(kRate, kBlock, true, blockLengths);
    ASSERT_TRUE(other.restoreState(saved));
    levelOfANote(other);
  }
  EXPECT_EQ(capture.text(), "");
}

// A chunk that is no strict base64 is refused: the restore reports failure
// and the instance keeps its state.
TEST(Lv2Build, ARestoreWithADamagedChunkFailsAndChangesNothing) {
  Lv2Instance lv2(kRate, kBlock);
  ASSERT_NE(lv2.instance, nullptr);
  powerUpWarm(lv2);
  const auto before = lv2.saveState();
  ASSERT_FALSE(before.empty());
  for (const auto& [key, value] : before) {
    for (const std::string& damaged : {value + "!", value.substr(0, value.size() - 1), " " + value}) {
      EXPECT_FALSE(lv2.restoreState({{key, damaged}}));
      EXPECT_EQ(lv2.saveState(), before);
    }
  }
  EXPECT_TRUE(lv2.restoreState(before));
}

// The editor embedded in a host's window, as jalv or Carla embeds it: when
// the host resizes the editor's window, the panel fills it at the new scale;
// when the user drags the corner, the editor asks the host through
// ui:resize, and the host's window and the editor end the same size.
TEST(Lv2Build, TheEmbeddedEditorAndTheHostWindowStayTheSameSize) {
  setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-lv2-resize.log", "4000x2100x24"));
  testutil::UseDisplay use(display.name);
  Lv2Instance lv2;
  ASSERT_NE(lv2.instance, nullptr);
  testutil::HostWindow window(display.name, 976, 508);
  ASSERT_TRUE(window.ok());
  testhost::Lv2Editor editor(lv2, window);
  ASSERT_TRUE(editor.ok());
  editor.runFor(10);
  EXPECT_EQ(window.childSize(), std::make_pair(976, 508));
  const std::string resources = WOBBLYTONE_LV2_BUNDLE "/resources/";

  // The host makes it 150 % (its window and the embedded one, as suil does).
  window.resize(1464, 762);
  XResizeWindow(window.x, editor.editorWindow(), 1464, 762);
  XSync(window.x, False);
  editor.runFor(15);
  EXPECT_EQ(window.childSize(), std::make_pair(1464, 762));
  testutil::Picture shown = window.capture();
  shown.savePNG(WOBBLYTONE_TEST_ARTIFACTS "/lv2_editor_150.png");
  EXPECT_LT(testutil::coarseDifference(shown, testutil::referencePanel(77, 0.75f, resources)), 0.05);

  // The corner, dragged back towards the default size.
  editor.resizeRequests.clear();
  testutil::drag(display.name, window.id(), 1458, 756, -300, -156, [&] { editor.runFor(5); });
  editor.runFor(10);
  ASSERT_FALSE(editor.resizeRequests.empty());
  const auto [width, height] = window.size();
  EXPECT_LT(width, 1300);
  EXPECT_EQ(std::make_pair(width, height), editor.resizeRequests.back());
  EXPECT_EQ(window.childSize(), std::make_pair(width, height));
  shown = window.capture();
  EXPECT_LT(testutil::coarseDifference(shown, testutil::referencePanel(77, width / 1952.0f, resources)), 0.05);
}

// The factory bank is the bundle's presets: a host lists them by name, and
// one loaded sets the input ports to the program's values (parameters only:
// no state entry, which would carry the unit's broken controls too).
TEST(Lv2Build, ListsTheFactoryBankAsPresetsOfTheProgramsValues) {
  setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
  Lv2Instance lv2;
  ASSERT_NE(lv2.instance, nullptr);
  LilvNode* presetClass = lilv_new_uri(lv2.world, LV2_PRESETS__Preset);
  LilvNode* label = lilv_new_uri(lv2.world, LILV_NS_RDFS "label");
  LilvNodes* presets = lilv_plugin_get_related(lv2.plugin, presetClass);
  EXPECT_EQ(lilv_nodes_size(presets), static_cast<unsigned>(FactoryBank::count()));
  std::set<std::string> names;
  const int chosen = FactoryBank::find("Acid Squelch");
  LilvState* state = nullptr;
  LILV_FOREACH (nodes, i, presets) {
    const LilvNode* preset = lilv_nodes_get(presets, i);
    lilv_world_load_resource(lv2.world, preset);
    LilvNodes* labels = lilv_world_find_nodes(lv2.world, preset, label, nullptr);
    if (labels && lilv_nodes_size(labels) > 0) {
      const std::string name = lilv_node_as_string(lilv_nodes_get_first(labels));
      names.insert(name);
      if (name == FactoryBank::program(chosen).name) state = lilv_state_new_from_world(lv2.world, &lv2.mapFeature, preset);
    }
    lilv_nodes_free(labels);
  }
  for (int i = 0; i < FactoryBank::count(); ++i) EXPECT_TRUE(names.count(FactoryBank::program(i).name)) << i;
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(lilv_state_get_num_properties(state), 0u);  // the values only

  // Restored as jalv does: each port value (a float, or an integer for a
  // list's index) to its input port, then a block.
  lilv_state_restore(
      state, lv2.instance,
      [](const char* symbol, void* self, const void* value, uint32_t size, uint32_t type) {
        auto* host = static_cast<Lv2Instance*>(self);
        if (size != 4) return;
        if (type == UridMap::map(&host->urids, LV2_ATOM__Int))
          host->setControl(symbol, static_cast<float>(*static_cast<const int32_t*>(value)));
        else if (type == UridMap::map(&host->urids, LV2_ATOM__Float))
          host->setControl(symbol, *static_cast<const float*>(value));
      },
      &lv2, 0, nullptr);
  lv2.run({});
  Wobblytone engine{InstanceInfo{}};
  for (int i = 0; i < kNumParams; ++i) {
    const std::string symbol = lv2Symbol(engine.GetParam(i)->GetName());
    EXPECT_FLOAT_EQ(lv2.control(symbol + "_out"), static_cast<float>(FactoryBank::program(chosen).values[i])) << symbol;
  }
  lilv_state_free(state);
  lilv_nodes_free(presets);
  lilv_node_free(presetClass);
  lilv_node_free(label);
}

// A Program Change selects the program in the engine; the output ports show
// its values (the host keeps its own input ports).
TEST(Lv2Build, AProgramChangeSelectsAFactoryProgram) {
  setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
  Lv2Instance lv2;
  ASSERT_NE(lv2.instance, nullptr);
  lv2.run({IMidiMsg(0, 0xC0, 5, 0)});
  lv2.run({});
  EXPECT_FLOAT_EQ(lv2.control("cutoff_out"), static_cast<float>(FactoryBank::program(5).values[kCutoff]));
  EXPECT_FLOAT_EQ(lv2.control("power_out"), 1.0f);
}
