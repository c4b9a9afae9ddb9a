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
#include <type_traits>

#include "modules/pitch.h"
#include "modules/wave_tables.h"

// Phase increments per sample for every pitch step, at one sample rate.
struct PhaseIncrementTables {
  explicit PhaseIncrementTables(double sampleRate);
  int32_t freq2PhInc[PitchSteps::kMaxStep + 1];     // entry i: pitch step +i
  int32_t negFreq2PhInc[PitchSteps::kMaxStep + 1];  // entry i: pitch step -i
  // The same increments for steps -17280..17280 in one row (entry
  // step + 17280), with the waveform table each one reads: one look-up
  // per retune.
  static constexpr int kZero = PitchSteps::kMaxStep;
  int32_t incrementByStep[2 * PitchSteps::kMaxStep + 1];
  uint8_t tableByStep[2 * PitchSteps::kMaxStep + 1];
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
  // Recomputes increment, pulse phase and table for a pitch; an update with
  // the pitch index and pulse width of the last one changes nothing.
  void update(double pitch) {
    double offset;
    if (fixedPitch) {
      pitch = PitchSteps::kMiddleC;
      offset = 4 * frequencyOffset;
    } else if (!(pitch > 0)) {
      silence();
      return;
    } else {
      offset = frequencyOffset;
    }
    const double sum = pitch + range + offset;
    if (sum != sum) {  // a not-a-number offset: silent rather than undefined
      silence();
      return;
    }
    const int32_t index = pitchIndex(sum);
    if (cacheValid && index == cachedIndex) return;
    retune(index);
  }

  double process() {
    if (!sawTable) return 0.0;
    Run run(*this);
    const double out = run.process();
    phase = run.phase;
    pulsePhase = run.pulsePhase;
    return out;
  }

  // The next n samples at the current pitch, as n process() calls give
  // them (0 while silent). The waveform is chosen once, not per sample.
  void render(double* out, int n);
  // The next n samples with the pitch moving every sample: update(pitch[j])
  // and process() for each j, with the waveform chosen once.
  void renderModulated(double* out, const double* pitch, int n);

  // The oscillator's reading state as a plain value, for a loop that runs it
  // over many samples at one pitch (the compiler keeps it in registers);
  // `storeInto` writes the phases back. Only for a sounding oscillator.
  struct Run {
    explicit Run(const VCO& o)
        : saw(o.sawTable),
          tri(o.triTable),
          sawTri(o.sawTriTable),
          phase(o.phase),
          pulsePhase(o.pulsePhase),
          increment(o.phaseIncrement),
          waveform(o.waveform),
          reverse(o.reverseSawtooth) {}
    void storeInto(VCO& o) const {
      o.phase = phase;
      o.pulsePhase = pulsePhase;
    }
    const double *saw, *tri, *sawTri;
    int64_t phase, pulsePhase, increment;
    uint8_t waveform;
    bool reverse;

    // The sample at the current phases, for one way of reading the tables.
    enum class Reading : uint8_t { kNegativeTriangle, kNegativeSawtooth, kMixTable, kMixComputed, kSawtooth, kPulse };
    static Reading reading(uint8_t waveform, bool reverse, const double* sawTri) {
      switch (waveform) {
        case kTriangular:
          return Reading::kNegativeTriangle;
        case kSawtoothTriangular:
          return reverse ? Reading::kNegativeSawtooth : sawTri ? Reading::kMixTable : Reading::kMixComputed;
        case kSawtooth:
          return Reading::kSawtooth;
        default:
          return Reading::kPulse;
      }
    }
    // Calls f with the reading as a compile-time constant (call it for the value).
    template <class F>
    static decltype(auto) withReading(Reading r, F&& f) {
      using R = Reading;
      switch (r) {
        case R::kNegativeTriangle:
          return f(std::integral_constant<R, R::kNegativeTriangle>{});
        case R::kNegativeSawtooth:
          return f(std::integral_constant<R, R::kNegativeSawtooth>{});
        case R::kMixTable:
          return f(std::integral_constant<R, R::kMixTable>{});
        case R::kMixComputed:
          return f(std::integral_constant<R, R::kMixComputed>{});
        case R::kSawtooth:
          return f(std::integral_constant<R, R::kSawtooth>{});
        default:
          return f(std::integral_constant<R, R::kPulse>{});
      }
    }
    template <Reading R>
    double read() const {
      const int64_t a = phase >> 16;
      const int64_t b = pulsePhase >> 16;
      if constexpr (R == Reading::kNegativeTriangle)
        return -tri[a];
      else if constexpr (R == Reading::kNegativeSawtooth)
        return -saw[a];
      else if constexpr (R == Reading::kMixTable)
        return sawTri[a];
      else if constexpr (R == Reading::kMixComputed)
        return 0.33 * tri[a] + (0.66 * (saw[a] - saw[b]) + 0.5) * saw[a];
      else if constexpr (R == Reading::kSawtooth)
        return saw[a];
      else
        return saw[b] - saw[a];
    }
    void advance() {
      phase = (phase + increment) & kPhaseMask;
      pulsePhase = (pulsePhase + increment) & kPhaseMask;
    }
    // One sample, the reading chosen for it (render and renderModulated
    // choose it once for a run).
    double process() {
      double out;
      switch (reading(waveform, reverse, sawTri)) {
        case Reading::kNegativeTriangle:
          out = read<Reading::kNegativeTriangle>();
          break;
        case Reading::kNegativeSawtooth:
          out = read<Reading::kNegativeSawtooth>();
          break;
        case Reading::kMixTable:
          out = read<Reading::kMixTable>();
          break;
        case Reading::kMixComputed:
          out = read<Reading::kMixComputed>();
          break;
        case Reading::kSawtooth:
          out = read<Reading::kSawtooth>();
          break;
        default:
          out = read<Reading::kPulse>();
          break;
      }
      advance();
      return out;
    }
  };

