// SPDX-License-Identifier: ISC
// The offline render: a song (timed MIDI and parameter changes) played
// through one instrument instance in host-sized blocks, as a host would.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/midi.h"

class IPluginBase;

// Something to happen at a time: a MIDI message, or (param >= 0) a parameter
// set to a plain value, as host automation would.
struct RenderEvent {
  double seconds = 0;
  IMidiMsg msg;
  int param = -1;
  double value = 0;
};

struct RenderSettings {
  double sampleRate = 48000;
  int blockSize = 512;
  double tailSeconds = 2;
  std::optional<uint32_t> seed;
  std::string resourcePath;  // with a trailing '/'
};

// Plays `events` (in any order) through `plugin`, which must be freshly made,
// from its current parameters. Returns the left channel (both are equal).
// `progress` gets the fraction done now and then.
std::vector<float> renderSong(IPluginBase& plugin, const std::vector<RenderEvent>& events,
                              const RenderSettings& settings,
                              const std::function<void(double)>& progress = nullptr);

// Finds a parameter by display name (case-insensitive) or by index + 1 and
// parses a plain value or a list text. False with a message for the user.
bool parseParameterSetting(const IPluginBase& plugin, const std::string& setting, int& paramIdx,
                           double& plainValue, std::string& error);
