// SPDX-License-Identifier: ISC
// What a host waits for when it loads the CLAP build in a fresh process:
// dlopen, clap_entry.init, the factory's descriptor (all a scan asks for),
// then the first instance (create_plugin and init). Prints milliseconds;
// bench/plugin_load.sh runs it several times and takes the medians.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "clap/entry.h"
#include "clap/plugin-factory.h"

int main(int argc, char** argv) {
  const char* file = argc > 1 ? argv[1] : WOBBLYTONE_CLAP_FILE;
  using Clock = std::chrono::steady_clock;
  const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  const auto t0 = Clock::now();
  void* handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "cannot load %s: %s\n", file, dlerror());
    return 1;
  }
  const auto t1 = Clock::now();
  const auto* entry = static_cast<const clap_plugin_entry_t*>(dlsym(handle, "clap_entry"));
  if (!entry || !entry->init(file)) return 1;
  const auto* factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
  const clap_plugin_descriptor_t* descriptor = factory ? factory->get_plugin_descriptor(factory, 0) : nullptr;
  if (!descriptor) return 1;
  const auto t2 = Clock::now();
  clap_host_t host{};
  host.clap_version = CLAP_VERSION;
  host.name = "wobblytone-load-bench";
  host.vendor = "";
  host.url = "";
  host.version = "1";
  host.get_extension = [](const clap_host_t*, const char*) -> const void* { return nullptr; };
  host.request_restart = [](const clap_host_t*) {};
  host.request_process = [](const clap_host_t*) {};
  host.request_callback = [](const clap_host_t*) {};
  const clap_plugin_t* plugin = factory->create_plugin(factory, &host, descriptor->id);
  if (!plugin || !plugin->init(plugin)) return 1;
  const auto t3 = Clock::now();
  std::printf("dlopen %.2f ms  init+descriptor %.2f ms  first instance %.2f ms\n", ms(t1 - t0), ms(t2 - t1),
              ms(t3 - t2));
  plugin->destroy(plugin);
  entry->deinit();
  dlclose(handle);
  return 0;
}
