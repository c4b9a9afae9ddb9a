// SPDX-License-Identifier: ISC
// Time per frame of two LV2 instruments through lilv, on the same phrase:
// the Wobblytone build and Calf Monosynth (Debian's calf-plugins). Rounds
// alternate between the two so that both meet the machine in the same state;
// the medians and their ratio are printed.
//
//   wobblytone_lv2_versus_calf [ROUNDS] [BUNDLE]   (BUNDLE: another Wobblytone.lv2)
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 48000;
constexpr uint32_t kBlock = 256;
constexpr int kBlocksPerRound = 1875;  // ten seconds

struct Urids {
  std::map<std::string, LV2_URID> ids;
  static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
    auto& ids = static_cast<Urids*>(handle)->ids;
    const auto found = ids.find(uri);
    if (found != ids.end()) return found->second;
    const LV2_URID id = static_cast<LV2_URID>(ids.size() + 1);
    ids[uri] = id;
    return id;
  }
};

LV2_Worker_Status noWork(LV2_Worker_Schedule_Handle, uint32_t, const void*) { return LV2_WORKER_ERR_UNKNOWN; }

// One instance with its ports connected: controls at their defaults (or the
// values given), the audio outputs, the MIDI input as an atom sequence.
class Instrument {
 public:
  Instrument(LilvWorld* world, const char* uri, const std::map<std::string, float>& settings) {
    LilvNode* node = lilv_new_uri(world, uri);
    plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
    lilv_node_free(node);
    if (!plugin) return;
    map.handle = &urids;
    map.map = Urids::map;
    const LV2_URID intType = Urids::map(&urids, LV2_ATOM__Int);
    options[0] = {LV2_OPTIONS_INSTANCE, 0, Urids::map(&urids, LV2_BUF_SIZE__minBlockLength), 4, intType, &minBlock};
    options[1] = {LV2_OPTIONS_INSTANCE, 0, Urids::map(&urids, LV2_BUF_SIZE__maxBlockLength), 4, intType, &maxBlock};
    options[2] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    schedule.schedule_work = noWork;
    features[0] = {LV2_URID__map, &map};
    features[1] = {LV2_OPTIONS__options, options};
    features[2] = {LV2_WORKER__schedule, &schedule};
    const LV2_Feature* list[] = {&features[0], &features[1], &features[2], nullptr};
    instance = lilv_plugin_instantiate(plugin, kRate, list);
    if (!instance) return;
    midiEvent = Urids::map(&urids, LV2_MIDI__MidiEvent);
    sequence = Urids::map(&urids, LV2_ATOM__Sequence);
    LilvNode* audio = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
    LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(world, LILV_URI_INPUT_PORT);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.assign(ports, 0.0f);
    buffers.assign(ports, std::vector<uint8_t>(65536));
    audio_.assign(ports, std::vector<float>(kBlock));
    for (uint32_t i = 0; i < ports; ++i) {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
      const bool in = lilv_port_is_a(plugin, port, input);
      if (lilv_port_is_a(plugin, port, audio)) {
        lilv_instance_connect_port(instance, i, audio_[i].data());
        if (!in && !firstOutput) firstOutput = audio_[i].data();
      } else if (lilv_port_is_a(plugin, port, control)) {
        LilvNode* def = nullptr;
        lilv_port_get_range(plugin, port, &def, nullptr, nullptr);
        controls[i] = def ? lilv_node_as_float(def) : 0.0f;
        lilv_node_free(def);
        const auto set = settings.find(lilv_node_as_string(lilv_port_get_symbol(plugin, port)));
        if (set != settings.end()) controls[i] = set->second;
        lilv_instance_connect_port(instance, i, &controls[i]);
      } else if (lilv_port_is_a(plugin, port, atom)) {
        lilv_instance_connect_port(instance, i, buffers[i].data());
        if (in && midiPort < 0) midiPort = static_cast<int>(i);
        else if (!in) outputs.push_back(i);
      }
    }
    for (LilvNode* n : {audio, control, atom, input}) lilv_node_free(n);
    lilv_instance_activate(instance);
  }
  ~Instrument() {
    if (instance) {
      lilv_instance_deactivate(instance);
      lilv_instance_free(instance);
    }
  }
  bool ok() const { return instance && midiPort >= 0 && firstOutput; }

