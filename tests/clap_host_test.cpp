// SPDX-License-Identifier: ISC
// The CLAP build checked the way a strict host checks it: a host of our own
// dlopens the built file, reads the factory and descriptor, walks the
// parameters, plays note and MIDI events at many block sizes and rates, and
// saves and loads state through streams that move a few bytes at a time.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include "child_process.h"
#include "clap_host.h"
#include "instrument/factory_bank.h"
#include "panel_reference.h"
#include "stderr_capture.h"
#include "test_util.h"
#include "wobblytone_identity.h"
#include "x_window.h"

namespace {

using namespace testhost;

ClapInstance::Timed setParamAt(long frame, int param, double value) {
  return {frame, [=](InputEvents& in, uint32_t t) { in.add(paramEvent(t, idOf(param), value)); }};
}
ClapInstance::Timed noteAt(long frame, bool on, int16_t key, uint16_t space = CLAP_CORE_EVENT_SPACE_ID) {
  return {frame, [=](InputEvents& in, uint32_t t) {
            in.add(noteEvent(on ? CLAP_EVENT_NOTE_ON : CLAP_EVENT_NOTE_OFF, t, key, 0.8, space));
          }};
}

// Power on, warm, a plain audible patch.
std::vector<ClapInstance::Timed> poweredPatch() {
  return {setParamAt(0, kPower, 1), setParamAt(0, kVoltage, 1), setParamAt(0, kWarmUp, 2),
          setParamAt(0, kOsc1Volume, 0.6), setParamAt(0, kEmphasis, 0.7), setParamAt(0, kCutoff, 0.45)};
}

std::vector<ClapInstance::Timed> phrase() {
  auto events = poweredPatch();
  for (auto e : {noteAt(1000, true, 48), noteAt(7000, false, 48), noteAt(7000, true, 55), noteAt(9001, true, 43),
                 noteAt(14000, false, 43), noteAt(14000, false, 55)})
    events.push_back(e);
  return events;
}

bool allClean(const std::vector<float>& samples) {
  for (float s : samples)
    if (!std::isfinite(s) || std::fpclassify(s) == FP_SUBNORMAL) return false;
  return true;
}

double energy(const std::vector<float>& samples, size_t from = 0) {
  double e = 0;
  for (size_t i = from; i < samples.size(); ++i) e += double(samples[i]) * samples[i];
  return e;
}

class ClapBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
    ASSERT_NE(ClapModule::get().factory, nullptr) << "cannot load " WOBBLYTONE_CLAP_FILE;
  }
};

}  // namespace

TEST_F(ClapBuild, FactoryDescribesTheInstrumentAndRefusesOtherIds) {
  const clap_plugin_factory_t* factory = ClapModule::get().factory;
  ASSERT_EQ(factory->get_plugin_count(factory), 1u);
  const clap_plugin_descriptor_t* d = factory->get_plugin_descriptor(factory, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->id, "com.marlpitmusic.wobblytone");
  EXPECT_STREQ(d->name, "Wobblytone");
  EXPECT_STREQ(d->vendor, "Marlpit Music");
  EXPECT_STREQ(d->version, Identity::kVersionText);
  EXPECT_TRUE(clap_version_is_compatible(d->clap_version));
  std::vector<std::string> features;
  for (const char* const* f = d->features; f && *f; ++f) features.emplace_back(*f);
  EXPECT_EQ(features, (std::vector<std::string>{"instrument", "synthesizer", "stereo"}));

  ClapInstance wrong("com.marlpitmusic.other");
  EXPECT_EQ(wrong.plugin, nullptr);
  ClapInstance right;
  EXPECT_NE(right.plugin, nullptr);
  EXPECT_EQ(right.plugin->desc, d);
}

