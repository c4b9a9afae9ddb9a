// SPDX-License-Identifier: ISC
// The VST3 build checked the way a host sees it, through the VST3 C interface
// that DPF ships: a host of our own loads the module from the bundle, creates
// the instrument from its factory, reads the parameters (their ids are frozen:
// hosts store automation by them), plays a note through process() and moves
// state through streams that take a few bytes at a time. Every interface it
// is given is released again, and the host application's reference count is
// checked to come back.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "travesty/audio_processor.h"
#include "travesty/component.h"
#include "travesty/edit_controller.h"
#include "travesty/factory.h"
#include "travesty/host.h"
#include "travesty/message.h"
#include "travesty/unit.h"
#include "travesty/view.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"
#include "engine_harness.h"
#include "instrument/factory_bank.h"
#include "instrument/wobblytone.h"
#include "panel_reference.h"
#include "stderr_capture.h"
#include "wobblytone_identity.h"
#include "x_window.h"

namespace {

constexpr double kRate = 48000;
constexpr int32_t kBlock = 512;
constexpr int kNumOurParams = 46;

// Our parameters' VST3 ids: the index plus one.
constexpr v3_param_id idOf(int param) { return static_cast<v3_param_id>(param) + 1; }

std::string ascii(const int16_t* s) {
  std::string out;
  for (; *s; ++s) out += static_cast<char>(*s);
  return out;
}

std::vector<int16_t> utf16(const std::string& s) {
  std::vector<int16_t> out(s.begin(), s.end());
  out.push_back(0);
  return out;
}

// A host-side object as the ABI sees it: a pointer to its table of
// functions, with the owning C++ object beside it.
template <class Table, class Owner>
struct Com {
  const Table* table;
  Owner* owner;
  static Owner& of(void* self) { return *static_cast<Com*>(self)->owner; }
  template <class I>
  I** as() {
    return reinterpret_cast<I**>(this);
  }
};

// For host objects that live on the stack of a test: the plug-in may take
// references during a call, and none may outlive it.
uint32_t V3_API noRef(void*) { return 1; }

v3_result queryOnly(void* self, const v3_tuid iid, void** out, const v3_tuid own) {
  if (v3_tuid_match(iid, own) || v3_tuid_match(iid, v3_funknown_iid)) {
    *out = self;
    return V3_OK;
  }
  *out = nullptr;
  return V3_NO_INTERFACE;
}

// A message with its attribute list, as hosts create them for a plug-in's
// parts to talk (the editor view and the edit controller). It lives on the
// heap and goes when its last reference does.
class HostMessage {
 public:
  static v3_message** create() { return (new HostMessage)->messageCom.as<v3_message>(); }

 private:
  using MessageCom = Com<v3_message_cpp, HostMessage>;
  using AttributesCom = Com<v3_attribute_list_cpp, HostMessage>;
  HostMessage() = default;

  static HostMessage& of(void* self) { return *static_cast<MessageCom*>(self)->owner; }
  static v3_result V3_API query(void* self, const v3_tuid iid, void** out) {
    HostMessage& me = of(self);
    if (v3_tuid_match(iid, v3_message_iid) || v3_tuid_match(iid, v3_funknown_iid)) {
      ++me.refs;
      *out = &me.messageCom;
      return V3_OK;
    }
    if (v3_tuid_match(iid, v3_attribute_list_iid)) {
      ++me.refs;
      *out = &me.attributesCom;
      return V3_OK;
    }
    *out = nullptr;
    return V3_NO_INTERFACE;
  }
  static uint32_t V3_API ref(void* self) { return static_cast<uint32_t>(++of(self).refs); }
  static uint32_t V3_API unref(void* self) {
    HostMessage& me = of(self);
    const int left = --me.refs;
    if (left == 0) delete &me;
    return static_cast<uint32_t>(left);
  }
  static const char* V3_API getId(void* self) { return of(self).id.c_str(); }
  static void V3_API setId(void* self, const char* id) { of(self).id = id ? id : ""; }
  static v3_attribute_list** V3_API attributes(void* self) { return of(self).attributesCom.as<v3_attribute_list>(); }

  static v3_result V3_API setInt(void* self, const char* key, int64_t v) { return put(self, key, std::to_string(v)); }
  static v3_result V3_API getInt(void* self, const char* key, int64_t* v) {
    const std::string* found = get(self, key);
    if (!found) return V3_INVALID_ARG;
    *v = std::stoll(*found);
    return V3_OK;
  }
  static v3_result V3_API setFloat(void* self, const char* key, double v) {
    std::string bytes(sizeof v, '\0');
    std::memcpy(bytes.data(), &v, sizeof v);
    return put(self, key, bytes);
  }
  static v3_result V3_API getFloat(void* self, const char* key, double* v) {
    const std::string* found = get(self, key);
    if (!found || found->size() != sizeof *v) return V3_INVALID_ARG;
    std::memcpy(v, found->data(), sizeof *v);
    return V3_OK;
  }
  static v3_result V3_API setString(void* self, const char* key, const int16_t* text) {
    std::string bytes;
    for (; text && *text; ++text) bytes.append(reinterpret_cast<const char*>(text), sizeof *text);
    return put(self, key, bytes);
  }
  static v3_result V3_API getString(void* self, const char* key, int16_t* text, uint32_t size) {
    const std::string* found = get(self, key);
    if (!found || size == 0) return V3_INVALID_ARG;
    const size_t n = std::min<size_t>(found->size() / sizeof *text, size / sizeof *text - 1);
    std::memcpy(text, found->data(), n * sizeof *text);
    text[n] = 0;
    return V3_OK;
  }
  static v3_result V3_API setBinary(void* self, const char* key, const void* data, uint32_t size) {
    return put(self, key, std::string(static_cast<const char*>(data), size));
  }
  static v3_result V3_API getBinary(void* self, const char* key, const void** data, uint32_t* size) {
    const std::string* found = get(self, key);
    if (!found) return V3_INVALID_ARG;
    *data = found->data();
    *size = static_cast<uint32_t>(found->size());
    return V3_OK;
  }
  static HostMessage& ofList(void* self) { return *static_cast<AttributesCom*>(self)->owner; }
  static v3_result put(void* self, const char* key, std::string value) {
    if (!key) return V3_INVALID_ARG;
    ofList(self).values[key] = std::move(value);
    return V3_OK;
  }
  static const std::string* get(void* self, const char* key) {
    auto& values = ofList(self).values;
    const auto found = key ? values.find(key) : values.end();
    return found == values.end() ? nullptr : &found->second;
  }
  static v3_result V3_API queryList(void* self, const v3_tuid iid, void** out) {
    return query(&ofList(self).messageCom, iid, out);
  }
  static uint32_t V3_API refList(void* self) { return ref(&ofList(self).messageCom); }
  static uint32_t V3_API unrefList(void* self) { return unref(&ofList(self).messageCom); }

  static constexpr v3_message_cpp kMessageTable = {{query, ref, unref}, {getId, setId, attributes}};
  static constexpr v3_attribute_list_cpp kAttributesTable = {
      {queryList, refList, unrefList},
      {setInt, getInt, setFloat, getFloat, setString, getString, setBinary, getBinary}};

  MessageCom messageCom{&kMessageTable, this};
  AttributesCom attributesCom{&kAttributesTable, this};
  int refs = 1;
  std::string id;
  std::map<std::string, std::string> values;
};

// The host application the plug-in is initialised with; it counts its
// references so that a leak shows. It creates messages, as hosts do.
struct HostApplication {
  using Self = Com<v3_host_application_cpp, HostApplication>;
  HostApplication() : com{&kTable, this} {}
  v3_funknown** unknown() { return com.as<v3_funknown>(); }
  Self com;
  int refs = 1;

