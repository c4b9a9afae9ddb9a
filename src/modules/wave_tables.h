// SPDX-License-Identifier: ISC
// The band-limited waveform tables that the oscillators read. They are
// computed when the program is built (tools/wave_tables) and are part of it
// as read-only data: no instance spends time on them, and every instance of
// a process shares the one copy.
#pragma once

// The 22 sawtooth and 22 triangle tables; table p holds round(2048 / sqrt(2)^p) harmonics.
struct WaveTables {
  static constexpr int kTables = 22;
  static constexpr int kLength = 4096;
  double saw[kTables][kLength];
  double tri[kTables][kLength];
  // The Sawtooth-Triangular mix at the pulse width it always has (half a
  // period), read in one go: 0.33 T(a) + (0.66 (S(a) - S(a + half)) + 0.5) S(a).
  double sawTri[kTables][kLength];

  // Number of harmonics in table p.
  static int harmonics(int p);
  // Computes the tables into `out` by direct summation over the harmonics
  // (the build's generator runs it; tests compare it with the built-in copy).
  static void build(WaveTables& out);
};
