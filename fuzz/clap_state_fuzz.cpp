// SPDX-License-Identifier: ISC
// libFuzzer target for the CLAP build's state reader, through the real
// plug-in file: a minimal host loads it, makes one instance and hands it each
// input as a state stream. A refused state must leave the instance exactly as
// it was (its saved state unchanged); an accepted one must save and load
// again to the same state.
#include <dlfcn.h>

#include <clap/entry.h>
#include <clap/ext/state.h>
#include <clap/host.h>
#include <clap/plugin-factory.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "state_oracle.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

struct Reader {
  const uint8_t* data;
  size_t size, at = 0;
  clap_istream_t stream{this, [](const clap_istream_t* s, void* buffer, uint64_t size) -> int64_t {
                          auto* r = static_cast<Reader*>(s->ctx);
                          // A few bytes at a time, as some hosts hand them.
                          const size_t n = std::min<size_t>({static_cast<size_t>(size), 61, r->size - r->at});
                          if (n) std::memcpy(buffer, r->data + r->at, n);
                          r->at += n;
                          return static_cast<int64_t>(n);
                        }};
};

struct Writer {
  std::vector<uint8_t> bytes;
  clap_ostream_t stream{this, [](const clap_ostream_t* s, const void* buffer, uint64_t size) -> int64_t {
                          auto* w = static_cast<Writer*>(s->ctx);
                          const auto* b = static_cast<const uint8_t*>(buffer);
                          w->bytes.insert(w->bytes.end(), b, b + size);
                          return static_cast<int64_t>(size);
                        }};
};

clap_host_t host{};
const clap_plugin_t* plugin = nullptr;
const clap_plugin_state_t* state = nullptr;

std::vector<uint8_t> saved() {
  Writer w;
  check(state->save(plugin, &w.stream));
  return w.bytes;
}

bool load(const uint8_t* data, size_t size) {
  Reader r{data, size};
  return state->load(plugin, &r.stream);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/wobblytone-fuzz-XXXXXX";
  if (mkdtemp(pattern)) setenv("HOME", pattern, 1);
  void* module = dlopen(WOBBLYTONE_CLAP_FILE, RTLD_NOW | RTLD_LOCAL);
  check(module != nullptr);
  const auto* entry = static_cast<const clap_plugin_entry_t*>(dlsym(module, "clap_entry"));
  check(entry && entry->init(WOBBLYTONE_CLAP_FILE));
  const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  check(factory && factory->get_plugin_count(factory) == 1);
  host.clap_version = CLAP_VERSION;
  host.name = "fuzz";
  host.vendor = "fuzz";
  host.version = "1";
  host.get_extension = [](const clap_host_t*, const char*) -> const void* { return nullptr; };
  host.request_restart = [](const clap_host_t*) {};
  host.request_process = [](const clap_host_t*) {};
  host.request_callback = [](const clap_host_t*) {};
  plugin = factory->create_plugin(factory, &host, factory->get_plugin_descriptor(factory, 0)->id);
  check(plugin && plugin->init(plugin));
  state = static_cast<const clap_plugin_state_t*>(plugin->get_extension(plugin, CLAP_EXT_STATE));
  check(state != nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  checkStateLoad(data, size, load, saved);
  return 0;
}
