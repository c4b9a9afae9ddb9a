// SPDX-License-Identifier: ISC
// The renderer's command line, read into its settings. Every argument is
// checked here; a bad one gives a message for the user and no settings.
#pragma once

#include <string>
#include <vector>

#include "adapters/offline/render_job.h"

struct RenderCommand {
  std::string output = "wobblytone.wav";
  std::string midiPath;  // empty: the built-in demo
  std::string programIn, programOut;
  std::vector<std::string> sets;  // NAME=VALUE, read against the instance later
  RenderSettings settings;
  bool listParameters = false;
  bool listPrograms = false;
  bool help = false;
};

extern const char* const kRenderUsage;

// False with `error` set for an unknown option, a missing or bad value, or
// a second MIDI file. argv[0] is the program's name and is not read.
bool parseRenderCommandLine(int argc, const char* const* argv, RenderCommand& command, std::string& error);