TEST_F(ClapBuild, ParametersMatchTheEngineTable) {
  ClapInstance clap;
  ASSERT_NE(clap.params, nullptr);
  Wobblytone engine{InstanceInfo{}};
  ASSERT_EQ(clap.params->count(clap.plugin), 46u);
  for (uint32_t i = 0; i < 46; ++i) {
    clap_param_info_t info{};
    ASSERT_TRUE(clap.params->get_info(clap.plugin, i, &info));
    const IParam* p = engine.GetParam(static_cast<int>(i));
    SCOPED_TRACE(p->GetName());
    EXPECT_EQ(info.id, i + 1);
    EXPECT_STREQ(info.name, p->GetName());
    EXPECT_DOUBLE_EQ(info.min_value, static_cast<float>(p->GetMin()));
    EXPECT_DOUBLE_EQ(info.max_value, static_cast<float>(p->GetMax()));
    EXPECT_DOUBLE_EQ(info.default_value, static_cast<float>(p->GetDefault()));
    EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
    EXPECT_EQ(bool(info.flags & CLAP_PARAM_IS_STEPPED), p->NDisplayTexts() > 0);
    constexpr uint32_t isEnum = 1u << 16;  // CLAP_PARAM_IS_ENUM of CLAP 1.2
    EXPECT_EQ(bool(info.flags & isEnum), p->NDisplayTexts() > 0);
    EXPECT_DOUBLE_EQ(clap.value(info.id), static_cast<float>(p->GetDefault()));

    // Every list text is the text of its value, and reads back as that value.
    char text[256];
    for (int t = 0; t < p->NDisplayTexts(); ++t) {
      ASSERT_TRUE(clap.params->value_to_text(clap.plugin, info.id, t, text, sizeof text));
      EXPECT_STREQ(text, p->GetDisplayText(t));
      double back = -1;
      ASSERT_TRUE(clap.params->text_to_value(clap.plugin, info.id, text, &back));
      EXPECT_EQ(back, t);
    }
    if (p->NDisplayTexts() == 0) {
      // A continuous value shows as the engine shows it, with the
      // parameter's own precision, and reads back to within that precision.
      for (double at : {0.0, 0.37, 0.5, 1.0}) {
        const double value = info.min_value + at * (info.max_value - info.min_value);
        ASSERT_TRUE(clap.params->value_to_text(clap.plugin, info.id, value, text, sizeof text));
        WDL_String shown;
        p->GetDisplay(value, false, shown);
        EXPECT_STREQ(text, shown.Get());
        double back = NAN;
        ASSERT_TRUE(clap.params->text_to_value(clap.plugin, info.id, text, &back));
        EXPECT_NEAR(back, value, p->GetStep() / 2 + 1e-9);
      }
    }
    double unused;
    EXPECT_FALSE(clap.params->text_to_value(clap.plugin, info.id, "loud", &unused));
  }
  clap_param_info_t info{};
  double v;
  char text[64];
  EXPECT_FALSE(clap.params->get_info(clap.plugin, 46, &info));
  EXPECT_FALSE(clap.params->get_value(clap.plugin, 0, &v));
  EXPECT_FALSE(clap.params->get_value(clap.plugin, 47, &v));
  EXPECT_FALSE(clap.params->value_to_text(clap.plugin, 1000, 0, text, sizeof text));
}

// What a musician reads in a host's generic controls.
TEST_F(ClapBuild, ShowsEachValueWithItsOwnPrecision) {
  ClapInstance clap;
  char text[64];
  const auto shown = [&](int param, double value) {
    return clap.params->value_to_text(clap.plugin, idOf(param), value, text, sizeof text) ? std::string(text) : "";
  };
  EXPECT_EQ(shown(kVolume, 0.5), "0.50");
  EXPECT_EQ(shown(kTune, 1.5), "1.500");
  EXPECT_EQ(shown(kTune, 1.2), "1.200");
  EXPECT_EQ(shown(kOsc2Frequency, -0.25), "-0.2500");
  EXPECT_EQ(shown(kOsc3Control, 0), "On");
  EXPECT_EQ(shown(kCutoff, 7), "1.00");  // kept inside the range
  double value = 0;
  ASSERT_TRUE(clap.params->text_to_value(clap.plugin, idOf(kTune), "-1.25", &value));
  EXPECT_DOUBLE_EQ(value, -1.25);
  ASSERT_TRUE(clap.params->text_to_value(clap.plugin, idOf(kTune), "9", &value));
  EXPECT_DOUBLE_EQ(value, 2.5);
  ASSERT_TRUE(clap.params->text_to_value(clap.plugin, idOf(kVoltage), "220V/50Hz", &value));
  EXPECT_EQ(value, 1);
  EXPECT_FALSE(clap.params->text_to_value(clap.plugin, idOf(kVoltage), "240V", &value));
  EXPECT_FALSE(clap.params->text_to_value(clap.plugin, idOf(kTune), "1.5 semitones", &value));
}

TEST_F(ClapBuild, HasOneMidiNotePortAndOneStereoOutput) {
  ClapInstance clap;
  const auto* notes = static_cast<const clap_plugin_note_ports_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_NOTE_PORTS));
  ASSERT_NE(notes, nullptr);
  ASSERT_EQ(notes->count(clap.plugin, true), 1u);
  EXPECT_EQ(notes->count(clap.plugin, false), 0u);
  clap_note_port_info_t info{};
  ASSERT_TRUE(notes->get(clap.plugin, 0, true, &info));
  EXPECT_TRUE(info.supported_dialects & CLAP_NOTE_DIALECT_MIDI);

  const auto* audio = static_cast<const clap_plugin_audio_ports_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_AUDIO_PORTS));
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->count(clap.plugin, true), 0u);
  ASSERT_EQ(audio->count(clap.plugin, false), 1u);
  clap_audio_port_info_t port{};
  ASSERT_TRUE(audio->get(clap.plugin, 0, false, &port));
  EXPECT_EQ(port.channel_count, 2u);
}