  static v3_result V3_API query(void* self, const v3_tuid iid, void** out) {
    if (v3_tuid_match(iid, v3_host_application_iid) || v3_tuid_match(iid, v3_funknown_iid)) {
      ++Self::of(self).refs;
      *out = self;
      return V3_OK;
    }
    *out = nullptr;
    return V3_NO_INTERFACE;
  }
  static uint32_t V3_API ref(void* self) { return static_cast<uint32_t>(++Self::of(self).refs); }
  static uint32_t V3_API unref(void* self) { return static_cast<uint32_t>(--Self::of(self).refs); }
  static v3_result V3_API getName(void*, v3_str_128 name) {
    const char* text = "wobblytone-test-host";
    size_t i = 0;
    for (; text[i]; ++i) name[i] = text[i];
    name[i] = 0;
    return V3_OK;
  }
  static v3_result V3_API createInstance(void*, v3_tuid cid, v3_tuid iid, void** obj) {
    if (v3_tuid_match(cid, v3_message_iid) && v3_tuid_match(iid, v3_message_iid)) {
      *obj = HostMessage::create();
      return V3_TRUE;
    }
    *obj = nullptr;
    return V3_NO_INTERFACE;
  }
  static constexpr v3_host_application_cpp kTable = {{query, ref, unref}, {getName, createInstance}};
};

// Events for one block.
struct EventList {
  EventList() : com{&kTable, this} {}
  Com<v3_event_list_cpp, EventList> com;
  std::vector<v3_event> events;

  using Self = Com<v3_event_list_cpp, EventList>;
  static v3_result V3_API query(void* self, const v3_tuid iid, void** out) {
    return queryOnly(self, iid, out, v3_event_list_iid);
  }
  static uint32_t V3_API count(void* self) { return static_cast<uint32_t>(Self::of(self).events.size()); }
  static v3_result V3_API get(void* self, int32_t i, v3_event* e) {
    const auto& events = Self::of(self).events;
    if (i < 0 || static_cast<size_t>(i) >= events.size()) return V3_INVALID_ARG;
    *e = events[static_cast<size_t>(i)];
    return V3_OK;
  }
  static v3_result V3_API add(void* self, v3_event* e) {
    Self::of(self).events.push_back(*e);
    return V3_OK;
  }
  static constexpr v3_event_list_cpp kTable = {{query, noRef, noRef}, {count, get, add}};
};

v3_event noteEvent(bool on, int16_t pitch, int32_t offset) {
  v3_event e{};
  e.sample_offset = offset;
  e.type = on ? V3_EVENT_NOTE_ON : V3_EVENT_NOTE_OFF;
  if (on) {
    e.note_on.pitch = pitch;
    e.note_on.velocity = 0.8f;
    e.note_on.note_id = -1;
  } else {
    e.note_off.pitch = pitch;
    e.note_off.velocity = 0.f;
    e.note_off.note_id = -1;
  }
  return e;
}

// Parameter changes, one queue of points per id: the host's input to a block,
// or the plug-in's output from it.
struct ParamChanges {
  struct Queue {
    explicit Queue(v3_param_id id) : com{&kQueueTable, this}, id(id) {}
    Com<v3_param_value_queue_cpp, Queue> com;
    v3_param_id id;
    std::vector<std::pair<int32_t, double>> points;
  };
  ParamChanges() : com{&kTable, this} {}
  Com<v3_param_changes_cpp, ParamChanges> com;
  std::vector<std::unique_ptr<Queue>> queues;

  void add(v3_param_id id, double normalized, int32_t offset = 0) {
    int32_t index = 0;
    v3_param_value_queue** q = addData(&com, &id, &index);
    addPoint(q, offset, normalized, &index);
  }
  // The last value given for an id, if any.
  bool last(v3_param_id id, double& value) const {
    for (const auto& q : queues)
      if (q->id == id && !q->points.empty()) {
        value = q->points.back().second;
        return true;
      }
    return false;
  }

  using Self = Com<v3_param_changes_cpp, ParamChanges>;
  using QSelf = Com<v3_param_value_queue_cpp, Queue>;
  static v3_result V3_API query(void* self, const v3_tuid iid, void** out) {
    return queryOnly(self, iid, out, v3_param_changes_iid);
  }
  static int32_t V3_API count(void* self) { return static_cast<int32_t>(Self::of(self).queues.size()); }
  static v3_param_value_queue** V3_API data(void* self, int32_t i) {
    auto& queues = Self::of(self).queues;
    if (i < 0 || static_cast<size_t>(i) >= queues.size()) return nullptr;
    return queues[static_cast<size_t>(i)]->com.as<v3_param_value_queue>();
  }
  static v3_param_value_queue** V3_API addData(void* self, v3_param_id* id, int32_t* index) {
    auto& queues = Self::of(self).queues;
    size_t i = 0;
    while (i < queues.size() && queues[i]->id != *id) ++i;
    if (i == queues.size()) queues.push_back(std::make_unique<Queue>(*id));
    *index = static_cast<int32_t>(i);
    return queues[i]->com.as<v3_param_value_queue>();
  }
  static v3_result V3_API queueQuery(void* self, const v3_tuid iid, void** out) {
    return queryOnly(self, iid, out, v3_param_value_queue_iid);
  }
  static v3_param_id V3_API queueId(void* self) { return QSelf::of(self).id; }
  static int32_t V3_API pointCount(void* self) { return static_cast<int32_t>(QSelf::of(self).points.size()); }
  static v3_result V3_API getPoint(void* self, int32_t i, int32_t* offset, double* value) {
    const auto& points = QSelf::of(self).points;
    if (i < 0 || static_cast<size_t>(i) >= points.size()) return V3_INVALID_ARG;
    *offset = points[static_cast<size_t>(i)].first;
    *value = points[static_cast<size_t>(i)].second;
    return V3_OK;
  }
  static v3_result V3_API addPoint(void* self, int32_t offset, double value, int32_t* index) {
    auto& points = QSelf::of(self).points;
    points.emplace_back(offset, value);
    *index = static_cast<int32_t>(points.size() - 1);
    return V3_OK;
  }
  static constexpr v3_param_changes_cpp kTable = {{query, noRef, noRef}, {count, data, addData}};
  static constexpr v3_param_value_queue_cpp kQueueTable = {{queueQuery, noRef, noRef},
                                                           {queueId, pointCount, getPoint, addPoint}};
};

// The stream table travesty has no C++ variant of.
struct BStreamTable : v3_funknown {
  v3_bstream stream;
};

// A memory stream that moves at most `chunk` bytes per call, as some hosts do.
struct Stream {
  explicit Stream(size_t chunk) : com{&kTable, this}, chunk(chunk) {}
  Com<BStreamTable, Stream> com;
  std::vector<uint8_t> bytes;
  size_t chunk;
  size_t pos = 0;

