// SPDX-License-Identifier: ISC
// The offline render: a song (timed MIDI and parameter changes) played
// through one instrument instance in host-sized blocks, as a host would.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/midi.h"

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

// The longest song the renderer plays, in seconds (the tail comes on top).
constexpr double kLongestSongSeconds = 3600;

// When the last event of a song happens, in seconds.
double songSeconds(const std::vector<RenderEvent>& events);

// Receives each rendered block, the left channel (both are equal); false
// stops the render (a failed write, an interruption).
using RenderSink = std::function<bool(const float* samples, int frames)>;

// Plays `events` (in any order) through `plugin`, which must be freshly made,
// from its current parameters, handing the audio to `sink` block by block:
// memory stays the same whatever the song's length. True when the whole
// song and its tail were rendered; false when the sink stopped it or the
// song is longer than kLongestSongSeconds (then nothing is rendered).
// `progress` gets the fraction done now and then.
bool renderSong(IPluginBase& plugin, const std::vector<RenderEvent>& events, const RenderSettings& settings,
                const RenderSink& sink, const std::function<void(double)>& progress = nullptr);

// Finds a parameter by display name (case-insensitive) or by index + 1 and
// parses a plain value or a list text. False with a message for the user.
bool parseParameterSetting(const IPluginBase& plugin, const std::string& setting, int& paramIdx,
                           double& plainValue, std::string& error);
