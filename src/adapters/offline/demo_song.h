// SPDX-License-Identifier: ISC
// The built-in demo: a short piece of our own (about a minute) with its own
// program, played when the renderer gets no MIDI file.
#pragma once

#include <utility>
#include <vector>

#include "adapters/offline/render_job.h"

struct DemoSong {
  std::vector<std::pair<int, double>> program;  // parameter index, plain value
  std::vector<RenderEvent> events;
};

DemoSong makeDemoSong();