  using Self = Com<BStreamTable, Stream>;
  static v3_result V3_API query(void* self, const v3_tuid iid, void** out) {
    return queryOnly(self, iid, out, v3_bstream_iid);
  }
  static v3_result V3_API read(void* self, void* buffer, int32_t size, int32_t* done) {
    Stream& s = Self::of(self);
    const size_t n = std::min({static_cast<size_t>(std::max(size, 0)), s.chunk, s.bytes.size() - s.pos});
    if (n > 0) std::memcpy(buffer, s.bytes.data() + s.pos, n);
    s.pos += n;
    if (done) *done = static_cast<int32_t>(n);
    return V3_OK;
  }
  static v3_result V3_API write(void* self, void* buffer, int32_t size, int32_t* done) {
    Stream& s = Self::of(self);
    const size_t n = std::min(static_cast<size_t>(std::max(size, 0)), s.chunk);
    const auto* b = static_cast<const uint8_t*>(buffer);
    s.bytes.insert(s.bytes.end(), b, b + n);
    if (done) *done = static_cast<int32_t>(n);
    return V3_OK;
  }
  static v3_result V3_API seek(void*, int64_t, int32_t, int64_t*) { return V3_NOT_IMPLEMENTED; }
  static v3_result V3_API tell(void* self, int64_t* pos) {
    *pos = static_cast<int64_t>(Self::of(self).pos);
    return V3_OK;
  }
  static constexpr BStreamTable kTable = {{query, noRef, noRef}, {read, write, seek, tell}};
};

// The loaded module and its factory, once for the whole program as a host
// keeps it.
class Vst3Module {
 public:
  static Vst3Module& get() {
    static Vst3Module module;
    return module;
  }
  v3_plugin_factory** factory = nullptr;
  HostApplication host;

 private:
  Vst3Module() {
    handle = dlopen(WOBBLYTONE_VST3_BUNDLE "/Contents/x86_64-linux/Wobblytone.so", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return;
    if (auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(handle, "ModuleEntry")); entry && !entry(handle)) return;
    exitModule = reinterpret_cast<bool (*)()>(dlsym(handle, "ModuleExit"));
    auto getFactory = reinterpret_cast<const void* (*)()>(dlsym(handle, "GetPluginFactory"));
    if (!getFactory) return;
    factory = static_cast<v3_plugin_factory**>(const_cast<void*>(getFactory()));
    v3_plugin_factory_3** factory3 = nullptr;
    if (factory && v3_cpp_obj_query_interface(factory, v3_plugin_factory_3_iid, &factory3) == V3_OK && factory3) {
      v3_cpp_obj(factory3)->set_host_context(factory3, host.unknown());
      v3_cpp_obj_unref(factory3);
    }
  }
  ~Vst3Module() {
    if (factory) v3_cpp_obj_unref(factory);
    if (exitModule) exitModule();
    if (handle) dlclose(handle);
  }
  void* handle = nullptr;
  bool (*exitModule)() = nullptr;
};

// A reference the host holds, released when it goes.
template <class I>
struct Ref {
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p) v3_cpp_obj_unref(p);
  }
  I** p = nullptr;
};

template <class From, class To>
bool queryInto(From** from, const v3_tuid iid, Ref<To>& to) {
  return v3_cpp_obj_query_interface(from, iid, &to.p) == V3_OK && to.p;
}

// One instance: the component with its audio processor and edit controller,
// initialised with our host application.
class Vst3Instance {
 public:
  Vst3Instance() {
    v3_plugin_factory** factory = Vst3Module::get().factory;
    if (!factory) return;
    v3_funknown** host = Vst3Module::get().host.unknown();
    v3_tuid cid{};
    for (int32_t i = 0, n = v3_cpp_obj(factory)->num_classes(factory); i < n; ++i) {
      v3_class_info info{};
      if (v3_cpp_obj(factory)->get_class_info(factory, i, &info) == V3_OK &&
          std::strcmp(info.category, "Audio Module Class") == 0) {
        std::memcpy(cid, info.class_id, sizeof cid);
        found = true;
      }
    }
    if (!found) return;
    v3_tuid iid;
    std::memcpy(iid, v3_component_iid, sizeof iid);
    if (v3_cpp_obj(factory)->create_instance(factory, cid, iid, reinterpret_cast<void**>(&component.p)) != V3_OK ||
        !component.p)
      return;
    if (v3_cpp_obj_initialize(component.p, host) != V3_OK) return;
    componentInitialised = true;
    if (!queryInto(component.p, v3_audio_processor_iid, processor)) return;

    // DPF's component is its own edit controller; a separate controller
    // class, where there is one, comes from the factory.
    if (!queryInto(component.p, v3_edit_controller_iid, controller)) {
      v3_tuid ccid{};
      if (v3_cpp_obj(component.p)->get_controller_class_id(component.p, ccid) != V3_OK) return;
      std::memcpy(iid, v3_edit_controller_iid, sizeof iid);
      if (v3_cpp_obj(factory)->create_instance(factory, ccid, iid, reinterpret_cast<void**>(&controller.p)) != V3_OK)
        return;
    }
    if (!controller.p || v3_cpp_obj_initialize(controller.p, host) != V3_OK) return;
    controllerInitialised = true;
    ok = true;
  }
  ~Vst3Instance() {
    if (processing) v3_cpp_obj(processor.p)->set_processing(processor.p, 0);
    if (active) v3_cpp_obj(component.p)->set_active(component.p, 0);
    if (controllerInitialised) v3_cpp_obj_terminate(controller.p);
    if (componentInitialised) v3_cpp_obj_terminate(component.p);
  }

  v3_edit_controller* ctrl() { return v3_cpp_obj(controller.p); }

  // Sets up 32-bit processing at 48 kHz in blocks of up to kBlock frames,
  // with the stereo output and the MIDI input active.
  bool start() {
    v3_process_setup setup{V3_REALTIME, V3_SAMPLE_32, kBlock, kRate};
    if (v3_cpp_obj(processor.p)->setup_processing(processor.p, &setup) != V3_OK) return false;
    v3_component* c = v3_cpp_obj(component.p);
    if (c->activate_bus(component.p, V3_AUDIO, V3_OUTPUT, 0, 1) != V3_OK) return false;
    if (c->activate_bus(component.p, V3_EVENT, V3_INPUT, 0, 1) != V3_OK) return false;
    active = c->set_active(component.p, 1) == V3_OK;
    processing = active && v3_cpp_obj(processor.p)->set_processing(processor.p, 1) == V3_OK;
    left.assign(kBlock, 0.f);
    right.assign(kBlock, 0.f);
    return processing;
  }

  // One block with what is queued in `params` and `events`; both are empty
  // afterwards, and the plug-in's output changes are in `changesOut`.
  v3_result process(int32_t frames = kBlock) {
    float* channels[2] = {left.data(), right.data()};
    v3_audio_bus_buffers out{};
    out.num_channels = 2;
    out.channel_buffers_32 = channels;
    v3_process_data data{};
    data.process_mode = V3_REALTIME;
    data.symbolic_sample_size = V3_SAMPLE_32;
    data.nframes = frames;
    data.num_output_buses = 1;
    data.outputs = &out;
    data.input_params = params.com.as<v3_param_changes>();
    data.output_params = changesOut.com.as<v3_param_changes>();
    data.input_events = events.com.as<v3_event_list>();
    const v3_result result = v3_cpp_obj(processor.p)->process(processor.p, &data);
    params.queues.clear();
    events.events.clear();
    return result;
  }

  bool ok = false;
  // Released in the reverse order: the component last, after the interfaces taken from it.
  Ref<v3_component> component;
  Ref<v3_audio_processor> processor;
  Ref<v3_edit_controller> controller;
  ParamChanges params, changesOut;
  EventList events;
  std::vector<float> left, right;

 private:
  bool found = false, componentInitialised = false, controllerInitialised = false;
  bool active = false, processing = false;
};

