// SPDX-License-Identifier: ISC
// A headless instrument for the engine tests: a seeded instance driven
// through HeadlessHost, with MIDI and parameter changes at absolute frames.
#pragma once

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "framework/headless_host.h"
#include "instrument/engine_view.h"
#include "instrument/wobblytone.h"

#ifndef WOBBLYTONE_TEST_RESOURCES
#define WOBBLYTONE_TEST_RESOURCES ""
#endif

namespace testutil {

struct RecordingHostCallbacks : IHostCallbacks {
  std::vector<std::pair<int, double>> changes;
  bool record = true;  // off where nothing may allocate
  void informHostOfParamChange(int idx, double value) override {
    if (record) changes.emplace_back(idx, value);
  }
};

// Something to happen at an absolute frame: a MIDI message, or a parameter
// set to a plain value through the host-side setter.
struct TimedEvent {
  long frame;
  IMidiMsg msg;
  int param = -1;
  double value = 0;
};

inline TimedEvent midiAt(long frame, IMidiMsg msg) { return {frame, msg}; }
inline TimedEvent paramAt(long frame, int param, double plainValue) { return {frame, {}, param, plainValue}; }

class Engine {
 public:
  explicit Engine(double rate = 44100, int block = 64, uint32_t seed = 1234) {
    InstanceInfo info;
    info.host = &callbacks;
    info.resourcePath = WOBBLYTONE_TEST_RESOURCES;
    info.randomSeed = seed;
    synth = std::make_unique<Wobblytone>(info);
    host = std::make_unique<HeadlessHost>(*synth);
    host->prepare(rate, block);
    host->activate();
    blockSize = block;
  }

  // A plain value from the host, as automation would set it.
  void set(int param, double plainValue) {
    synth->OnParamChangeFromHost(param, synth->GetParam(param)->ToNormalized(plainValue));
  }
  double value(int param) const { return synth->GetParam(param)->Value(); }

  // Power on, warm, one oscillator, filter open: a plain test patch.
  void plainPatch(int waveform = VCO::kTriangular) {
    set(kPower, 1);
    set(kVoltage, 1);
    set(kWarmUp, 2);
    set(kOsc1Waveform, waveform);
    set(kOsc1Volume, 0.5);
  }

  // Renders `frames` frames in host blocks of blockSize; events are applied at
  // their frames (a block is split at a parameter change, as a host does
  // with sample-accurate automation).
  std::vector<double> render(long frames, std::vector<TimedEvent> events = {}) {
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.frame < b.frame; });
    std::vector<double> out;
    out.reserve(static_cast<size_t>(frames));
    std::vector<double> left(static_cast<size_t>(blockSize)), right(static_cast<size_t>(blockSize));
    size_t next = 0;
    long end = now + frames;
    while (now < end) {
      while (next < events.size() && events[next].frame <= now && events[next].param >= 0) {
        set(events[next].param, events[next].value);
        ++next;
      }
      long blockEnd = std::min(end, now + blockSize);
      for (size_t j = next; j < events.size(); ++j)
        if (events[j].param >= 0 && events[j].frame > now && events[j].frame < blockEnd) {
          blockEnd = events[j].frame;
          break;
        }
      std::vector<IMidiMsg> midi;
      while (next < events.size() && events[next].frame < blockEnd && events[next].param < 0) {
        IMidiMsg m = events[next].msg;
        m.mOffset = static_cast<int>(events[next].frame - now);
        midi.push_back(m);
        ++next;
      }
      const int n = static_cast<int>(blockEnd - now);
      host->process(midi.data(), static_cast<int>(midi.size()), left.data(), right.data(), n);
      for (int i = 0; i < n; ++i) {
        out.push_back(left[static_cast<size_t>(i)]);
        lastRightEqualsLeft = lastRightEqualsLeft && left[static_cast<size_t>(i)] == right[static_cast<size_t>(i)];
      }
      now = blockEnd;
    }
    return out;
  }

  // Renders whole control slices (of the current slice length).
  std::vector<double> renderSlices(long slices) { return render(slices * synth->getSliceLength()); }

  Wobblytone& w() { return *synth; }
  EngineView view() const { return EngineView(*synth); }

  RecordingHostCallbacks callbacks;
  std::unique_ptr<Wobblytone> synth;
  std::unique_ptr<HeadlessHost> host;
  int blockSize;
  long now = 0;
  bool lastRightEqualsLeft = true;
};

// Frequency from the upward zero crossings (interpolated) after removing the mean.
inline double measureFrequency(const std::vector<double>& x, double rate, size_t from = 0) {
  double mean = 0;
  for (size_t i = from; i < x.size(); ++i) mean += x[i];
  mean /= static_cast<double>(x.size() - from);
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < x.size(); ++i) {
    const double a = x[i - 1] - mean, b = x[i] - mean;
    if (a < 0 && b >= 0) {
      const double t = static_cast<double>(i - 1) + a / (a - b);
      if (first < 0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * rate / (last - first);
}

// The frequency an oscillator plays for a pitch in pitch steps (its table index).
inline double frequencyOfPitch(double pitch) { return PitchSteps::convert2Hz(static_cast<int>(pitch)); }

inline bool allFinite(const std::vector<double>& x) {
  for (double v : x)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace testutil
