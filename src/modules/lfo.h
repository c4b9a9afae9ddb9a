// SPDX-License-Identifier: ISC
// LFO: a triangle low-frequency oscillator stepped once per control slice,
// assuming 1000 updates per second.
#pragma once

class LFO {
 public:
  LFO() = default;

  void setRate(double hz) { increment = 2 * hz / 1000; }

  // Computes the outputs from the current phase, then advances the phase,
  // so the outputs lag the phase by one update.
  void update() {
    const double p = lfoPhase;
    bipolar = (p < 0 ? -2.0 : 2.0) * p - 1;
    unipolar = 0.5 * bipolar + 0.5;
    double next = p + increment;
    if (next >= 1) next -= 2;
    lfoPhase = next;
  }

  double bipolar = 0;
  double unipolar = 0;  // meaningful only after the first update
  double lfoPhase = 0;
  double increment = 0;
};