  // Advances both phases by `samples` samples without reading the tables:
  // the same phases as that many process() calls.
  void skip(int samples) {
    if (!sawTable || samples <= 0) return;
    phase = (phase + samples * phaseIncrement) & kPhaseMask;
    pulsePhase = (pulsePhase + samples * phaseIncrement) & kPhaseMask;
  }
  // Ratio of the current frequency to middle C at the current sample rate.
  double getMultipleOfC4() const;

  // The process-wide waveform tables: built with the program, read-only.
  static const WaveTables& waveTables();

  bool reverseSawtooth = false;
  bool fixedPitch = false;
  uint8_t waveform = kSawtooth;
  double range = 0;
  double frequencyOffset = 0;
  const double* sawTable = nullptr;
  const double* triTable = nullptr;
  const double* sawTriTable = nullptr;  // the mix table, while the pulse width is 0.5
  double sampleRate = 44100;
  double pulseWidth = 0.5;
  int64_t phase = 0;
  int64_t pulsePhase = 0;
  int64_t phaseIncrement = 0;

  // Views into the shared phase-increment tables of the current sample rate.
  const int32_t* freq2PhInc = nullptr;
  const int32_t* negFreq2PhInc = nullptr;
  const int32_t* incrementByStep = nullptr;  // centred on step 0
  const uint8_t* tableByStep = nullptr;

  static constexpr int64_t kPhaseMask = 0xfffffff;  // 28-bit phase
  static constexpr double kPhaseScale = 268435456.0;

 private:
  void useTablesFor(double rate);
  void silence() {
    sawTable = nullptr;
    cacheValid = false;
  }
  // Inline: with oscillator modulation the pitch index moves almost every
  // sample, and this runs each time.
  void retune(int32_t index) {
    cachedIndex = index;
    cacheValid = true;
    const int32_t step = tableStep(index);
    if (pulseWidth != offsetWidth) updatePulseOffset();
    pulsePhase = (phase + pulseOffset) & kPhaseMask;
    phaseIncrement = incrementByStep[step];
    const int tableIndex = tableByStep[step];
    sawTable = waves->saw[tableIndex];
    triTable = waves->tri[tableIndex];
    sawTriTable = halfWidth ? waves->sawTri[tableIndex] : nullptr;
  }
  // The pitch index of a pitch sum. Indices beyond the tables read their
  // last entry; clamping first keeps the conversion to int defined for any sum.
  static int32_t pitchIndex(double sum) {
    constexpr double kLimit = PitchSteps::kMaxStep + 1;
    return static_cast<int32_t>(sum > kLimit ? kLimit : sum < -kLimit ? -kLimit : sum);
  }
  // The table entry a pitch index reads: indices beyond the tables read their ends.
  static int32_t tableStep(int32_t index) {
    return index > PitchSteps::kMaxStep    ? PitchSteps::kMaxStep
           : index < -PitchSteps::kMaxStep ? -PitchSteps::kMaxStep
                                           : index;
  }
  void updatePulseOffset();
  template <Run::Reading R>
  void renderAs(double* out, int n);
  template <Run::Reading R>
  void renderModulatedAs(double* out, const double* pitch, int n);

  const WaveTables* waves;
  std::shared_ptr<const PhaseIncrementTables> phaseTables;
  // Pitch index and pulse width of the last `update`; an update that changes
  // neither leaves increment, pulse phase and table as they are.
  int32_t cachedIndex = 0;
  bool cacheValid = false;
  // The second read position's lead in phase units, for the pulse width it was computed for.
  double offsetWidth = -1;
  int64_t pulseOffset = 0;
  bool halfWidth = false;
};