  // One block with these MIDI events (offset, status, data).
  void run(const std::vector<std::array<uint32_t, 4>>& midi) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(buffers[static_cast<size_t>(midiPort)].data());
    seq->atom.type = sequence;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
    for (const auto& m : midi) {
      struct {
        LV2_Atom_Event event;
        uint8_t bytes[8];
      } e{};
      e.event.time.frames = m[0];
      e.event.body.type = midiEvent;
      e.event.body.size = 3;
      e.bytes[0] = static_cast<uint8_t>(m[1]);
      e.bytes[1] = static_cast<uint8_t>(m[2]);
      e.bytes[2] = static_cast<uint8_t>(m[3]);
      lv2_atom_sequence_append_event(seq, 65536 - sizeof(LV2_Atom), &e.event);
    }
    for (uint32_t port : outputs) {
      auto* out = reinterpret_cast<LV2_Atom_Sequence*>(buffers[port].data());
      out->atom.type = 0;
      out->atom.size = 65536 - sizeof(LV2_Atom);
    }
    lilv_instance_run(instance, kBlock);
  }
  float lastSample() const { return firstOutput[kBlock - 1]; }

 private:
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  Urids urids;
  LV2_URID_Map map{};
  int32_t minBlock = 1, maxBlock = kBlock;
  LV2_Options_Option options[3];
  LV2_Worker_Schedule schedule{};
  LV2_Feature features[3];
  LV2_URID midiEvent = 0, sequence = 0;
  std::vector<float> controls;
  std::vector<std::vector<uint8_t>> buffers;
  std::vector<std::vector<float>> audio_;
  float* firstOutput = nullptr;
  int midiPort = -1;
  std::vector<uint32_t> outputs;
};

// Eighth notes at 120 bpm over two octaves, each held for most of its length.
std::vector<std::array<uint32_t, 4>> phraseBlock(long block) {
  static const uint32_t kNotes[8] = {36, 48, 43, 39, 41, 53, 46, 31};
  std::vector<std::array<uint32_t, 4>> midi;
  if (block % 24 == 0) midi.push_back({5, 0x90, kNotes[(block / 24) % 8], 100});
  if (block % 24 == 20) midi.push_back({3, 0x80, kNotes[(block / 24) % 8], 0});
  return midi;
}

// Seconds per frame of one round of ten seconds.
double timeRound(Instrument& instrument, long& block) {
  const auto start = std::chrono::steady_clock::now();
  for (int b = 0; b < kBlocksPerRound; ++b, ++block) instrument.run(phraseBlock(block));
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count() / (kBlocksPerRound * static_cast<double>(kBlock));
}

double median(std::vector<double> x) {
  std::sort(x.begin(), x.end());
  return x[x.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);  // Calf from the system's LV2 path
  const std::string bundlePath = std::string(argc > 2 ? argv[2] : WOBBLYTONE_LV2_BUNDLE) + "/";
  LilvNode* bundle = lilv_new_file_uri(world, nullptr, bundlePath.c_str());
  lilv_world_load_bundle(world, bundle);
  lilv_node_free(bundle);
  {
    // A sawtooth through the filter with its contours, played warm, as the
    // engine's plain benchmark patch; Calf at its defaults plays a like patch.
    Instrument ours(world, "https://marlpitmusic.com/plugins/wobblytone",
                    {{"power", 1}, {"voltage", 1}, {"warm_up", 2}, {"cutoff", 0.45f}, {"emphasis", 0.7f},
                     {"amount_of_contour", 0.3f}, {"filter_decay", 0.3f}, {"filter_sustain", 0.4f},
                     {"loudness_decay", 0.3f}, {"loudness_sustain", 0.7f}});
    Instrument calf(world, "http://calf.sourceforge.net/plugins/Monosynth", {});
    if (!ours.ok() || !calf.ok()) {
      std::fprintf(stderr, "cannot instantiate %s\n", !ours.ok() ? "Wobblytone" : "Calf Monosynth (calf-plugins)");
      lilv_world_free(world);
      return 1;
    }
    long oursBlock = 0, calfBlock = 0;
    timeRound(ours, oursBlock);  // warm both up
    timeRound(calf, calfBlock);
    std::vector<double> oursTimes, calfTimes;
    for (int r = 0; r < rounds; ++r) {
      oursTimes.push_back(timeRound(ours, oursBlock));
      calfTimes.push_back(timeRound(calf, calfBlock));
    }
    const double a = median(oursTimes), b = median(calfTimes);
    std::printf("Wobblytone LV2      %.1f ns per frame (median of %d rounds)\n", a * 1e9, rounds);
    std::printf("Calf Monosynth LV2  %.1f ns per frame\n", b * 1e9);
    std::printf("ratio               %.2f\n", a / b);
    std::printf("(last samples %g %g)\n", ours.lastSample(), calf.lastSample());
  }
  lilv_world_free(world);
  return 0;
}
