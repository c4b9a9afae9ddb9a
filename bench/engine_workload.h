// SPDX-License-Identifier: ISC
// The benchmark workload: an instance at 48 kHz in 256-frame blocks playing a
// steady phrase, with a plain patch (Osc-1 sawtooth through the ladder filter
// with emphasis, loudness contour, the hum) or a busy one (three
// oscillators, noise, oscillator and filter modulation, glide, both contours
// moving, A-440).
#pragma once

#include <vector>

#include "framework/headless_host.h"
#include "instrument/wobblytone.h"

#ifndef WOBBLYTONE_BENCH_RESOURCES
#define WOBBLYTONE_BENCH_RESOURCES ""
#endif

class EngineWorkload {
 public:
  static constexpr double kRate = 48000;
  static constexpr int kBlock = 256;

  explicit EngineWorkload(bool busy) : synth(info()), host(synth) {
    host.prepare(kRate, kBlock);
    set(kPower, 1);
    set(kVoltage, 1);
    set(kWarmUp, 2);
    set(kCutoff, 0.45);
    set(kEmphasis, 0.7);
    set(kAmountOfContour, 0.3);
    set(kFilterDecay, 0.3);
    set(kFilterSustain, 0.4);
    set(kLoudnessDecay, 0.3);
    set(kLoudnessSustain, 0.7);
    if (busy) {
      set(kOsc2, 1);
      set(kOsc3, 1);
      set(kNoise, 1);
      set(kOscMod, 1);
      set(kFilterMod, 1);
      set(kModMix, 0.3);
      set(kGlide, 1);
      set(kGlideTime, 0.3);
      set(kA440, 1);
      set(kOsc2Waveform, 3);
      set(kOsc3Waveform, 0);
      set(kFilterAttack, 0.3);
      set(kLoudnessAttack, 0.2);
    }
    host.activate();
    modWheel = IMidiMsg::controlChange(0, 1, busy ? 60 : 0);
    host.process(&modWheel, 1, left.data(), right.data(), kBlock);
  }

  // Renders `blocks` blocks of a phrase of eighth notes at 120 bpm, legato
  // pairs, so that notes start, glide and release all the time.
  long renderBlocks(int blocks) {
    static const int kNotes[8] = {36, 48, 43, 39, 41, 53, 46, 31};
    for (int b = 0; b < blocks; ++b) {
      int n = 0;
      if (block % 24 == 0) events[n++] = IMidiMsg::noteOn(5, kNotes[(block / 24) % 8], 100);
      if (block % 24 == 12) events[n++] = IMidiMsg::noteOn(9, kNotes[(block / 24 + 3) % 8] + 12, 100);
      if (block % 24 == 20) {
        events[n++] = IMidiMsg::noteOff(3, kNotes[(block / 24) % 8]);
        events[n++] = IMidiMsg::noteOff(4, kNotes[(block / 24 + 3) % 8] + 12);
      }
      host.process(events, n, left.data(), right.data(), kBlock);
      ++block;
    }
    return static_cast<long>(blocks) * kBlock;
  }

  // The two channels of the block rendered last.
  const std::vector<double>& lastLeft() const { return left; }
  const std::vector<double>& lastRight() const { return right; }

 private:
  static InstanceInfo info() {
    InstanceInfo i;
    i.resourcePath = WOBBLYTONE_BENCH_RESOURCES;
    i.randomSeed = 7;
    return i;
  }
  void set(int param, double plain) { synth.GetParam(param)->Set(plain); }

  Wobblytone synth;
  HeadlessHost host;
  std::vector<double> left = std::vector<double>(kBlock), right = std::vector<double>(kBlock);
  IMidiMsg events[4];
  IMidiMsg modWheel;
  long block = 0;
};