// Notes land on their own frames whatever the host's block size, so every
// block size gives the same samples.
TEST_F(ClapBuild, NoteEventsSoundTheSameAtEveryBlockSize) {
  std::vector<float> reference;
  for (uint32_t block : {64u, 1u, 7u, 333u, 4096u}) {
    SCOPED_TRACE(block);
    ClapInstance clap;
    ASSERT_TRUE(clap.activate(48000, block));
    const std::vector<float> out = clap.render(20000, block, phrase());
    ASSERT_TRUE(allClean(out));
    if (reference.empty()) {
      reference = out;
      EXPECT_GT(energy(out), 1.0);
    } else {
      ASSERT_EQ(out, reference);
    }
  }
}

// MIDI events through the CLAP build give the engine's own samples, at
// several sample rates.
TEST_F(ClapBuild, MidiEventsPlayLikeTheEngineAtEveryRate) {
  for (double rate : {44100.0, 48000.0, 96000.0, 22050.0}) {
    SCOPED_TRACE(rate);
    constexpr uint32_t kBlock = 128;
    ClapInstance clap;
    ASSERT_TRUE(clap.activate(rate, kBlock));
    InstanceInfo info;
    info.resourcePath = WOBBLYTONE_CLAP_RESOURCES "/";
    info.randomSeed = 77;
    Wobblytone engine(info);
    HeadlessHost host(engine);
    host.prepare(rate, kBlock);
    host.activate();
    for (auto [param, value] : {std::pair{kPower, 1.0}, {kVoltage, 1.0}, {kWarmUp, 2.0}, {kCutoff, 0.5}}) {
      engine.OnPlainParamChangeFromHost(param, value);
      clap.in.add(paramEvent(0, idOf(param), value));
    }
    std::vector<float> left(kBlock), right(kBlock);
    for (int block = 0; block < 300; ++block) {
      std::vector<IMidiMsg> midi;
      if (block % 50 == 3) midi.push_back(IMidiMsg::noteOn(5, 40 + block / 50 * 5, 90));
      if (block % 50 == 40) midi.push_back(IMidiMsg::noteOff(77, 40 + block / 50 * 5));
      for (const IMidiMsg& m : midi) clap.in.add(midiEvent(static_cast<uint32_t>(m.mOffset), m));
      clap.process(kBlock);
      host.process(midi.data(), static_cast<int>(midi.size()), left.data(), right.data(), kBlock);
      ASSERT_EQ(clap.left, left) << block;
      ASSERT_EQ(clap.right, right) << block;
    }
  }
}

// Modulation, gestures and the transport are events a host sends with any
// block; none of them is MIDI, so none plays a note or says anything.
TEST_F(ClapBuild, ModulationGestureAndTransportEventsPlayNothing) {
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  auto events = poweredPatch();
  events.push_back({300, [](InputEvents& in, uint32_t t) {
                      clap_event_param_gesture_t gesture{};
                      gesture.header = {sizeof gesture, t, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_GESTURE_BEGIN, 0};
                      gesture.param_id = idOf(kCutoff);
                      in.add(gesture);
                      gesture.header.type = CLAP_EVENT_PARAM_GESTURE_END;
                      in.add(gesture);
                      clap_event_param_mod_t mod{};
                      mod.header = {sizeof mod, t, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_MOD, 0};
                      mod.param_id = idOf(kCutoff);
                      mod.note_id = -1;
                      mod.port_index = mod.channel = mod.key = -1;
                      mod.amount = 0.5;
                      in.add(mod);
                      clap_event_transport_t transport{};
                      transport.header = {sizeof transport, t, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
                      transport.flags = CLAP_TRANSPORT_IS_PLAYING;
                      transport.tempo = 120;
                      in.add(transport);
                    }});
  testutil::StderrCapture capture;
  const std::vector<float> withThem = clap.render(12000, 256, events);
  EXPECT_EQ(capture.text(), "");

  ClapInstance plain;
  ASSERT_TRUE(plain.activate(48000, 256));
  EXPECT_EQ(withThem, plain.render(12000, 256, poweredPatch()));
}

TEST_F(ClapBuild, IgnoresEventsOfAForeignNamespace) {
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  auto events = poweredPatch();
  events.push_back(noteAt(500, true, 60, 0x5151));
  events.push_back({600, [](InputEvents& in, uint32_t t) {
                      auto e = paramEvent(t, idOf(kPower), 0);
                      e.header.space_id = 0x5151;
                      in.add(e);
                    }});
  const std::vector<float> foreign = clap.render(12000, 256, events);

  ClapInstance plain;
  ASSERT_TRUE(plain.activate(48000, 256));
  EXPECT_EQ(foreign, plain.render(12000, 256, poweredPatch()));
  EXPECT_EQ(clap.value(idOf(kPower)), 1);
}

TEST_F(ClapBuild, OutputStaysCleanLongAfterRelease) {
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(44100, 512));
  auto events = poweredPatch();
  events.push_back(setParamAt(0, kEmphasis, 1.0));
  events.push_back(noteAt(100, true, 30));
  events.push_back(noteAt(20000, false, 30));
  const std::vector<float> out = clap.render(44100 * 40, 512, events);
  EXPECT_TRUE(allClean(out));
  EXPECT_GT(energy(out), 1.0);
}

