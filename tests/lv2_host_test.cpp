// SPDX-License-Identifier: ISC
// The LV2 build loaded the way a host loads it: lilv finds the bundle,
// instantiates the plug-in, plays MIDI through its atom port, and the audio
// equals the engine's own render of the same MIDI, sample for sample.
#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdlib>
#include <map>
#include <cstring>
#include <string>
#include <vector>

#include "engine_harness.h"

namespace {

// A URID map of the host's own.
struct UridMap {
  std::vector<std::string> uris;
  static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    auto* self = static_cast<UridMap*>(handle);
    for (size_t i = 0; i < self->uris.size(); ++i)
      if (self->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
    self->uris.emplace_back(uri);
    return static_cast<LV2_URID>(self->uris.size());
  }
};

LV2_Worker_Status scheduleNothing(LV2_Worker_Schedule_Handle, uint32_t, const void*) {
  return LV2_WORKER_ERR_NO_SPACE;
}

constexpr double kRate = 48000;
constexpr int kBlock = 256;

// One loaded, running instance with its ports connected.
class Lv2Instance {
 public:
  Lv2Instance() {
    world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, WOBBLYTONE_LV2_BUNDLE "/");
    lilv_world_load_bundle(world, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world, "https://marlpitmusic.com/plugins/wobblytone");
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
    if (!plugin) return;

    mapFeature.handle = &urids;
    mapFeature.map = UridMap::map;
    const int32_t minBlock = 1, maxBlock = kBlock;
    const LV2_URID intType = UridMap::map(&urids, LV2_ATOM__Int);
    options[0] = {LV2_OPTIONS_INSTANCE, 0, UridMap::map(&urids, LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
                  intType, &minBlock};
    options[1] = {LV2_OPTIONS_INSTANCE, 0, UridMap::map(&urids, LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                  intType, &maxBlock};
    options[2] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    schedule.handle = nullptr;
    schedule.schedule_work = scheduleNothing;
    features[0] = {LV2_URID__map, &mapFeature};
    features[1] = {LV2_OPTIONS__options, options};
    features[2] = {LV2_WORKER__schedule, &schedule};
    const LV2_Feature* list[] = {&features[0], &features[1], &features[2], nullptr};
    instance = lilv_plugin_instantiate(plugin, kRate, list);
    if (!instance) return;

    midiType = UridMap::map(&urids, LV2_MIDI__MidiEvent);
    sequenceType = UridMap::map(&urids, LV2_ATOM__Sequence);
    LilvNode* audio = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
    LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(world, LILV_URI_INPUT_PORT);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.resize(ports, 0.0f);
    audioOut.assign(2, std::vector<float>(kBlock));
    atomBuffers.assign(ports, std::vector<uint8_t>(65536));
    int audioIndex = 0;
    for (uint32_t i = 0; i < ports; ++i) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
      if (lilv_port_is_a(plugin, port, audio)) {
        lilv_instance_connect_port(instance, i, audioOut[static_cast<size_t>(audioIndex++)].data());
      } else if (lilv_port_is_a(plugin, port, control)) {
        LilvNode* def = nullptr;
        lilv_port_get_range(plugin, port, &def, nullptr, nullptr);
        controls[i] = def ? lilv_node_as_float(def) : 0.0f;
        lilv_node_free(def);
        const char* symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        symbols[symbol] = i;
        lilv_instance_connect_port(instance, i, &controls[i]);
      } else if (lilv_port_is_a(plugin, port, atom)) {
        lilv_instance_connect_port(instance, i, atomBuffers[i].data());
        if (lilv_port_is_a(plugin, port, input)) midiPort = static_cast<int>(i);
        else outputAtomPorts.push_back(i);
      }
    }
    for (LilvNode* n : {audio, control, atom, input}) lilv_node_free(n);
    lilv_instance_activate(instance);
  }
  ~Lv2Instance() {
    if (instance) {
      lilv_instance_deactivate(instance);
      lilv_instance_free(instance);
    }
    lilv_world_free(world);
  }

  void setControl(const std::string& symbol, float value) { controls[symbols.at(symbol)] = value; }

  // Runs one block with these MIDI events (offset, three bytes).
  void run(const std::vector<IMidiMsg>& midi) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atomBuffers[static_cast<size_t>(midiPort)].data());
    seq->atom.type = sequenceType;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
    for (const IMidiMsg& m : midi) {
      struct {
        LV2_Atom_Event event;
        uint8_t bytes[8];
      } e{};
      e.event.time.frames = m.mOffset;
      e.event.body.type = midiType;
      e.event.body.size = 3;
      e.bytes[0] = m.mStatus;
      e.bytes[1] = m.mData1;
      e.bytes[2] = m.mData2;
      lv2_atom_sequence_append_event(seq, 65536 - sizeof(LV2_Atom), &e.event);
    }
    for (uint32_t port : outputAtomPorts) {
      auto* out = reinterpret_cast<LV2_Atom_Sequence*>(atomBuffers[port].data());
      out->atom.type = 0;
      out->atom.size = 65536 - sizeof(LV2_Atom);
    }
    lilv_instance_run(instance, kBlock);
  }

  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  UridMap urids;
  LV2_URID_Map mapFeature{};
  LV2_Options_Option options[3];
  LV2_Worker_Schedule schedule{};
  LV2_Feature features[3];
  LV2_URID midiType = 0, sequenceType = 0;
  std::vector<float> controls;
  std::vector<std::vector<float>> audioOut;
  std::vector<std::vector<uint8_t>> atomBuffers;
  std::map<std::string, uint32_t> symbols;
  int midiPort = -1;
  std::vector<uint32_t> outputAtomPorts;
};

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
    EXPECT_TRUE(lv2.symbols.count(symbol)) << symbol;
  EXPECT_EQ(lv2.symbols.size(), 46u);
  EXPECT_GE(lv2.midiPort, 0);
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
