// SPDX-License-Identifier: ISC
// A small CLAP host for the tests: loads the built file once, creates
// instances, queues events, runs blocks, and saves and loads state through
// streams that move a few bytes per call.
#pragma once

#include <dlfcn.h>

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>
#include <clap/ext/note-ports.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/plugin-factory.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine_harness.h"

namespace testhost {

// A loaded .clap file and its entry, initialised once as a host does. The
// build's own file is loaded once for the whole program (`get`); a test may
// load another copy and hand `init` a path of its choosing, as hosts differ
// there (some pass the file, some the folder that holds it).
class ClapModule {
 public:
  static ClapModule& get() {
    static ClapModule module(WOBBLYTONE_CLAP_FILE, WOBBLYTONE_CLAP_FILE);
    return module;
  }
  ClapModule(const std::string& file, const std::string& initPath) {
    handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    entry = static_cast<const clap_plugin_entry_t*>(dlsym(handle, "clap_entry"));
    if (!entry || !entry->init(initPath.c_str())) return;
    factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  }
  ~ClapModule() {
    if (entry && factory) entry->deinit();
    if (handle) dlclose(handle);
  }
  ClapModule(const ClapModule&) = delete;
  ClapModule& operator=(const ClapModule&) = delete;
  const clap_plugin_factory_t* factory = nullptr;

 private:
  void* handle = nullptr;
  const clap_plugin_entry_t* entry = nullptr;
};

// Input events kept as copies of whole CLAP events.
class InputEvents {
 public:
  InputEvents() {
    list.ctx = this;
    list.size = [](const clap_input_events_t* l) { return static_cast<uint32_t>(self(l)->events.size()); };
    list.get = [](const clap_input_events_t* l, uint32_t i) -> const clap_event_header_t* {
      const InputEvents* s = self(l);
      if (i >= s->events.size()) return nullptr;
      return reinterpret_cast<const clap_event_header_t*>(s->events[i].get());
    };
  }
  template <class Event>
  void add(const Event& e) {
    events.emplace_back(new uint8_t[sizeof(Event)]);
    std::memcpy(events.back().get(), &e, sizeof(Event));
  }
  void clear() { events.clear(); }
  clap_input_events_t list{};