TEST_F(ClapBuild, StateSurvivesStreamsOfSeventeenBytes) {
  ClapInstance original;
  ASSERT_TRUE(original.activate(48000, 256));
  auto patch = phrase();
  patch.push_back(setParamAt(0, kCutoff, 0.3141));
  patch.push_back(setParamAt(0, kOsc1Waveform, 4));
  patch.push_back(setParamAt(0, kGlide, 0.25));
  original.render(4096, 256, patch);

  MemoryOStream saved;
  ASSERT_TRUE(original.state->save(original.plugin, &saved.stream));
  ASSERT_GT(saved.bytes.size(), 100u);

  ClapInstance restored;
  ASSERT_TRUE(restored.activate(48000, 256));
  MemoryIStream load(saved.bytes);
  ASSERT_TRUE(restored.state->load(restored.plugin, &load.stream));
  for (clap_id id = 1; id <= 46; ++id) EXPECT_EQ(restored.value(id), original.value(id)) << id;

  // The same chunk plays the same notes alike.
  const std::vector<ClapInstance::Timed> notes = {noteAt(10, true, 50), noteAt(9000, false, 50)};
  ClapInstance again;
  ASSERT_TRUE(again.activate(48000, 256));
  MemoryIStream loadAgain(saved.bytes, 1);
  ASSERT_TRUE(again.state->load(again.plugin, &loadAgain.stream));
  EXPECT_EQ(restored.render(12000, 256, notes), again.render(12000, 256, notes));
}

TEST_F(ClapBuild, SurvivesEmptyAndGarbageState) {
  std::mt19937 random(5);
  std::vector<std::vector<uint8_t>> inputs = {{}, {0}, {0xfe}, {'_', '_', 'd', 'p', 'f'}};
  MemoryOStream good;
  {
    ClapInstance source;
    ASSERT_TRUE(source.state->save(source.plugin, &good.stream));
  }
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> noise(static_cast<size_t>(random() % 600));
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    inputs.push_back(noise);
    std::vector<uint8_t> damaged = good.bytes;
    for (int k = 0; k < 8; ++k) damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
    inputs.push_back(damaged);
    inputs.emplace_back(good.bytes.begin(), good.bytes.begin() + static_cast<long>(random() % good.bytes.size()));
  }
  Wobblytone engine{InstanceInfo{}};
  for (const auto& input : inputs) {
    ClapInstance clap;
    ASSERT_TRUE(clap.activate(48000, 256));
    MemoryIStream stream(input);
    clap.state->load(clap.plugin, &stream.stream);  // may refuse, must not break
    for (clap_id id = 1; id <= 46; ++id) {
      const IParam* p = engine.GetParam(static_cast<int>(id - 1));
      const double v = clap.value(id);
      ASSERT_TRUE(v >= p->GetMin() && v <= p->GetMax()) << p->GetName() << " " << v;
    }
    auto events = poweredPatch();
    events.push_back(noteAt(10, true, 57));
    ASSERT_TRUE(allClean(clap.render(4096, 256, events)));
  }
}

// A saved state with texts put in after the `after`th text (NUL-terminated
// texts, then the end byte).
std::vector<uint8_t> withTexts(const std::vector<uint8_t>& state, size_t after, const std::vector<std::string>& more) {
  std::vector<uint8_t> bytes;
  size_t texts = 0, at = 0;
  for (; at < state.size() && texts < after && state[at] != 0xfe; ++at)
    if (state[at] == 0) ++texts;
  bytes.assign(state.begin(), state.begin() + static_cast<long>(at));
  for (const std::string& t : more) {
    bytes.insert(bytes.end(), t.begin(), t.end());
    bytes.push_back(0);
  }
  bytes.insert(bytes.end(), state.begin() + static_cast<long>(at), state.end());
  return bytes;
}

std::vector<uint8_t> savedStateOf(ClapInstance& clap) {
  MemoryOStream saved;
  EXPECT_TRUE(clap.state->save(clap.plugin, &saved.stream));
  return saved.bytes;
}