struct Level {
  double sumSquares = 0;
  size_t samples = 0;
  bool finite = true;
  void add(const std::vector<float>& block) {
    for (float s : block) {
      finite = finite && std::isfinite(s);
      sumSquares += double(s) * s;
    }
    samples += block.size();
  }
  double rms() const { return samples ? std::sqrt(sumSquares / static_cast<double>(samples)) : 0; }
};

class Vst3Build : public ::testing::Test {
 protected:
  void SetUp() override {
    // A fixed seed fixes which keys and knobs are broken, so the note played sounds.
    setenv("WOBBLYTONE_RANDOM_SEED", "77", 1);
    ASSERT_NE(Vst3Module::get().factory, nullptr) << "cannot load the module of " WOBBLYTONE_VST3_BUNDLE;
  }
};

}  // namespace

TEST_F(Vst3Build, FactoryOffersOneInstrumentAndReleasesTheHost) {
  v3_plugin_factory** factory = Vst3Module::get().factory;
  v3_factory_info info{};
  ASSERT_EQ(v3_cpp_obj(factory)->get_factory_info(factory, &info), V3_OK);
  EXPECT_STREQ(info.vendor, "Marlpit Music");

  Ref<v3_plugin_factory_2> factory2;
  ASSERT_TRUE(queryInto(factory, v3_plugin_factory_2_iid, factory2));
  const int32_t classes = v3_cpp_obj(factory)->num_classes(factory);
  int modules = 0;
  for (int32_t i = 0; i < classes; ++i) {
    v3_class_info_2 c{};
    ASSERT_EQ(v3_cpp_obj(factory2.p)->get_class_info_2(factory2.p, i, &c), V3_OK);
    if (std::strcmp(c.category, "Audio Module Class") != 0) continue;
    ++modules;
    EXPECT_STREQ(c.name, "Wobblytone");
    EXPECT_STREQ(c.sub_categories, "Instrument|Synth");
    EXPECT_STREQ(c.version, Identity::kVersionText);
  }
  EXPECT_EQ(modules, 1);
  v3_class_info beyond{};
  EXPECT_NE(v3_cpp_obj(factory)->get_class_info(factory, classes, &beyond), V3_OK);

  // An instance, made and released, leaves the host application's count as it was.
  const int refsBefore = Vst3Module::get().host.refs;
  {
    Vst3Instance vst3;
    ASSERT_TRUE(vst3.ok);
    ASSERT_TRUE(vst3.start());
    EXPECT_EQ(vst3.process(), V3_OK);
  }
  EXPECT_EQ(Vst3Module::get().host.refs, refsBefore);
}

TEST_F(Vst3Build, ParametersHaveFrozenIdsAndTheEngineNames) {
  Vst3Instance vst3;
  ASSERT_TRUE(vst3.ok);
  Wobblytone engine{InstanceInfo{}};
  v3_edit_controller* ctrl = vst3.ctrl();
  void* self = vst3.controller.p;

  // Ours come first in the list (hosts that limit how many parameters can be
  // automated count from the front), are the only visible ones and carry ids
  // 1..46; the hidden ones (MIDI controllers, the program) follow with ids of
  // their own, far from ours, and only the program is for automation.
  std::vector<v3_param_info> ours;
  std::set<v3_param_id> ids;
  int hiddenOutsideTheirRange = 0, hiddenAutomatable = 0;
  const int32_t count = ctrl->get_parameter_count(self);
  for (int32_t i = 0; i < count; ++i) {
    v3_param_info info{};
    ASSERT_EQ(ctrl->get_parameter_info(self, i, &info), V3_OK) << i;
    ids.insert(info.param_id);
    EXPECT_EQ(i < kNumOurParams, !(info.flags & V3_PARAM_IS_HIDDEN)) << i;
    if (!(info.flags & V3_PARAM_IS_HIDDEN)) {
      ours.push_back(info);
      continue;
    }
    if (info.param_id < 0x10000u || info.param_id >= 0x80000000u) ++hiddenOutsideTheirRange;
    // The program-change parameter may be automated: a program change in a song.
    if ((info.flags & V3_PARAM_CAN_AUTOMATE) && !(info.flags & V3_PARAM_PROGRAM_CHANGE)) ++hiddenAutomatable;
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(count)) << "ids are not unique";
  EXPECT_EQ(hiddenOutsideTheirRange, 0);
  EXPECT_EQ(hiddenAutomatable, 0);
  v3_param_info beyond{};
  EXPECT_NE(ctrl->get_parameter_info(self, count, &beyond), V3_OK);
  ASSERT_EQ(ours.size(), static_cast<size_t>(kNumOurParams));
  for (int i = 0; i < kNumOurParams; ++i) {
    const v3_param_info& info = ours[static_cast<size_t>(i)];
    const IParam* p = engine.GetParam(i);
    SCOPED_TRACE(p->GetName());
    EXPECT_EQ(info.param_id, idOf(i));
    EXPECT_EQ(ascii(info.title), p->GetName());
    EXPECT_TRUE(info.flags & V3_PARAM_CAN_AUTOMATE);
    // VST3 values are the plain range taken linearly
    const double defaultNormalized = (p->GetDefault() - p->GetMin()) / (p->GetMax() - p->GetMin());
    EXPECT_NEAR(info.default_normalised_value, defaultNormalized, 1e-6);
    EXPECT_NEAR(ctrl->get_parameter_normalised(self, info.param_id), defaultNormalized, 1e-6);
    const int texts = p->NDisplayTexts();
    if (texts == 0) {
      EXPECT_EQ(info.step_count, 0);
      EXPECT_FALSE(info.flags & V3_PARAM_IS_LIST);
      // The engine's own text, with the parameter's precision, reading back
      // to within that precision.
      for (double normalized : {0.0, 0.37, 0.8, 1.0}) {
        const double plain = p->GetMin() + normalized * (p->GetMax() - p->GetMin());
        v3_str_128 text{};
        ASSERT_EQ(ctrl->get_parameter_string_for_value(self, info.param_id, normalized, text), V3_OK);
        WDL_String shown;
        p->GetDisplay(plain, false, shown);
        EXPECT_EQ(ascii(text), shown.Get());
        double back = -1;
        std::vector<int16_t> input(text, text + 128);
        ASSERT_EQ(ctrl->get_parameter_value_for_string(self, info.param_id, input.data(), &back), V3_OK);
        EXPECT_NEAR(back, normalized, p->GetStep() / (p->GetMax() - p->GetMin()) / 2 + 1e-9);
      }
      continue;
    }
    // A list: one step between each pair of texts, and each text is the text
    // of its value and reads back as that value.
    EXPECT_TRUE(info.flags & V3_PARAM_IS_LIST);
    EXPECT_EQ(info.step_count, texts - 1);
    for (int t = 0; t < texts; ++t) {
      const double normalized = double(t) / (texts - 1);
      v3_str_128 text{};
      ASSERT_EQ(ctrl->get_parameter_string_for_value(self, info.param_id, normalized, text), V3_OK);
      EXPECT_EQ(ascii(text), p->GetDisplayText(t));
      double back = -1;
      std::vector<int16_t> input = utf16(p->GetDisplayText(t));
      ASSERT_EQ(ctrl->get_parameter_value_for_string(self, info.param_id, input.data(), &back), V3_OK);
      EXPECT_NEAR(back, normalized, 1e-6);
      EXPECT_EQ(ctrl->normalised_parameter_to_plain(self, info.param_id, normalized), t);
    }
  }

  // Ids that name nothing are refused.
  v3_str_128 text{};
  std::vector<int16_t> on = utf16("On");
  double value;
  for (v3_param_id id : {0u, 47u, 0x7fffffffu}) {
    EXPECT_NE(ctrl->get_parameter_string_for_value(self, id, 0.5, text), V3_OK) << id;
    EXPECT_NE(ctrl->get_parameter_value_for_string(self, id, on.data(), &value), V3_OK) << id;
    EXPECT_NE(ctrl->set_parameter_normalised(self, id, 0.5), V3_OK) << id;
  }
  std::vector<int16_t> loud = utf16("loud");
  EXPECT_NE(ctrl->get_parameter_value_for_string(self, idOf(kCutoff), loud.data(), &value), V3_OK);

  // MIDI controllers (mod wheel, pitch bend) go to hidden parameters, never to ours.
  Ref<v3_midi_mapping> mapping;
  ASSERT_TRUE(queryInto(vst3.controller.p, v3_midi_mapping_iid, mapping));
  for (int16_t cc : {1, 64, 128, 129}) {
    v3_param_id id = 0;
    ASSERT_EQ(v3_cpp_obj(mapping.p)->get_midi_controller_assignment(mapping.p, 0, 0, cc, &id), V3_TRUE) << cc;
    EXPECT_TRUE(ids.count(id)) << cc;
    EXPECT_GE(id, 0x10000u) << cc;
  }
}

