// SPDX-License-Identifier: ISC
// The LV2 editor hosted as a host embeds it, for the tests of its window.
#pragma once

#include <dlfcn.h>
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "lv2_host.h"
#include "x_window.h"

namespace testhost {

// The plug-in's editor as a host embeds it: the UI from the same binary,
// given the host's window (ui:parent), the running instance (instance and
// data access), the options and ui:resize, and driven by its idle
// interface. The host's window follows what the UI asks through ui:resize.
class Lv2Editor {
 public:
  Lv2Editor(Lv2Instance& lv2, testutil::HostWindow& window) : lv2(lv2), window(window) {
    char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(lv2.plugin)), nullptr);
    void* library = path ? dlopen(path, RTLD_NOW) : nullptr;
    lilv_free(path);
    if (!library) return;
    module = library;
    auto descriptorOf = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    descriptor = descriptorOf ? descriptorOf(0) : nullptr;
    if (!descriptor) return;
    dataAccess.data_access = lilv_instance_get_descriptor(lv2.instance)->extension_data;
    resize.handle = this;
    resize.ui_resize = [](LV2UI_Feature_Handle handle, int width, int height) {
      auto* self = static_cast<Lv2Editor*>(handle);
      self->resizeRequests.emplace_back(width, height);
      self->window.resize(width, height);
      return 0;
    };
    const LV2_URID floatType = UridMap::map(&lv2.urids, LV2_ATOM__Float);
    options[0] = {LV2_OPTIONS_INSTANCE, 0,         UridMap::map(&lv2.urids, LV2_PARAMETERS__sampleRate),
                  sizeof(float),        floatType, &sampleRate};
    options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    features[0] = {LV2_URID__map, &lv2.mapFeature};
    features[1] = {LV2_OPTIONS__options, options};
    features[2] = {LV2_UI__parent, reinterpret_cast<void*>(window.id())};
    features[3] = {LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(lv2.instance)};
    features[4] = {LV2_DATA_ACCESS_URI, &dataAccess};
    features[5] = {LV2_UI__resize, &resize};
    features[6] = {LV2_UI__idleInterface, nullptr};
    const LV2_Feature* list[] = {&features[0], &features[1], &features[2], &features[3],
                                 &features[4], &features[5], &features[6], nullptr};
    const std::string bundle = WOBBLYTONE_LV2_BUNDLE "/";
    handle = descriptor->instantiate(
        descriptor, "https://marlpitmusic.com/plugins/wobblytone", bundle.c_str(),
        [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}, this, &widget, list);
    if (handle) idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
  }
  ~Lv2Editor() {
    if (handle) descriptor->cleanup(handle);
    if (module) dlclose(module);
  }
  Lv2Editor(const Lv2Editor&) = delete;
  Lv2Editor& operator=(const Lv2Editor&) = delete;

  bool ok() const { return handle && idle; }
  // What the host's loop does between frames: the UI's idle call.
  void runFor(int ticks) {
    for (int i = 0; i < ticks; ++i) {
      idle->idle(handle);
      usleep(10000);
    }
  }
  // The editor's own window, embedded in the host's.
  unsigned long editorWindow() const { return reinterpret_cast<unsigned long>(widget); }

  std::vector<std::pair<int, int>> resizeRequests;

 private:
  Lv2Instance& lv2;
  testutil::HostWindow& window;
  void* module = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  LV2UI_Handle handle = nullptr;
  LV2UI_Widget widget = nullptr;
  const LV2UI_Idle_Interface* idle = nullptr;
  LV2_Extension_Data_Feature dataAccess{};
  LV2UI_Resize resize{};
  float sampleRate = 48000;
  LV2_Options_Option options[2];
  LV2_Feature features[7];
};

}  // namespace testhost