TEST_F(ClapBuild, AStateLoadIsAllOrNothing) {
  ClapInstance source;
  ASSERT_TRUE(source.activate(48000, 256));
  source.render(1024, 256, {setParamAt(0, kVoltage, 1), setParamAt(0, kPower, 1), setParamAt(0, kCutoff, 0.2)});
  const std::vector<uint8_t> good = savedStateOf(source);
  const std::string chunk = chunkOfClapState(good);
  ASSERT_FALSE(chunk.empty());
  const size_t texts = static_cast<size_t>(std::count(good.begin(), good.end() - 2, 0));

  std::vector<std::string> badChunk = {chunk};
  badChunk[0].back() = '!';
  const std::vector<std::vector<uint8_t>> refused = {
      withTexts(good, texts, {"__dpf_parameters_end__"}),  // a stray end marker
      withTexts(good, texts, {"__dpf_state_begin__"}),     // a second state
      // (the program's marker and number come first, then the state's four texts)
      withTexts(good, 6, {"__dpf_state_begin__", "chunk", chunk, "__dpf_state_end__"}),
      withTexts(good, 7, {"nosuch", "abc"}),               // no number
      clapStateOfChunk(chunk.substr(0, chunk.size() - 1)),  // no whole base64
      clapStateOfChunk(badChunk[0]),
      std::vector<uint8_t>(good.begin(), good.end() - 3),   // cut off
  };
  for (size_t i = 0; i < refused.size(); ++i) {
    ClapInstance target;
    ASSERT_TRUE(target.activate(48000, 256));
    target.render(512, 256, {setParamAt(0, kCutoff, 0.9)});
    const std::vector<uint8_t> before = savedStateOf(target);
    MemoryIStream load(refused[i]);
    EXPECT_FALSE(target.state->load(target.plugin, &load.stream)) << i;
    EXPECT_EQ(savedStateOf(target), before) << i;  // parameters and broken controls alike
    EXPECT_EQ(target.value(idOf(kPower)), 0) << i;
    EXPECT_TRUE(target.rescans.empty()) << i;
  }
}

TEST_F(ClapBuild, AStateIsRestoredOnceAndTheHostReadsEveryValue) {
  ClapInstance source;
  ASSERT_TRUE(source.activate(48000, 256));
  source.render(1024, 256, {setParamAt(0, kVoltage, 1), setParamAt(0, kPower, 1), setParamAt(0, kCutoff, 0.2)});
  const std::vector<uint8_t> good = savedStateOf(source);

  // A parameter list that puts a powered 220V chunk at 110V is part of the
  // restore, which never blows the fuse.
  std::vector<uint8_t> to110V = clapStateOfChunk(chunkOfClapState(good));
  to110V = withTexts(to110V, 4, {"__dpf_parameters_begin__", "voltage", "0", "__dpf_parameters_end__"});
  ClapInstance target;
  ASSERT_TRUE(target.activate(48000, 256));
  MemoryIStream load(to110V);
  ASSERT_TRUE(target.state->load(target.plugin, &load.stream));
  EXPECT_EQ(target.value(idOf(kPower)), 1);
  EXPECT_EQ(target.value(idOf(kVoltage)), 0);
  EXPECT_EQ(target.value(idOf(kFuse)), 0);
  EXPECT_NEAR(target.value(idOf(kCutoff)), source.value(idOf(kCutoff)), 1e-6);
  ASSERT_EQ(target.rescans.size(), 1u);
  EXPECT_TRUE(target.rescans[0] & CLAP_PARAM_RESCAN_VALUES);
  target.render(2048, 256, {});
  EXPECT_EQ(target.value(idOf(kFuse)), 0);
}

TEST_F(ClapBuild, ReportsTheBlownFuseToTheHost) {
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  clap.render(2048, 256, {setParamAt(0, kVoltage, 1), setParamAt(0, kPower, 1)});
  ASSERT_EQ(clap.value(idOf(kFuse)), 0);
  clap.out.values.clear();

  clap.render(2048, 256, {setParamAt(0, kVoltage, 0)});
  EXPECT_EQ(clap.value(idOf(kFuse)), 1);
  bool reported = false;
  for (auto [id, value] : clap.out.values)
    if (id == idOf(kFuse)) reported = value == 1;
  EXPECT_TRUE(reported);
  for (auto [id, value] : clap.out.values) EXPECT_TRUE(id >= 1 && id <= 46) << id;
}

TEST_F(ClapBuild, OffersItsEditorAsAnX11Window) {
  ClapInstance clap;
  const auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_GUI));
  ASSERT_NE(gui, nullptr);
  EXPECT_TRUE(gui->is_api_supported(clap.plugin, CLAP_WINDOW_API_X11, false));
  EXPECT_FALSE(gui->is_api_supported(clap.plugin, "no-such-api", false));
}