TEST_F(Vst3Build, PlaysANoteAndReportsTheBlownFuseById) {
  Vst3Instance vst3;
  ASSERT_TRUE(vst3.ok);
  v3_component* c = v3_cpp_obj(vst3.component.p);
  ASSERT_EQ(c->get_bus_count(vst3.component.p, V3_AUDIO, V3_OUTPUT), 1);
  ASSERT_EQ(c->get_bus_count(vst3.component.p, V3_EVENT, V3_INPUT), 1);
  v3_bus_info bus{};
  ASSERT_EQ(c->get_bus_info(vst3.component.p, V3_AUDIO, V3_OUTPUT, 0, &bus), V3_OK);
  EXPECT_EQ(bus.channel_count, 2);
  ASSERT_TRUE(vst3.start());

  // Power on at 220 V; a change for an id that names nothing comes first and
  // must not keep the others from their parameters.
  vst3.params.add(47, 1.0);
  vst3.params.add(idOf(kPower), 1.0);
  vst3.params.add(idOf(kVoltage), 1.0);
  vst3.events.events.push_back(noteEvent(true, 48, 100));
  Level note;
  for (int block = 0; block < 40; ++block) {
    ASSERT_EQ(vst3.process(), V3_OK);
    if (block >= 4) note.add(vst3.left);
  }
  EXPECT_TRUE(note.finite);
  EXPECT_GT(note.rms(), 0.01);
  EXPECT_NEAR(vst3.ctrl()->get_parameter_normalised(vst3.controller.p, idOf(kPower)), 1.0, 1e-9);

  vst3.events.events.push_back(noteEvent(false, 48, 0));
  Level released;
  for (int block = 0; block < 40; ++block) {
    ASSERT_EQ(vst3.process(), V3_OK);
    if (block >= 30) released.add(vst3.left);
  }
  EXPECT_TRUE(released.finite);
  EXPECT_LT(released.rms(), note.rms() / 10);

  // Switching to 110 V while powered blows the fuse: the engine's own change
  // reaches the host under the fuse's id, and every id it reports is ours.
  vst3.changesOut.queues.clear();
  vst3.params.add(idOf(kVoltage), 0.0);
  for (int block = 0; block < 4; ++block) ASSERT_EQ(vst3.process(), V3_OK);
  double fuse = -1;
  EXPECT_TRUE(vst3.changesOut.last(idOf(kFuse), fuse));
  EXPECT_EQ(fuse, 1.0);
  for (const auto& q : vst3.changesOut.queues) EXPECT_TRUE(q->id >= 1 && q->id <= kNumOurParams) << q->id;

  // A block longer than set up is refused, not played past the buffers.
  vst3.left.resize(2 * kBlock);
  vst3.right.resize(2 * kBlock);
  EXPECT_NE(vst3.process(2 * kBlock), V3_OK);
}

TEST_F(Vst3Build, StateSurvivesStreamsOfSeventeenBytes) {
  Vst3Instance original;
  ASSERT_TRUE(original.ok);
  ASSERT_TRUE(original.start());
  const std::vector<std::pair<int, double>> set = {
      {kPower, 1.0}, {kVoltage, 1.0}, {kCutoff, 0.3141}, {kOsc1Waveform, 0.8}, {kGlideTime, 0.25}};
  for (auto [param, normalized] : set) original.params.add(idOf(param), normalized);
  for (int block = 0; block < 4; ++block) ASSERT_EQ(original.process(), V3_OK);

  Stream saved(17);
  ASSERT_EQ(v3_cpp_obj(original.component.p)->get_state(original.component.p, saved.com.as<v3_bstream>()), V3_OK);
  ASSERT_GT(saved.bytes.size(), 100u);

  Vst3Instance restored;
  ASSERT_TRUE(restored.ok);
  Stream load(17);
  load.bytes = saved.bytes;
  ASSERT_EQ(v3_cpp_obj(restored.component.p)->set_state(restored.component.p, load.com.as<v3_bstream>()), V3_OK);
  for (auto [param, normalized] : set)
    EXPECT_NEAR(restored.ctrl()->get_parameter_normalised(restored.controller.p, idOf(param)), normalized, 1e-6)
        << param;
  for (int i = 0; i < kNumOurParams; ++i)
    EXPECT_NEAR(restored.ctrl()->get_parameter_normalised(restored.controller.p, idOf(i)),
                original.ctrl()->get_parameter_normalised(original.controller.p, idOf(i)), 1e-6)
        << i;
}

// A state with a stray marker after a whole one, or cut off, is refused and
// changes nothing; the whole state still loads.
TEST_F(Vst3Build, AStateLoadIsAllOrNothing) {
  auto stateOf = [](Vst3Instance& vst) {
    Stream saved(64);
    EXPECT_EQ(v3_cpp_obj(vst.component.p)->get_state(vst.component.p, saved.com.as<v3_bstream>()), V3_OK);
    return saved.bytes;
  };
  Vst3Instance source;
  ASSERT_TRUE(source.ok);
  ASSERT_TRUE(source.start());
  source.params.add(idOf(kPower), 1.0);
  source.params.add(idOf(kCutoff), 0.25);
  ASSERT_EQ(source.process(), V3_OK);
  const std::vector<uint8_t> good = stateOf(source);
  ASSERT_GT(good.size(), 4u);
  std::vector<uint8_t> stray(good.begin(), good.end() - 2);  // before the end byte
  for (const char* marker : {"__dpf_parameters_end__", "__dpf_state_begin__"}) stray.insert(stray.end(), marker, marker + std::strlen(marker) + 1);
  stray.insert(stray.end(), {0xfe, 0});

  Vst3Instance target;
  ASSERT_TRUE(target.ok);
  const std::vector<uint8_t> before = stateOf(target);
  for (const std::vector<uint8_t>& bad : {stray, std::vector<uint8_t>(good.begin(), good.begin() + 40)}) {
    Stream load(17);
    load.bytes = bad;
    EXPECT_NE(v3_cpp_obj(target.component.p)->set_state(target.component.p, load.com.as<v3_bstream>()), V3_OK);
    EXPECT_EQ(stateOf(target), before);
  }
  Stream load(17);
  load.bytes = good;
  ASSERT_EQ(v3_cpp_obj(target.component.p)->set_state(target.component.p, load.com.as<v3_bstream>()), V3_OK);
  EXPECT_EQ(stateOf(target), good);
}

