// SPDX-License-Identifier: ISC
// VCO: the phase-accumulator oscillator that reads band-limited waveform tables.
//
// Pitch is given in pitch steps (see pitch.h). The waveform tables are built
// once per process; the phase-increment tables are shared per sample rate.
// Nothing here allocates after set-up, locks or throws on the audio path
// (`update`, `process`).
#pragma once

#include <cstdint>
#include <memory>

#include "pitch.h"

// Phase increments per sample for every pitch step, at one sample rate.
struct PhaseIncrementTables {
  explicit PhaseIncrementTables(double sampleRate);
  int32_t freq2PhInc[PitchSteps::kMaxStep + 1];     // entry i: pitch step +i
  int32_t negFreq2PhInc[PitchSteps::kMaxStep + 1];  // entry i: pitch step -i
};

// The 22 sawtooth and 22 triangle tables; table p holds round(2048 / sqrt(2)^p) harmonics.
struct WaveTables {
  static constexpr int kTables = 22;
  static constexpr int kLength = 4096;
  double saw[kTables][kLength];
  double tri[kTables][kLength];

  // Number of harmonics in table p.
  static int harmonics(int p);
  // Builds the tables into `out` by direct summation over the harmonics.
  static void build(WaveTables& out);
};

class VCO {
 public:
  enum Waveform : uint8_t {
    kTriangular = 0,
    kSawtoothTriangular = 1,  // Reverse Sawtooth when `reverseSawtooth` is set
    kSawtooth = 2,
    kSquare = 3,
    kWideRectangular = 4,
    kNarrowRectangular = 5,
  };

  VCO();

  void setSampleRate(double rate);
  void setRange(uint8_t range);
  void setWaveform(uint8_t waveform);
  void update(double pitch);
  double process();
  // Ratio of the current frequency to middle C at the current sample rate.
  double getMultipleOfC4() const;

  // The process-wide waveform tables, built on first use (thread-safe).
  static const WaveTables& waveTables();
  static bool waveIsInitialized();

  bool reverseSawtooth = false;
  bool fixedPitch = false;
  uint8_t waveform = kSawtooth;
  double range = 0;
  double frequencyOffset = 0;
  const double* sawTable = nullptr;
  const double* triTable = nullptr;
  double sampleRate = 44100;
  double pulseWidth = 0.5;
  int64_t phase = 0;
  int64_t pulsePhase = 0;
  int64_t phaseIncrement = 0;

  // Views into the shared phase-increment tables of the current sample rate.
  const int32_t* freq2PhInc = nullptr;
  const int32_t* negFreq2PhInc = nullptr;

  static constexpr int64_t kPhaseMask = 0xfffffff;  // 28-bit phase
  static constexpr double kPhaseScale = 268435456.0;

 private:
  void useTablesFor(double rate);

  const WaveTables* waves;
  std::shared_ptr<const PhaseIncrementTables> phaseTables;
  // Pitch index and pulse width of the last `update`; an update that changes
  // neither leaves increment, pulse phase and table as they are.
  int32_t cachedIndex = 0;
  bool cacheValid = false;
};