// A host opens the editor as a floating window on an X display (a virtual
// one of the test's own): it has the panel's default size, shows and closes.
TEST_F(ClapBuild, OpensItsEditorOnAnXDisplay) {
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-clap.log"));
  const std::string previous = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  setenv("DISPLAY", display.name.c_str(), 1);
  {
    ClapInstance clap;
    ASSERT_TRUE(clap.activate(48000, 256));
    const auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_GUI));
    ASSERT_NE(gui, nullptr);
    ASSERT_TRUE(gui->create(clap.plugin, CLAP_WINDOW_API_X11, true));
    uint32_t w = 0, h = 0;
    EXPECT_TRUE(gui->get_size(clap.plugin, &w, &h));
    EXPECT_EQ(w, 976u);
    EXPECT_EQ(h, 508u);
    EXPECT_TRUE(gui->show(clap.plugin));
    clap.process(256);  // the engine plays on while the editor is open
    // The host's timer drives the editor's idle update.
    const auto* timer =
        static_cast<const clap_plugin_timer_support_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_TIMER_SUPPORT));
    ASSERT_NE(timer, nullptr);
    ASSERT_GE(clap.timers, 1);
    for (int i = 0; i < 5; ++i) timer->on_timer(clap.plugin, static_cast<clap_id>(clap.timers));
    EXPECT_TRUE(gui->hide(clap.plugin));
    gui->destroy(clap.plugin);
  }
  if (previous.empty())
    unsetenv("DISPLAY");
  else
    setenv("DISPLAY", previous.c_str(), 1);
}

namespace {

// A copy of the built .clap with its resources beside it, in a folder of
// its own, so that it loads as a module apart from the build's file.
struct CopiedClap {
  CopiedClap() {
    char pattern[] = "/tmp/wobblytone-clap-XXXXXX";
    if (!mkdtemp(pattern)) return;
    folder = pattern;
    file = folder + "/Wobblytone.clap";
    std::filesystem::copy_file(WOBBLYTONE_CLAP_FILE, file);
    std::filesystem::copy(WOBBLYTONE_CLAP_RESOURCES, folder + "/Wobblytone-resources",
                          std::filesystem::copy_options::recursive);
  }
  ~CopiedClap() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  std::string folder, file;
};

// Level of the A-440 reference tone over one second of a powered unit.
double referenceToneOf(const clap_plugin_factory_t* factory) {
  ClapInstance clap("com.marlpitmusic.wobblytone", factory);
  if (!clap.plugin || !clap.activate(48000, 512)) return -1;
  clap.render(4800, 512, {setParamAt(0, kPower, 1), setParamAt(0, kVoltage, 1), setParamAt(0, kA440, 1)});
  const std::vector<float> out = clap.render(48000, 512, {});
  return testutil::toneMagnitude(std::vector<double>(out.begin(), out.end()), 440, 48000);
}

// What the editor shows embedded in a host window, after a few idle ticks.
testutil::Picture embeddedEditorOf(const clap_plugin_factory_t* factory, const std::string& display) {
  testutil::HostWindow window(display, 976, 508);
  ClapInstance clap("com.marlpitmusic.wobblytone", factory);
  const auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_GUI));
  const auto* timer =
      static_cast<const clap_plugin_timer_support_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_TIMER_SUPPORT));
  if (!window.ok() || !gui || !timer || !gui->create(clap.plugin, CLAP_WINDOW_API_X11, false)) return {};
  clap_window_t parent{};
  parent.api = CLAP_WINDOW_API_X11;
  parent.x11 = window.id();
  gui->set_parent(clap.plugin, &parent);
  gui->show(clap.plugin);
  for (int i = 0; i < 20; ++i) {
    timer->on_timer(clap.plugin, static_cast<clap_id>(clap.timers));
    usleep(10000);
  }
  testutil::Picture shown = window.capture();
  gui->hide(clap.plugin);
  gui->destroy(clap.plugin);
  return shown;
}

}  // namespace