// The controller offers the editor as an X11 view of the panel's default
// size (whether it opens in a window is the host's part).
TEST_F(Vst3Build, OffersItsEditorAsAnX11View) {
  Vst3Instance vst;
  ASSERT_TRUE(vst.ok);
  v3_plugin_view** view = v3_cpp_obj(vst.controller.p)->create_view(vst.controller.p, "editor");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(v3_cpp_obj(view)->is_platform_type_supported(view, "X11EmbedWindowID"), V3_OK);
  EXPECT_NE(v3_cpp_obj(view)->is_platform_type_supported(view, "HWND"), V3_OK);
  v3_view_rect rect{};
  ASSERT_EQ(v3_cpp_obj(view)->get_size(view, &rect), V3_OK);
  EXPECT_EQ(rect.right - rect.left, 976);
  EXPECT_EQ(rect.bottom - rect.top, 508);
  v3_cpp_obj_unref(view);
  EXPECT_EQ(v3_cpp_obj(vst.controller.p)->create_view(vst.controller.p, "no-such-view"), nullptr);
}

namespace {

// Every parameter a host can list, hidden ones included, with its info.
std::vector<v3_param_info> everyParameter(Vst3Instance& vst3) {
  std::vector<v3_param_info> all;
  const int32_t count = vst3.ctrl()->get_parameter_count(vst3.controller.p);
  for (int32_t i = 0; i < count; ++i) {
    v3_param_info info{};
    if (vst3.ctrl()->get_parameter_info(vst3.controller.p, i, &info) == V3_OK) all.push_back(info);
  }
  return all;
}

// Where each MIDI controller parameter is: controller 0..127, 128 channel
// pressure, 129 pitch bend, on channel 0..15.
v3_param_id controllerId(Vst3Instance& vst3, int16_t controller, int16_t channel = 0) {
  Ref<v3_midi_mapping> mapping;
  v3_param_id id = 0;
  if (queryInto(vst3.controller.p, v3_midi_mapping_iid, mapping))
    v3_cpp_obj(mapping.p)->get_midi_controller_assignment(mapping.p, 0, channel, controller, &id);
  return id;
}

// A powered, warm unit with Osc-1 at 8', so that A4 sounds at 440 Hz.
void warmEightFoot(Vst3Instance& vst3) {
  vst3.params.add(idOf(kPower), 1.0);
  vst3.params.add(idOf(kVoltage), 1.0);
  vst3.params.add(idOf(kWarmUp), 1.0);
  vst3.params.add(idOf(kOsc1Range), 0.6);
}

// The pitch of one second of output after a settling fifth.
double pitchOfNextSecond(Vst3Instance& vst3) {
  std::vector<double> out;
  for (int block = 0; block < 120 * 48000 / 100 / kBlock; ++block) {
    vst3.process();
    if (block >= 48000 / 5 / kBlock) out.insert(out.end(), vst3.left.begin(), vst3.left.end());
  }
  return testutil::measureFrequency(out, kRate);
}

}  // namespace

// Until a host sends a MIDI controller a value, its parameter reads where
// the controller rests: pitch bend at its centre, every other one at 0. A
// value the edit controller is given reads back as given.
TEST_F(Vst3Build, HiddenControllersReadWhereTheyRestUntilAValueIsSent) {
  Vst3Instance vst3;
  ASSERT_TRUE(vst3.ok);
  std::set<v3_param_id> bends;
  for (int16_t channel = 0; channel < 16; ++channel) bends.insert(controllerId(vst3, 129, channel));
  ASSERT_EQ(bends.size(), 16u);
  const v3_param_id bend = controllerId(vst3, 129), modWheel = controllerId(vst3, 1);
  int checked = 0;
  for (const v3_param_info& info : everyParameter(vst3)) {
    if (!(info.flags & V3_PARAM_IS_HIDDEN) || (info.flags & V3_PARAM_PROGRAM_CHANGE)) continue;
    const double expected = bends.count(info.param_id) ? 0.5 : 0.0;
    EXPECT_EQ(info.default_normalised_value, expected) << info.param_id;
    EXPECT_EQ(vst3.ctrl()->get_parameter_normalised(vst3.controller.p, info.param_id), expected) << info.param_id;
    ++checked;
  }
  EXPECT_EQ(checked, 16 * 130);
  ASSERT_EQ(vst3.ctrl()->set_parameter_normalised(vst3.controller.p, modWheel, 0.25), V3_OK);
  EXPECT_EQ(vst3.ctrl()->get_parameter_normalised(vst3.controller.p, modWheel), 0.25);
  EXPECT_EQ(vst3.ctrl()->get_parameter_normalised(vst3.controller.p, bend), 0.5);
}

// A host that saves every parameter it can see and, after loading the
// state, hands all of them back with the first block (as Ardour does) gets
// the unit back as it was: the note plays, at the same pitch and level.
TEST_F(Vst3Build, HandingBackEveryParameterAfterAStateLoadKeepsThePitch) {
  Vst3Instance original;
  ASSERT_TRUE(original.ok);
  ASSERT_TRUE(original.start());
  warmEightFoot(original);
  original.events.events.push_back(noteEvent(true, 69, 100));
  const double pitch = pitchOfNextSecond(original);
  ASSERT_NEAR(pitch, 440, 1);
  Level level;
  level.add(original.left);

  Stream saved(17);
  ASSERT_EQ(v3_cpp_obj(original.component.p)->get_state(original.component.p, saved.com.as<v3_bstream>()), V3_OK);
  std::vector<std::pair<v3_param_id, double>> values;
  for (const v3_param_info& info : everyParameter(original))
    values.emplace_back(info.param_id, original.ctrl()->get_parameter_normalised(original.controller.p, info.param_id));
  ASSERT_EQ(values.size(), static_cast<size_t>(kNumOurParams + 16 * 130 + 1));  // and the program

  Vst3Instance reloaded;
  ASSERT_TRUE(reloaded.ok);
  Stream load(17);
  load.bytes = saved.bytes;
  ASSERT_EQ(v3_cpp_obj(reloaded.component.p)->set_state(reloaded.component.p, load.com.as<v3_bstream>()), V3_OK);
  ASSERT_TRUE(reloaded.start());
  for (auto [id, value] : values) {
    EXPECT_EQ(reloaded.ctrl()->set_parameter_normalised(reloaded.controller.p, id, value), V3_OK) << id;
    reloaded.params.add(id, value);
  }
  reloaded.events.events.push_back(noteEvent(true, 69, 100));
  EXPECT_NEAR(pitchOfNextSecond(reloaded), pitch, 0.5);
  Level again;
  again.add(reloaded.left);
  EXPECT_NEAR(again.rms(), level.rms(), level.rms() * 0.25);
  for (auto [id, value] : values)
    EXPECT_EQ(reloaded.ctrl()->get_parameter_normalised(reloaded.controller.p, id), value) << id;
}

