// SPDX-License-Identifier: ISC
// A busy patch and a phrase that exercise most of the engine at once.
#pragma once

#include <vector>

#include "engine_harness.h"

namespace testutil {

// A phrase that exercises notes, legato glide, the pedal, automation that
// crackles and sweeps, the broken Osc-2 waveform and all decimation modes.
inline std::vector<TimedEvent> phrase() {
  std::vector<testutil::TimedEvent> ev;
  long t = 0;
  const int notes[] = {36, 43, 48, 39, 41, 55, 31, 60};
  for (int i = 0; i < 8; ++i) {
    ev.push_back(midiAt(t + 7, IMidiMsg::noteOn(0, notes[i], 100)));
    if (i % 3 == 1) ev.push_back(midiAt(t + 3001, IMidiMsg::noteOn(0, notes[i] + 7, 90)));
    if (i == 4) ev.push_back(midiAt(t + 2000, IMidiMsg::controlChange(0, 64, 127)));
    ev.push_back(paramAt(t + 1111, kCutoff, 0.2 + 0.08 * i));
    ev.push_back(paramAt(t + 2222, kVolume, 0.4 + 0.05 * i));
    if (i == 3) ev.push_back(paramAt(t + 2500, kOverSample, 1));
    if (i == 6) ev.push_back(paramAt(t + 2500, kOverSample, 2));
    ev.push_back(midiAt(t + 4321, IMidiMsg::noteOff(0, notes[i])));
    if (i % 3 == 1) ev.push_back(midiAt(t + 4400, IMidiMsg::noteOff(0, notes[i] + 7)));
    if (i == 5) ev.push_back(midiAt(t + 4500, IMidiMsg::controlChange(0, 64, 0)));
    t += 5000;
  }
  return ev;
}

inline void busyPatch(Engine& e) {
  e.set(kPower, 1);
  e.set(kVoltage, 1);
  e.set(kOsc2, 1);
  e.set(kOsc3, 1);
  e.set(kNoise, 1);
  e.set(kOsc2Waveform, VCO::kWideRectangular);
  e.set(kGlide, 1);
  e.set(kGlideTime, 0.4);
  e.set(kEmphasis, 0.7);
  e.set(kAmountOfContour, 0.5);
  e.set(kFilterDecay, 0.4);
  e.set(kOscMod, 1);
  e.set(kFilterMod, 1);
  e.set(kModMix, 0.4);
  e.set(kA440, 1);
}

}  // namespace testutil