// A change the host makes (automation, its own controls) turns the knob on
// the open editor, and only that knob, within a few idle ticks.
TEST_F(ClapBuild, TheOpenEditorFollowsAChangeTheHostMakes) {
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-clap-follow.log"));
  testutil::UseDisplay use(display.name);
  testutil::HostWindow window(display.name, 976, 508);
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  const auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_GUI));
  const auto* timer =
      static_cast<const clap_plugin_timer_support_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_TIMER_SUPPORT));
  ASSERT_TRUE(window.ok() && gui && timer && gui->create(clap.plugin, CLAP_WINDOW_API_X11, false));
  clap_window_t parent{};
  parent.api = CLAP_WINDOW_API_X11;
  parent.x11 = window.id();
  gui->set_parent(clap.plugin, &parent);
  gui->show(clap.plugin);
  auto settle = [&] {
    for (int i = 0; i < 10; ++i) {
      timer->on_timer(clap.plugin, static_cast<clap_id>(clap.timers));
      usleep(10000);
    }
    return window.capture();
  };
  // The Cutoff knob's square at half scale, and the Emphasis knob's beside it.
  auto differs = [](const testutil::Picture& a, const testutil::Picture& b, int x, int y) {
    int changed = 0;
    for (int dy = 0; dy < 48; ++dy)
      for (int dx = 0; dx < 48; ++dx) changed += a.at(x + dx, y + dy) != b.at(x + dx, y + dy);
    return changed;
  };
  const testutil::Picture before = settle();
  ASSERT_EQ(before.width, 976);
  clap.render(256, 256, {setParamAt(0, kCutoff, 0.0)});
  const testutil::Picture after = settle();
  ASSERT_EQ(after.width, 976);
  EXPECT_GT(differs(before, after, 1320 / 2, 88 / 2), 100);
  EXPECT_EQ(differs(before, after, 1448 / 2, 88 / 2), 0);
  gui->hide(clap.plugin);
  gui->destroy(clap.plugin);
}

// A host resizes the editor: it asks adjust_size for the nearest size the
// editor takes, resizes its window and calls set_size. The editor then has
// that size and shows the whole panel at that scale, as drawn off-screen.
TEST_F(ClapBuild, ResizedByTheHostShowsTheWholePanelAtTheNewScale) {
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-clap-resize.log", "2000x1100x24"));
  testutil::UseDisplay use(display.name);
  testutil::HostWindow window(display.name, 976, 508);
  ASSERT_TRUE(window.ok());
  ClapInstance clap;
  const auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_GUI));
  const auto* timer =
      static_cast<const clap_plugin_timer_support_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_TIMER_SUPPORT));
  ASSERT_TRUE(gui && timer);
  EXPECT_TRUE(gui->can_resize(clap.plugin));  // asked before the editor exists, as Carla does
  ASSERT_TRUE(gui->create(clap.plugin, CLAP_WINDOW_API_X11, false));
  clap_window_t parent{};
  parent.api = CLAP_WINDOW_API_X11;
  parent.x11 = window.id();
  ASSERT_TRUE(gui->set_parent(clap.plugin, &parent));
  ASSERT_TRUE(gui->show(clap.plugin));
  EXPECT_TRUE(gui->can_resize(clap.plugin));
  clap_gui_resize_hints_t hints{};
  ASSERT_TRUE(gui->get_resize_hints(clap.plugin, &hints));
  EXPECT_TRUE(hints.preserve_aspect_ratio);
  const auto idle = [&] {
    for (int i = 0; i < 15; ++i) {
      timer->on_timer(clap.plugin, static_cast<clap_id>(clap.timers));
      usleep(10000);
    }
  };
  idle();

  // The nearest sizes: the shape is kept, and 25 % to 200 % of the full panel.
  uint32_t w = 1500, h = 762;
  ASSERT_TRUE(gui->adjust_size(clap.plugin, &w, &h));
  EXPECT_EQ(w, 1464u);
  EXPECT_EQ(h, 762u);
  w = 100, h = 100;
  ASSERT_TRUE(gui->adjust_size(clap.plugin, &w, &h));
  EXPECT_EQ(w, 488u);
  EXPECT_EQ(h, 254u);
  w = 9000, h = 5000;
  ASSERT_TRUE(gui->adjust_size(clap.plugin, &w, &h));
  EXPECT_EQ(w, 3904u);
  EXPECT_EQ(h, 2032u);

  // 150 % of the default size.
  window.resize(1464, 762);
  ASSERT_TRUE(gui->set_size(clap.plugin, 1464, 762));
  idle();
  ASSERT_TRUE(gui->get_size(clap.plugin, &w, &h));
  EXPECT_EQ(w, 1464u);
  EXPECT_EQ(h, 762u);
  EXPECT_EQ(window.childSize(), std::make_pair(1464, 762));
  const testutil::Picture shown = window.capture();
  shown.savePNG(WOBBLYTONE_TEST_ARTIFACTS "/clap_editor_150.png");
  const testutil::Picture reference = testutil::referencePanel(77, 0.75f, WOBBLYTONE_CLAP_RESOURCES "/");
  EXPECT_LT(testutil::coarseDifference(shown, reference), 0.05);

  // The user drags the corner back towards the default size: the editor asks
  // the host, which resizes its window; both end the same size.
  clap.onResizeRequest = [&](uint32_t rw, uint32_t rh) { window.resize(static_cast<int>(rw), static_cast<int>(rh)); };
  clap.requestedSize = {0, 0};
  testutil::drag(display.name, window.id(), 1458, 756, -300, -156, idle);
  const auto [dragW, dragH] = window.size();
  EXPECT_LT(dragW, 1300);
  EXPECT_EQ(clap.requestedSize, std::make_pair(static_cast<uint32_t>(dragW), static_cast<uint32_t>(dragH)));
  EXPECT_EQ(window.childSize(), std::make_pair(dragW, dragH));
  ASSERT_TRUE(gui->get_size(clap.plugin, &w, &h));
  EXPECT_EQ(std::make_pair(w, h), clap.requestedSize);
  EXPECT_LT(testutil::coarseDifference(window.capture(),
                                       testutil::referencePanel(77, dragW / 1952.0f, WOBBLYTONE_CLAP_RESOURCES "/")),
            0.05);
  gui->hide(clap.plugin);
  gui->destroy(clap.plugin);
}