// Controllers that come as parameter changes play: the pitch wheel bends,
// the same value again does not move it, and an all-notes-off acts each
// time it is sent.
TEST_F(Vst3Build, ControllerChangesWithAudioPlayAsMidi) {
  Vst3Instance vst3;
  ASSERT_TRUE(vst3.ok);
  ASSERT_TRUE(vst3.start());
  warmEightFoot(vst3);
  vst3.events.events.push_back(noteEvent(true, 69, 100));
  ASSERT_NEAR(pitchOfNextSecond(vst3), 440, 1);
  vst3.params.add(controllerId(vst3, 129), 1.0);
  const double bentUp = pitchOfNextSecond(vst3);
  EXPECT_GT(bentUp, 450);
  vst3.params.add(controllerId(vst3, 129), 1.0);
  EXPECT_NEAR(pitchOfNextSecond(vst3), bentUp, 0.5);
  vst3.params.add(controllerId(vst3, 129), 0.5);
  EXPECT_NEAR(pitchOfNextSecond(vst3), 440, 1);

  for (int time = 0; time < 2; ++time) {
    vst3.params.add(controllerId(vst3, 123), 0.0);
    Level after;
    for (int block = 0; block < 100; ++block) {
      vst3.process();
      if (block >= 90) after.add(vst3.left);
    }
    EXPECT_LT(after.rms(), 0.001) << time;
    vst3.events.events.push_back(noteEvent(true, 69, 100));
    EXPECT_NEAR(pitchOfNextSecond(vst3), 440, 1) << time;
  }
}

namespace {

// The host's side of an editor view: its frame (IPlugFrame) with the run
// loop that Linux hosts offer (IRunLoop), and the host window it sits in.
// Hosts differ when the view asks for a new size: some call onSize on the
// view during resize_view (Ardour), others only resize their own window
// (Carla).
class PlugFrame {
 public:
  enum class OnResize { CallOnSize, ResizeWindowOnly };
  PlugFrame(testutil::HostWindow& window, OnResize mode) : window(window), mode(mode) {}

  v3_plugin_frame** frame() { return frameCom.as<v3_plugin_frame>(); }

  // What the host's run loop would do: the view's timers and X events.
  void runFor(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      for (v3_event_handler** h : handlers) v3_cpp_obj(h)->on_fd_is_set(h, fd);
      for (v3_timer_handler** t : timers) v3_cpp_obj(t)->on_timer(t);
      usleep(10000);
    }
  }

  v3_plugin_view** view = nullptr;
  std::vector<v3_view_rect> requests;

 private:
  using FrameCom = Com<v3_plugin_frame_cpp, PlugFrame>;
  using LoopCom = Com<v3_run_loop_cpp, PlugFrame>;

  static v3_result V3_API query(void* self, const v3_tuid iid, void** out) {
    PlugFrame& me = *static_cast<FrameCom*>(self)->owner;
    if (v3_tuid_match(iid, v3_plugin_frame_iid) || v3_tuid_match(iid, v3_funknown_iid)) {
      *out = &me.frameCom;
      return V3_OK;
    }
    if (v3_tuid_match(iid, v3_run_loop_iid)) {
      *out = &me.loopCom;
      return V3_OK;
    }
    *out = nullptr;
    return V3_NO_INTERFACE;
  }
  static v3_result V3_API resizeView(void* self, v3_plugin_view** view, v3_view_rect* rect) {
    PlugFrame& me = FrameCom::of(self);
    me.requests.push_back(*rect);
    me.window.resize(rect->right - rect->left, rect->bottom - rect->top);
    if (me.mode == OnResize::CallOnSize) return v3_cpp_obj(view)->on_size(view, rect);
    return V3_OK;
  }
  static v3_result V3_API addHandler(void* self, v3_event_handler** handler, int fd) {
    PlugFrame& me = LoopCom::of(self);
    me.handlers.push_back(handler);
    me.fd = fd;
    return V3_OK;
  }
  static v3_result V3_API removeHandler(void* self, v3_event_handler** handler) {
    auto& list = LoopCom::of(self).handlers;
    list.erase(std::remove(list.begin(), list.end(), handler), list.end());
    return V3_OK;
  }
  static v3_result V3_API addTimer(void* self, v3_timer_handler** timer, uint64_t) {
    LoopCom::of(self).timers.push_back(timer);
    return V3_OK;
  }
  static v3_result V3_API removeTimer(void* self, v3_timer_handler** timer) {
    auto& list = LoopCom::of(self).timers;
    list.erase(std::remove(list.begin(), list.end(), timer), list.end());
    return V3_OK;
  }
  static constexpr v3_plugin_frame_cpp kFrameTable = {{query, noRef, noRef}, {resizeView}};
  static constexpr v3_run_loop_cpp kLoopTable = {{query, noRef, noRef},
                                                 {addHandler, removeHandler, addTimer, removeTimer}};

  testutil::HostWindow& window;
  OnResize mode;
  FrameCom frameCom{&kFrameTable, this};
  LoopCom loopCom{&kLoopTable, this};
  std::vector<v3_event_handler**> handlers;
  std::vector<v3_timer_handler**> timers;
  int fd = -1;
};

// An editor view attached to a host window of its default size.
struct AttachedEditor {
  AttachedEditor(Vst3Instance& vst3, const std::string& display, PlugFrame::OnResize mode)
      : window(display, 976, 508), host(window, mode) {
    view = v3_cpp_obj(vst3.controller.p)->create_view(vst3.controller.p, "editor");
    if (!view || !window.ok()) return;
    host.view = view;
    v3_cpp_obj(view)->set_frame(view, host.frame());
    attachResult = v3_cpp_obj(view)->attached(view, reinterpret_cast<void*>(window.id()), "X11EmbedWindowID");
    attached = attachResult == V3_OK;
    host.runFor(10);
  }
  ~AttachedEditor() {
    if (!view) return;
    if (attached && !releaseWithoutRemoving) v3_cpp_obj(view)->removed(view);
    v3_cpp_obj_unref(view);
  }
  // Some hosts (Carla) release a view that is still attached.
  bool releaseWithoutRemoving = false;
  v3_view_rect size() {
    v3_view_rect r{};
    v3_cpp_obj(view)->get_size(view, &r);
    return r;
  }
  // The window shows the whole panel at the scale its width gives.
  double differenceFromPanel(const char* artifact) {
    const testutil::Picture shown = window.capture();
    shown.savePNG(std::string(WOBBLYTONE_TEST_ARTIFACTS "/") + artifact);
    const float scale = static_cast<float>(shown.width) / 1952.0f;
    return testutil::coarseDifference(shown, testutil::referencePanel(77, scale, WOBBLYTONE_VST3_BUNDLE "/resources/"));
  }
  testutil::HostWindow window;
  PlugFrame host;
  v3_plugin_view** view = nullptr;
  v3_result attachResult = V3_NOT_INITIALIZED;
  bool attached = false;
};

}  // namespace

