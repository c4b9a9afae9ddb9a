// SPDX-License-Identifier: ISC
// The panel as the editor draws it off-screen, for comparing with what a
// plug-in's editor shows in a host's window.
#pragma once

#include <string>

#include "editor/wobblytone_editor.h"
#include "framework/plugin_base.h"
#include "instrument/wobblytone.h"
#include "toolkit/offscreen_host.h"
#include "x_window.h"

namespace testutil {

// A fresh instance with this random seed (the broken knobs it draws) and
// this resource folder, its editor drawn whole at `scale`.
inline Picture referencePanel(uint32_t seed, float scale, const std::string& resources) {
  struct NoLink : EditorLink {
    void sendParameter(int, double) override {}
    void sendNote(int, bool) override {}
  } link;
  InstanceInfo info;
  info.resourcePath = resources;
  info.randomSeed = seed;
  Wobblytone synth(info);
  OffscreenHost window;
  WobblytoneEditor editor(synth, link, window, resources);
  synth.resizeUI(scale);
  editor.onIdle();
  window.render(editor.graphics(), true);
  return Picture::ofCairo(window.image());
}

}  // namespace testutil