// Hosts differ in what they hand clap_entry.init: the file, as the CLAP
// headers say, or the folder that holds it, as Carla does. Either way, and
// with a path that leads nowhere, the clips play and the panel's bitmaps load.
TEST_F(ClapBuild, FindsItsResourcesWhateverPathTheHostPasses) {
  CopiedClap copy;
  ASSERT_FALSE(copy.folder.empty());
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-clap-init.log"));
  testutil::UseDisplay use(display.name);
  const testutil::Picture reference = testutil::referencePanel(77, 0.5f, WOBBLYTONE_CLAP_RESOURCES "/");
  for (const std::string& given : {copy.folder, copy.folder + "/", copy.file, std::string("/nonexistent")}) {
    SCOPED_TRACE(given);
    ClapModule module(copy.file, given);
    ASSERT_NE(module.factory, nullptr);
    EXPECT_GT(referenceToneOf(module.factory), 0.2);
    const testutil::Picture shown = embeddedEditorOf(module.factory, display.name);
    ASSERT_EQ(shown.width, 976);
    if (given == copy.folder) shown.savePNG(WOBBLYTONE_TEST_ARTIFACTS "/clap_editor_folder_init.png");
    EXPECT_LT(testutil::coarseDifference(shown, reference), 0.05);
  }
}

// A host that loads the plug-in (passing the file, or the folder as Carla
// does), asks about its editor before creating it, plays, saves and loads
// state, and opens and closes the editor hears nothing from it on standard
// error.
TEST_F(ClapBuild, SaysNothingInNormalUse) {
  CopiedClap copy;
  ASSERT_FALSE(copy.folder.empty());
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-clap-quiet.log"));
  testutil::UseDisplay use(display.name);
  testutil::StderrCapture capture;
  for (const std::string& given : {copy.file, copy.folder}) {
    ClapModule module(copy.file, given);
    ASSERT_NE(module.factory, nullptr);
    ClapInstance clap("com.marlpitmusic.wobblytone", module.factory);
    ASSERT_NE(clap.plugin, nullptr);
    const auto* gui = static_cast<const clap_plugin_gui_t*>(clap.plugin->get_extension(clap.plugin, CLAP_EXT_GUI));
    ASSERT_NE(gui, nullptr);
    uint32_t w = 0, h = 0;
    gui->can_resize(clap.plugin);
    gui->get_size(clap.plugin, &w, &h);
    gui->hide(clap.plugin);
    ASSERT_TRUE(clap.activate(48000, 512));
    clap.render(48000, 512, phrase());
    MemoryOStream saved;
    ASSERT_TRUE(clap.state->save(clap.plugin, &saved.stream));
    MemoryIStream load(saved.bytes);
    ASSERT_TRUE(clap.state->load(clap.plugin, &load.stream));
    embeddedEditorOf(module.factory, display.name);
  }
  EXPECT_EQ(capture.text(), "");
}

// Program Change 5 selects the sixth factory program: the engine takes it at
// the next block, and the values the host reads are the bank's.
TEST_F(ClapBuild, AProgramChangeSelectsAFactoryProgramAndTheHostReadsItsValues) {
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  clap.in.add(midiEvent(0, IMidiMsg(0, 0xC0, 5, 0)));
  clap.process(256);
  clap.process(256);
  const FactoryProgram& program = FactoryBank::program(5);
  for (int i = 0; i < kNumParams; ++i)
    EXPECT_FLOAT_EQ(static_cast<float>(clap.value(idOf(i))), static_cast<float>(program.values[i])) << i;
  // The host heard of every change as it played.
  std::set<clap_id> reported;
  for (const auto& [id, value] : clap.out.values) reported.insert(id);
  EXPECT_TRUE(reported.count(idOf(kPower)));
  EXPECT_TRUE(reported.count(idOf(kCutoff)));
}