// A host resizes the view (from its own window's edge): it asks
// check_size_constraint for the nearest size the editor takes, then calls
// onSize. The view reports the new size and shows the whole panel at it.
TEST_F(Vst3Build, ResizedByTheHostShowsTheWholePanelAtTheNewScale) {
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-vst3-resize.log", "4000x2100x24"));
  testutil::UseDisplay use(display.name);
  Vst3Instance vst3;
  ASSERT_TRUE(vst3.ok);
  AttachedEditor editor(vst3, display.name, PlugFrame::OnResize::CallOnSize);
  ASSERT_TRUE(editor.attached);
  v3_plugin_view* view = v3_cpp_obj(editor.view);
  EXPECT_EQ(view->can_resize(editor.view), V3_TRUE);

  v3_view_rect asked{0, 0, 1500, 762};
  ASSERT_EQ(view->check_size_constraint(editor.view, &asked), V3_TRUE);
  EXPECT_EQ(asked.right - asked.left, 1464);
  EXPECT_EQ(asked.bottom - asked.top, 762);
  v3_view_rect tiny{0, 0, 50, 50}, huge{0, 0, 9000, 5000};
  view->check_size_constraint(editor.view, &tiny);
  EXPECT_EQ(tiny.right, 488);
  EXPECT_EQ(tiny.bottom, 254);
  view->check_size_constraint(editor.view, &huge);
  EXPECT_EQ(huge.right, 3904);
  EXPECT_EQ(huge.bottom, 2032);

  editor.window.resize(1464, 762);
  ASSERT_EQ(view->on_size(editor.view, &asked), V3_OK);
  editor.host.runFor(15);
  const v3_view_rect now = editor.size();
  EXPECT_EQ(now.right - now.left, 1464);
  EXPECT_EQ(now.bottom - now.top, 762);
  EXPECT_EQ(editor.window.childSize(), std::make_pair(1464, 762));
  EXPECT_LT(editor.differenceFromPanel("vst3_editor_150.png"), 0.05);
}

// The user drags the panel's corner: the view asks its host for the new
// size. Whether the host then calls onSize (Ardour) or only resizes its own
// window (Carla), the view and the host's window end the same size, and the
// whole panel shows in it.
TEST_F(Vst3Build, DraggingTheCornerKeepsTheHostWindowAndThePanelTheSameSize) {
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-vst3-corner.log", "4000x2100x24"));
  testutil::UseDisplay use(display.name);
  for (PlugFrame::OnResize mode : {PlugFrame::OnResize::CallOnSize, PlugFrame::OnResize::ResizeWindowOnly}) {
    SCOPED_TRACE(mode == PlugFrame::OnResize::CallOnSize ? "host calls onSize" : "host resizes its window only");
    Vst3Instance vst3;
    ASSERT_TRUE(vst3.ok);
    AttachedEditor editor(vst3, display.name, mode);
    ASSERT_TRUE(editor.attached);
    testutil::drag(display.name, editor.window.id(), 970, 502, 240, 126, [&] { editor.host.runFor(5); });
    editor.host.runFor(10);

    ASSERT_FALSE(editor.host.requests.empty());
    const auto [width, height] = editor.window.size();
    EXPECT_GT(width, 1100);
    EXPECT_EQ(editor.window.childSize(), std::make_pair(width, height));
    const v3_view_rect now = editor.size();
    EXPECT_EQ(now.right - now.left, width);
    EXPECT_EQ(now.bottom - now.top, height);
    EXPECT_LT(editor.differenceFromPanel("vst3_editor_corner.png"), 0.05);
  }
}

// A host that plays the plug-in, saves and loads its state, and opens and
// closes the editor hears nothing from it on standard error.
TEST_F(Vst3Build, SaysNothingInNormalUse) {
  testutil::VirtualDisplay display;
  ASSERT_TRUE(display.start(std::string(std::getenv("HOME")) + "/xvfb-vst3-quiet.log"));
  testutil::UseDisplay use(display.name);
  testutil::StderrCapture capture;
  {
    Vst3Instance vst3;
    ASSERT_TRUE(vst3.ok);
    ASSERT_TRUE(vst3.start());
    warmEightFoot(vst3);
    vst3.events.events.push_back(noteEvent(true, 69, 0));
    pitchOfNextSecond(vst3);
    Stream saved(17);
    ASSERT_EQ(v3_cpp_obj(vst3.component.p)->get_state(vst3.component.p, saved.com.as<v3_bstream>()), V3_OK);
    Stream load(17);
    load.bytes = saved.bytes;
    ASSERT_EQ(v3_cpp_obj(vst3.component.p)->set_state(vst3.component.p, load.com.as<v3_bstream>()), V3_OK);
    for (bool removedFirst : {true, false}) {
      AttachedEditor editor(vst3, display.name, PlugFrame::OnResize::CallOnSize);
      ASSERT_TRUE(editor.attached) << editor.attachResult << (editor.view ? "" : ", no view")
                                   << (removedFirst ? "" : ", second");
      editor.releaseWithoutRemoving = !removedFirst;
      editor.host.runFor(10);
    }
  }
  EXPECT_EQ(capture.text(), "");
}

// The bank is the unit's program list: one program-change parameter whose
// steps are the programs by name. Selecting program 5 there (as a host does
// on Program Change) gives the engine that program before its next block,
// and the values the host reads are the bank's.
TEST_F(Vst3Build, SelectsAFactoryProgramThroughTheProgramChangeParameter) {
  Vst3Instance vst3;
  ASSERT_TRUE(vst3.ok);
  ASSERT_TRUE(vst3.start());
  v3_edit_controller* ctrl = vst3.ctrl();
  void* self = vst3.controller.p;
  v3_param_info program{};
  int programParameters = 0;
  for (int32_t i = 0, n = ctrl->get_parameter_count(self); i < n; ++i) {
    v3_param_info info{};
    ASSERT_EQ(ctrl->get_parameter_info(self, i, &info), V3_OK);
    if (info.flags & V3_PARAM_PROGRAM_CHANGE) {
      program = info;
      ++programParameters;
    }
  }
  ASSERT_EQ(programParameters, 1);
  const int count = FactoryBank::count();
  EXPECT_EQ(program.step_count, count - 1);
  for (int p : {0, 5, count - 1}) {
    v3_str_128 text{};
    ASSERT_EQ(ctrl->get_parameter_string_for_value(self, program.param_id, p / double(count - 1), text), V3_OK);
    EXPECT_EQ(ascii(text), FactoryBank::program(p).name);
  }

  // The same programs as the unit's program list, where the parameter's unit is.
  Ref<v3_unit_information> units;
  ASSERT_TRUE(queryInto(vst3.component.p, v3_unit_information_iid, units));
  v3_unit_information* u = v3_cpp_obj(units.p);
  ASSERT_EQ(u->get_unit_count(units.p), 1);
  v3_unit_info unit{};
  ASSERT_EQ(u->get_unit_info(units.p, 0, &unit), V3_OK);
  EXPECT_EQ(unit.id, program.unit_id);
  ASSERT_EQ(u->get_program_list_count(units.p), 1);
  v3_program_list_info list{};
  ASSERT_EQ(u->get_program_list_info(units.p, 0, &list), V3_OK);
  EXPECT_EQ(list.id, unit.program_list_id);
  EXPECT_EQ(list.programCount, count);
  for (int p = 0; p < count; ++p) {
    v3_str_128 name{};
    ASSERT_EQ(u->get_program_name(units.p, list.id, p, name), V3_OK);
    EXPECT_EQ(ascii(name), FactoryBank::program(p).name);
  }
  v3_str_128 none{};
  EXPECT_NE(u->get_program_name(units.p, list.id, count, none), V3_OK);

  ASSERT_EQ(ctrl->set_parameter_normalised(self, program.param_id, 5 / double(count - 1)), V3_OK);
  for (int block = 0; block < 3; ++block) ASSERT_EQ(vst3.process(), V3_OK);
  Wobblytone engine{InstanceInfo{}};
  for (int i = 0; i < kNumOurParams; ++i) {
    const double expected = engine.GetParam(i)->ToNormalized(FactoryBank::program(5).values[i]);
    EXPECT_NEAR(ctrl->get_parameter_normalised(self, idOf(i)), expected, 1e-6) << engine.GetParam(i)->GetName();
  }
}
