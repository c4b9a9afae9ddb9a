// SPDX-License-Identifier: ISC
// A small LV2 host on lilv for the tests: finds the built bundle,
// instantiates the plug-in with the features it asks for, connects every
// port, plays MIDI through the atom port, and saves and restores state.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "lv2/control-input-port-change-request.h"

#include <cstdlib>
#include <map>
#include <set>
#include <memory>
#include <cstring>
#include <string>
#include <vector>

#include "engine_harness.h"

namespace testhost {

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
  static const char* unmap(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    auto* self = static_cast<UridMap*>(handle);
    return urid >= 1 && urid <= self->uris.size() ? self->uris[urid - 1].c_str() : nullptr;
  }
};

inline LV2_Worker_Status scheduleNothing(LV2_Worker_Schedule_Handle, uint32_t, const void*) {
  return LV2_WORKER_ERR_NO_SPACE;
}

// One loaded, running instance with its ports connected.
class Lv2Instance {
 public:
  // With `offerChangeRequest`, the host takes the plug-in's requests to set
  // its input control ports (the control-input-port change request, as
  // Carla offers it); without, it offers no such thing (as jalv).
  // Without `giveBlockLengths` the host passes no block-length options, as
  // some hosts do.
  explicit Lv2Instance(double rate = 48000, int block = 256, bool offerChangeRequest = false,
                       bool giveBlockLengths = true)
      : block(block) {
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
    unmapFeature.handle = &urids;
    unmapFeature.unmap = UridMap::unmap;
    minBlock = 1;
    maxBlock = block;
    const LV2_URID intType = UridMap::map(&urids, LV2_ATOM__Int);
    options[0] = {LV2_OPTIONS_INSTANCE, 0, UridMap::map(&urids, LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
                  intType, &minBlock};
    options[1] = {LV2_OPTIONS_INSTANCE, 0, UridMap::map(&urids, LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                  intType, &maxBlock};
    options[2] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    if (!giveBlockLengths) options[0] = options[2];
    schedule.handle = nullptr;
    schedule.schedule_work = scheduleNothing;
    features[0] = {LV2_URID__map, &mapFeature};
    features[1] = {LV2_OPTIONS__options, options};
    features[2] = {LV2_WORKER__schedule, &schedule};
    changeRequest.handle = this;
    changeRequest.request_change = [](LV2_ControlInputPort_Change_Request_Handle handle, uint32_t port, float value) {
      auto* self = static_cast<Lv2Instance*>(handle);
      if (port >= self->controls.size() || !self->inputControls.count(port))
        return LV2_CONTROL_INPUT_PORT_CHANGE_ERR_INVALID_INDEX;
      self->controls[port] = value;
      ++self->changeRequests;
      return LV2_CONTROL_INPUT_PORT_CHANGE_SUCCESS;
    };
    features[3] = {LV2_CONTROL_INPUT_PORT_CHANGE_REQUEST_URI, &changeRequest};
    const LV2_Feature* list[] = {&features[0], &features[1], &features[2], offerChangeRequest ? &features[3] : nullptr,
                                 nullptr};
    instance = lilv_plugin_instantiate(plugin, rate, list);
    if (!instance) return;

    midiType = UridMap::map(&urids, LV2_MIDI__MidiEvent);
    sequenceType = UridMap::map(&urids, LV2_ATOM__Sequence);
    LilvNode* audio = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
    LilvNode* control = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
    LilvNode* atom = lilv_new_uri(world, LV2_ATOM__AtomPort);
    LilvNode* input = lilv_new_uri(world, LILV_URI_INPUT_PORT);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls.resize(ports, 0.0f);
    audioOut.assign(2, std::vector<float>(static_cast<size_t>(block)));
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
        if (lilv_port_is_a(plugin, port, input)) inputControls.insert(i);
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

  const LV2_State_Interface* stateInterface() const {
    return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance, LV2_STATE__interface));
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
    lilv_instance_run(instance, static_cast<uint32_t>(block));
  }

  // The plug-in's own state, through the LV2 state interface: every
  // property it stores, by key URI.
  std::map<std::string, std::string> saveState() {
    std::map<std::string, std::string> stored;
    const auto* iface = stateInterface();
    if (!iface) return stored;
    struct Context {
      Lv2Instance* self;
      std::map<std::string, std::string>* stored;
    } context{this, &stored};
    iface->save(
        lilv_instance_get_handle(instance),
        [](LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t, uint32_t) {
          auto* c = static_cast<Context*>(handle);
          std::string text(static_cast<const char*>(value), size);
          while (!text.empty() && text.back() == '\0') text.pop_back();
          (*c->stored)[c->self->urids.uris.at(key - 1)] = text;
          return LV2_STATE_SUCCESS;
        },
        &context, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
    return stored;
  }

  // Hands these properties (strings) to the plug-in's restore.
  bool restoreState(const std::map<std::string, std::string>& properties) {
    const auto* iface = stateInterface();
    if (!iface) return false;
    struct Context {
      Lv2Instance* self;
      const std::map<std::string, std::string>* properties;
    } context{this, &properties};
    const LV2_State_Status status = iface->restore(
        lilv_instance_get_handle(instance),
        [](LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) -> const void* {
          auto* c = static_cast<Context*>(handle);
          const auto found = c->properties->find(c->self->urids.uris.at(key - 1));
          if (found == c->properties->end()) return nullptr;
          *size = found->second.size() + 1;
          *type = UridMap::map(&c->self->urids, LV2_ATOM__String);
          *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
          return found->second.c_str();
        },
        &context, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
    return status == LV2_STATE_SUCCESS;
  }

  float control(const std::string& symbol) const { return controls[symbols.at(symbol)]; }

  LilvWorld* world = nullptr;
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  UridMap urids;
  LV2_URID_Map mapFeature{};
  LV2_URID_Unmap unmapFeature{};
  int block;
  int32_t minBlock = 1, maxBlock = 256;
  LV2_Options_Option options[3];
  LV2_Worker_Schedule schedule{};
  LV2_Feature features[4];
  LV2_ControlInputPort_Change_Request changeRequest{};
  std::set<uint32_t> inputControls;
  int changeRequests = 0;
  LV2_URID midiType = 0, sequenceType = 0;
  std::vector<float> controls;
  std::vector<std::vector<float>> audioOut;
  std::vector<std::vector<uint8_t>> atomBuffers;
  std::map<std::string, uint32_t> symbols;  // every control port, inputs and outputs
  int midiPort = -1;
  std::vector<uint32_t> outputAtomPorts;
};


}  // namespace testhost