 private:
  static const InputEvents* self(const clap_input_events_t* l) { return static_cast<const InputEvents*>(l->ctx); }
  std::vector<std::unique_ptr<uint8_t[]>> events;
};

// Parameter values the plug-in reports, by id.
class OutputEvents {
 public:
  OutputEvents() {
    list.ctx = this;
    list.try_push = [](const clap_output_events_t* l, const clap_event_header_t* e) {
      auto* s = static_cast<OutputEvents*>(l->ctx);
      if (e->space_id == CLAP_CORE_EVENT_SPACE_ID && e->type == CLAP_EVENT_PARAM_VALUE) {
        const auto* p = reinterpret_cast<const clap_event_param_value_t*>(e);
        s->values.emplace_back(p->param_id, p->value);
      }
      return true;
    };
  }
  std::vector<std::pair<clap_id, double>> values;
  clap_output_events_t list{};
};

inline clap_event_note_t noteEvent(uint16_t type, uint32_t time, int16_t key, double velocity, uint16_t space = CLAP_CORE_EVENT_SPACE_ID) {
  clap_event_note_t e{};
  e.header = {sizeof(clap_event_note_t), time, space, type, 0};
  e.note_id = -1;
  e.port_index = 0;
  e.channel = 0;
  e.key = key;
  e.velocity = velocity;
  return e;
}

inline clap_event_midi_t midiEvent(uint32_t time, const IMidiMsg& m) {
  clap_event_midi_t e{};
  e.header = {sizeof(clap_event_midi_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_MIDI, 0};
  e.port_index = 0;
  e.data[0] = m.mStatus;
  e.data[1] = m.mData1;
  e.data[2] = m.mData2;
  return e;
}

inline clap_event_param_value_t paramEvent(uint32_t time, clap_id id, double value) {
  clap_event_param_value_t e{};
  e.header = {sizeof(clap_event_param_value_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
  e.param_id = id;
  e.note_id = -1;
  e.port_index = -1;
  e.channel = -1;
  e.key = -1;
  e.value = value;
  return e;
}

// The host side of one plug-in instance.
class ClapInstance {
 public:
  explicit ClapInstance(const char* id = "com.marlpitmusic.wobblytone",
                        const clap_plugin_factory_t* factory = ClapModule::get().factory) {
    host.clap_version = CLAP_VERSION;
    host.host_data = this;
    host.name = "wobblytone-test-host";
    host.vendor = "Marlpit Music";
    host.url = "";
    host.version = "1";
    host.get_extension = [](const clap_host_t* h, const char* ext) -> const void* {
      auto* self = static_cast<ClapInstance*>(h->host_data);
      if (std::strcmp(ext, CLAP_EXT_PARAMS) == 0) return &self->hostParams;
      if (std::strcmp(ext, CLAP_EXT_GUI) == 0) return &self->hostGui;
      if (std::strcmp(ext, CLAP_EXT_TIMER_SUPPORT) == 0) return &self->hostTimers;
      return nullptr;
    };
    hostGui.resize_hints_changed = [](const clap_host_t*) {};
    hostGui.request_resize = [](const clap_host_t* h, uint32_t w, uint32_t hh) {
      auto* self = static_cast<ClapInstance*>(h->host_data);
      self->requestedSize = {w, hh};
      if (self->onResizeRequest) self->onResizeRequest(w, hh);
      return true;
    };
    hostGui.request_show = [](const clap_host_t*) { return true; };
    hostGui.request_hide = [](const clap_host_t*) { return true; };
    hostGui.closed = [](const clap_host_t*, bool) {};
    hostTimers.register_timer = [](const clap_host_t* h, uint32_t, clap_id* id) {
      *id = static_cast<clap_id>(++static_cast<ClapInstance*>(h->host_data)->timers);
      return true;
    };
    hostTimers.unregister_timer = [](const clap_host_t*, clap_id) { return true; };
    host.request_restart = [](const clap_host_t*) {};
    host.request_process = [](const clap_host_t*) {};
    host.request_callback = [](const clap_host_t*) {};
    hostParams.rescan = [](const clap_host_t* h, clap_param_rescan_flags flags) {
      static_cast<ClapInstance*>(h->host_data)->rescans.push_back(flags);
    };
    hostParams.clear = [](const clap_host_t*, clap_id, clap_param_clear_flags) {};
    hostParams.request_flush = [](const clap_host_t* h) { static_cast<ClapInstance*>(h->host_data)->flushRequested = true; };

    if (!factory) return;
    plugin = factory->create_plugin(factory, &host, id);
    if (!plugin) return;
    if (!plugin->init(plugin)) {
      plugin->destroy(plugin);
      plugin = nullptr;
      return;
    }
    params = static_cast<const clap_plugin_params_t*>(plugin->get_extension(plugin, CLAP_EXT_PARAMS));
    state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
  }
  ~ClapInstance() {
    if (!plugin) return;
    if (active) {
      plugin->stop_processing(plugin);
      plugin->deactivate(plugin);
    }
    plugin->destroy(plugin);
  }

  bool activate(double rate, uint32_t maxBlock) {
    if (!plugin->activate(plugin, rate, 1, maxBlock)) return false;
    active = plugin->start_processing(plugin);
    left.assign(maxBlock, 0.f);
    right.assign(maxBlock, 0.f);
    return active;
  }

  // One block with whatever events were queued in `in`.
  void process(uint32_t frames) {
    float* channels[2] = {left.data(), right.data()};
    clap_audio_buffer_t output{};
    output.data32 = channels;
    output.channel_count = 2;
    clap_process_t p{};
    p.steady_time = -1;
    p.frames_count = frames;
    p.audio_outputs = &output;
    p.audio_outputs_count = 1;
    p.in_events = &in.list;
    p.out_events = &out.list;
    plugin->process(plugin, &p);
    in.clear();
  }

  // Renders `frames` frames in blocks of `block`; events are given at
  // absolute frames and handed over in the block they fall in.
  struct Timed {
    long frame;
    std::function<void(InputEvents&, uint32_t)> add;
  };
  std::vector<float> render(long frames, uint32_t block, const std::vector<Timed>& events) {
    std::vector<float> mono;
    mono.reserve(static_cast<size_t>(frames));
    size_t next = 0;
    for (long done = 0; done < frames;) {
      const uint32_t n = static_cast<uint32_t>(std::min<long>(block, frames - done));
      for (; next < events.size() && events[next].frame < done + n; ++next)
        events[next].add(in, static_cast<uint32_t>(events[next].frame - done));
      process(n);
      mono.insert(mono.end(), left.begin(), left.begin() + n);
      done += n;
    }
    return mono;
  }

  double value(clap_id id) const {
    double v = NAN;
    params->get_value(plugin, id, &v);
    return v;
  }

  clap_host_t host{};
  clap_host_params_t hostParams{};
  clap_host_gui_t hostGui{};
  clap_host_timer_support_t hostTimers{};
  std::pair<uint32_t, uint32_t> requestedSize{0, 0};
  // What the host does when the editor asks for a new size (a host resizes
  // its window), after recording it; the request is granted.
  std::function<void(uint32_t, uint32_t)> onResizeRequest;
  int timers = 0;
  const clap_plugin_t* plugin = nullptr;
  const clap_plugin_params_t* params = nullptr;
  const clap_plugin_state_t* state = nullptr;
  InputEvents in;
  OutputEvents out;
  std::vector<float> left, right;
  bool active = false;
  bool flushRequested = false;
  std::vector<clap_param_rescan_flags> rescans;  // what the plug-in asked the host to read again
};

// CLAP ids are the parameter index plus one.
constexpr clap_id idOf(int param) { return static_cast<clap_id>(param) + 1; }

// Streams that move at most `chunk` bytes per call, as some hosts do.
struct MemoryOStream {
  std::vector<uint8_t> bytes;
  size_t chunk = 17;
  clap_ostream_t stream{this, [](const clap_ostream_t* s, const void* buffer, uint64_t size) -> int64_t {
                          auto* self = static_cast<MemoryOStream*>(s->ctx);
                          const size_t n = std::min<size_t>(size, self->chunk);
                          const auto* b = static_cast<const uint8_t*>(buffer);
                          self->bytes.insert(self->bytes.end(), b, b + n);
                          return static_cast<int64_t>(n);
                        }};
};

struct MemoryIStream {
  explicit MemoryIStream(std::vector<uint8_t> data, size_t chunk = 17) : bytes(std::move(data)), chunk(chunk) {}
  std::vector<uint8_t> bytes;
  size_t chunk;
  size_t pos = 0;
  clap_istream_t stream{this, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                          auto* self = static_cast<MemoryIStream*>(s->ctx);
                          const size_t n = std::min<size_t>({static_cast<size_t>(size), self->chunk, self->bytes.size() - self->pos});
                          if (n > 0) std::memcpy(buffer, self->bytes.data() + self->pos, n);
                          self->pos += n;
                          return static_cast<int64_t>(n);
                        }};
};

// The base64 text of the "chunk" entry in a saved CLAP state, or "".
inline std::string chunkOfClapState(const std::vector<uint8_t>& state) {
  std::vector<std::string> strings;
  std::string current;
  for (uint8_t b : state) {
    if (b == 0) {
      strings.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(b);
    }
  }
  for (size_t i = 0; i + 1 < strings.size(); ++i)
    if (strings[i] == "chunk") return strings[i + 1];
  return "";
}

// A CLAP state that holds nothing but this chunk.
inline std::vector<uint8_t> clapStateOfChunk(const std::string& chunk) {
  std::vector<uint8_t> state;
  for (const std::string& s : {std::string("__dpf_state_begin__"), std::string("chunk"), chunk, std::string("__dpf_state_end__")}) {
    state.insert(state.end(), s.begin(), s.end());
    state.push_back(0);
  }
  state.push_back(0xfe);
  state.push_back(0);
  return state;
}

}  // namespace testhost
