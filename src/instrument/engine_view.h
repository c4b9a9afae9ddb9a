// SPDX-License-Identifier: ISC
// A read-only look at an instrument's state: the lamps, wheels and broken
// controls that the editor draws, and the voice that tests follow through a
// note. Nothing here changes the instrument.
//
// Threads: the panel's flags are atomics and may be read from any thread.
// The voice belongs to the audio thread: read it only where that thread is
// not rendering (between blocks on the same thread, or in a test).
#pragma once

#include <array>
#include <cstdint>

#include "instrument/wobblytone.h"

class EngineView {
 public:
  using BrokenKnobs = std::array<uint8_t, Properties::kNumKnobs>;
  using BrokenKeys = std::array<uint8_t, Properties::kNumKeys>;

  explicit EngineView(const Wobblytone& instrument) : w(instrument) {}

  // --- The panel (any thread) -----------------------------------------------
  bool powerOn() const { return w.powerOn; }
  bool fuseBlown() const { return w.fuseBlown; }
  // Set when the fuse blows, until the editor takes it (takeFuseJustBlown).
  bool fuseJustBlown() const { return w.fuseJustBlown; }
  bool is110V() const { return w.is110V; }
  // 0 while the oscillators are cold, 1 while they warm up, 2 when warm.
  int warmUpState() const { return w.warmUpState; }
  bool overload() const { return w.overload; }
  double pitchBend() const { return w.pitchBend; }
  double modWheel() const { return w.modWheel; }
  bool knobBroken(int slot) const { return w.brokenKnobs[slot] != 0; }
  bool keyBroken(int index) const { return w.brokenKeys[index] != 0; }
  // The factory program applied last (−1: none yet), and a count of the
  // programs applied, which changes whenever one is.
  int lastFactoryProgram() const { return w.lastFactoryProgram; }
  unsigned factoryProgramsApplied() const { return w.factoryProgramsApplied; }
  // The flags as saved in the state, one byte each.
  BrokenKnobs brokenKnobs() const { return copyOf<Properties::kNumKnobs>(w.brokenKnobs); }
  BrokenKeys brokenKeys() const { return copyOf<Properties::kNumKeys>(w.brokenKeys); }

  // --- The voice (the audio thread's) ---------------------------------------
  int currentNote() const { return w.currentNote; }
  int targetPitch() const { return w.targetPitch; }
  double currentPitch() const { return w.currentPitch; }
  int glideSteps() const { return w.glideSteps; }
  double glideTime() const { return w.glideTime; }
  bool keyDown() const { return w.keyDown; }
  bool sustainOn() const { return w.sustainOn; }
  bool voiceActive() const { return w.voiceActive; }
  const Contour& loudnessContour() const { return w.loudnessContour; }
  const Contour& scratchContour() const { return w.scratchContour; }
  const VCO& osc2() const { return w.osc2; }
  bool osc2Broken() const { return w.osc2Broken; }
  double tuneOffset() const { return w.tuneOffset; }
  double osc1Offset() const { return w.osc1Offset; }
  double osc2Offset() const { return w.osc2Offset; }
  double osc3Offset() const { return w.osc3Offset; }
  // Minutes of warm-up left for oscillator i (0 to 2).
  double warmUpRemaining(int i) const { return w.warmUpRemaining[i]; }
  double volume() const { return w.volume; }
  bool volumeScratch() const { return w.volumeScratch; }
  // The DC blocker's anti-denormal offset: its sign flips each time the
  // blocker runs.
  double dcBlockerOffset() const { return w.dcBlocker.antiDenormal; }
  // Where clip `wave` is being read, in clip samples, and how far one output
  // sample moves it at normal speed.
  double clipPosition(Properties::EWaves wave) const { return w.wavePos[wave]; }
  double clipRate() const { return w.waveRate; }

 private:
  template <int kCount>
  static std::array<uint8_t, kCount> copyOf(const std::atomic<uint8_t> (&flags)[kCount]) {
    std::array<uint8_t, kCount> out{};
    for (int i = 0; i < kCount; ++i) out[i] = flags[i];
    return out;
  }

  const Wobblytone& w;
};
