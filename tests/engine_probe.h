// SPDX-License-Identifier: ISC
// Sets states that a worn unit reaches only by chance or through faults:
// a broken key, a lamp lit, a filter state gone bad, a clip read near its
// end. Tests use it to check how the engine and the editor meet them.
#pragma once

#include <cstdint>
#include <limits>

#include "instrument/wobblytone.h"

struct EngineProbe {
  static void setOverload(Wobblytone& w, bool on) { w.overload = on; }
  static void setPitchBend(Wobblytone& w, double bend) { w.pitchBend = bend; }
  static void setModWheel(Wobblytone& w, double amount) { w.modWheel = amount; }
  static void setKeyBroken(Wobblytone& w, int index, uint8_t flag) { w.brokenKeys[index] = flag; }
  static void setEveryControlBroken(Wobblytone& w) {
    for (auto& f : w.brokenKeys) f = 1;
    for (auto& f : w.brokenKnobs) f = 1;
  }
  static void setVolumeScratch(Wobblytone& w, bool on) { w.volumeScratch = on; }
  static void setClipPosition(Wobblytone& w, Properties::EWaves wave, double position) { w.wavePos[wave] = position; }
  // Puts a not-a-number into one stage of the ladder filter.
  static void spoilFilterStage(Wobblytone& w, int stage) { w.vcf.stage[stage] = std::numeric_limits<double>::quiet_NaN(); }
  static void renderAlwaysGuarded(Wobblytone& w) { w.renderAlwaysGuarded = true; }
};
