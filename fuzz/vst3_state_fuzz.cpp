// SPDX-License-Identifier: ISC
// libFuzzer target for the VST3 build's state reader, through the real
// module: a minimal host loads it, makes one component and hands it each
// input as a stream. A refused state must leave the component exactly as it
// was (its saved state unchanged); an accepted one must save and load again
// to the same state.
#include <dlfcn.h>

#include "travesty/base.h"
#include "travesty/component.h"
#include "travesty/factory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "state_oracle.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

struct StreamTable : v3_funknown {
  v3_bstream stream;
};

// A stream as the ABI sees it: the table pointer first, the owner beside it.
struct Stream {
  const StreamTable* table;
  Stream* self = this;
  std::vector<uint8_t> bytes;
  size_t at = 0;

  static Stream& of(void* s) { return *static_cast<Stream*>(s)->self; }
  static v3_result V3_API query(void* s, const v3_tuid iid, void** out) {
    if (v3_tuid_match(iid, v3_bstream_iid) || v3_tuid_match(iid, v3_funknown_iid)) {
      *out = s;
      return V3_OK;
    }
    *out = nullptr;
    return V3_NO_INTERFACE;
  }
  static uint32_t V3_API noRef(void*) { return 1; }
  static v3_result V3_API read(void* s, void* buffer, int32_t size, int32_t* done) {
    Stream& me = of(s);
    const size_t n = std::min<size_t>({static_cast<size_t>(std::max(size, 0)), 61, me.bytes.size() - me.at});
    if (n) std::memcpy(buffer, me.bytes.data() + me.at, n);
    me.at += n;
    if (done) *done = static_cast<int32_t>(n);
    return V3_OK;
  }
  static v3_result V3_API write(void* s, void* buffer, int32_t size, int32_t* done) {
    Stream& me = of(s);
    const auto* b = static_cast<const uint8_t*>(buffer);
    me.bytes.insert(me.bytes.end(), b, b + std::max(size, 0));
    if (done) *done = size;
    return V3_OK;
  }
  static v3_result V3_API seek(void*, int64_t, int32_t, int64_t*) { return V3_NOT_IMPLEMENTED; }
  static v3_result V3_API tell(void* s, int64_t* pos) {
    *pos = static_cast<int64_t>(of(s).at);
    return V3_OK;
  }
  static constexpr StreamTable kTable = {{query, noRef, noRef}, {read, write, seek, tell}};
  Stream() : table(&kTable) {}
  v3_bstream** as() { return reinterpret_cast<v3_bstream**>(this); }
};

// Kept for the whole run, as a host keeps the module's factory.
v3_plugin_factory** factory = nullptr;
v3_component** component = nullptr;

std::vector<uint8_t> saved() {
  Stream s;
  check(v3_cpp_obj(component)->get_state(component, s.as()) == V3_OK);
  return s.bytes;
}

bool load(const uint8_t* data, size_t size) {
  Stream s;
  s.bytes.assign(data, data + size);
  return v3_cpp_obj(component)->set_state(component, s.as()) == V3_OK;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/wobblytone-fuzz-XXXXXX";
  if (mkdtemp(pattern)) setenv("HOME", pattern, 1);
  void* module = dlopen(WOBBLYTONE_VST3_MODULE, RTLD_NOW | RTLD_LOCAL);
  check(module != nullptr);
  auto entry = reinterpret_cast<bool (*)(void*)>(dlsym(module, "ModuleEntry"));
  check(entry && entry(module));
  auto getFactory = reinterpret_cast<const void* (*)()>(dlsym(module, "GetPluginFactory"));
  check(getFactory != nullptr);
  factory = static_cast<v3_plugin_factory**>(const_cast<void*>(getFactory()));
  check(factory != nullptr);
  v3_tuid cid{};
  bool found = false;
  for (int32_t i = 0, n = v3_cpp_obj(factory)->num_classes(factory); i < n; ++i) {
    v3_class_info info{};
    if (v3_cpp_obj(factory)->get_class_info(factory, i, &info) == V3_OK &&
        std::strcmp(info.category, "Audio Module Class") == 0) {
      std::memcpy(cid, info.class_id, sizeof cid);
      found = true;
    }
  }
  check(found);
  v3_tuid iid;
  std::memcpy(iid, v3_component_iid, sizeof iid);
  check(v3_cpp_obj(factory)->create_instance(factory, cid, iid, reinterpret_cast<void**>(&component)) == V3_OK);
  check(component && v3_cpp_obj_initialize(component, nullptr) == V3_OK);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkStateLoad(data, size, load, saved);
  return 0;
}
