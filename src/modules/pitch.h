// SPDX-License-Identifier: ISC
// The instrument's pitch unit: 128 pitch steps per equal-tempered semitone,
// step 0 = MIDI note 0 (8.176 Hz), step 7680 = middle C (261.626 Hz).
#pragma once

// Holds the pitch-to-frequency tables. `Synth` derives from it, so the
// conversion is reachable as `Synth::convert2Hz`; the modules use it directly
// so that they do not depend on the plug-in class.
struct PitchSteps {
  // Pitch steps to Hz, linear between neighbouring semitone frequencies.
  // Defined for every int: steps beyond +-17279 give the table's end values.
  static double convert2Hz(int step);

  // 440 * 2^((n - 69) / 12) for MIDI notes 0..135, rounded as the instrument has
  // always had them (three decimals, two for notes 124..127).
  static const double MIDI2Hz[136];
  // 8.176 * 2^(-n / 12): the semitones below MIDI note 0.
  static const double AntiMIDI2Hz[136];

  static constexpr int kMaxStep = 17280;  // largest table index of the per-step tables
  static constexpr int kMiddleC = 7680;
};
