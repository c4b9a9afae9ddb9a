// SPDX-License-Identifier: ISC
#include "modules/vco.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "modules/numeric.h"
#include "modules/rate_table_cache.h"

namespace {

constexpr double kHalfSqrt2 = 0.7071067811865476;

// Table index for s whole table samples per output sample (s >= 2): the number
// of multiplications by 1/sqrt(2) that bring s down to 1 or less, at most 21.
// Every s from 1449 on needs more than 20, so 2048 entries cover all cases.
struct TableChoice {
  static constexpr int kEntries = 2048;
  uint8_t index[kEntries] = {};
  constexpr TableChoice() {
    for (int s = 0; s < kEntries; ++s) {
      double value = s;
      int n = 0;
      while (value > 1.0 && n <= 20) {
        value *= kHalfSqrt2;
        ++n;
      }
      index[s] = static_cast<uint8_t>(n > 20 ? 21 : n);
    }
  }
  constexpr int operator()(int64_t samplesPerStep) const {
    return samplesPerStep < kEntries ? index[samplesPerStep] : 21;
  }
};

// Built by the compiler: no start-up work and no guard on the audio thread.
constexpr TableChoice kTableChoice{};

}  // namespace

// The waveform table for an increment: table 0 below two table samples per
// output sample, otherwise as many halvings of the harmonics (steps of
// 1/sqrt(2) in the table step) as bring the table step to 1 or less.
static int tableForIncrement(int64_t increment) { return increment < 131072 ? 0 : kTableChoice(increment >> 16); }

PhaseIncrementTables::PhaseIncrementTables(double rate) {
  for (int i = 0; i <= PitchSteps::kMaxStep; ++i) {
    freq2PhInc[i] = numeric::truncToInt32(PitchSteps::convert2Hz(i) * VCO::kPhaseScale / rate);
    negFreq2PhInc[i] = numeric::truncToInt32(PitchSteps::convert2Hz(-i) * VCO::kPhaseScale / rate);
  }
  for (int step = -PitchSteps::kMaxStep; step <= PitchSteps::kMaxStep; ++step) {
    const int32_t increment = step >= 0 ? freq2PhInc[step] : negFreq2PhInc[-step];
    incrementByStep[step + kZero] = increment;
    tableByStep[step + kZero] = static_cast<uint8_t>(tableForIncrement(increment));
  }
}

// The tables the build computed (tools/wave_tables), assembled into the
// program as read-only data (wave_tables_data.S, generated).
extern "C" const WaveTables wobblytone_wave_tables;

const WaveTables& VCO::waveTables() { return wobblytone_wave_tables; }

VCO::VCO() : waves(&waveTables()) { useTablesFor(sampleRate); }

void VCO::useTablesFor(double rate) {
  phaseTables = RateTableCache<PhaseIncrementTables>::get(rate);
  freq2PhInc = phaseTables->freq2PhInc;
  negFreq2PhInc = phaseTables->negFreq2PhInc;
  incrementByStep = phaseTables->incrementByStep + PhaseIncrementTables::kZero;
  tableByStep = phaseTables->tableByStep + PhaseIncrementTables::kZero;
}

void VCO::setSampleRate(double rate) {
  if (rate != sampleRate || std::isnan(rate) || std::isnan(sampleRate)) {
    sampleRate = rate;
    useTablesFor(rate);
  }
  phase = 0;
  pulsePhase = 0;
  phaseIncrement = 0;
  cacheValid = false;
}

void VCO::setRange(uint8_t value) {
  static constexpr double kRanges[6] = {-10752, -3072, -1536, 0, 1536, 3072};
  range = value <= 5 ? kRanges[value] : 0;
}

void VCO::setWaveform(uint8_t value) {
  waveform = value;
  const double width = value == kWideRectangular ? 0.33 : value == kNarrowRectangular ? 0.2 : 0.5;
  if (width != pulseWidth) cacheValid = false;
  pulseWidth = width;
}

void VCO::updatePulseOffset() {
  offsetWidth = pulseWidth;
  pulseOffset = pulseWidth >= 0 && pulseWidth <= 1 ? static_cast<int64_t>(pulseWidth * kPhaseScale) : 0;
  halfWidth = pulseWidth == 0.5;
}

template <VCO::Run::Reading R>
void VCO::renderAs(double* out, int n) {
  constexpr bool kReadsPulsePhase = R == Run::Reading::kPulse || R == Run::Reading::kMixComputed;
  Run run(*this);
  for (int j = 0; j < n; ++j) {
    out[j] = run.read<R>();
    if constexpr (kReadsPulsePhase)
      run.advance();
    else
      run.phase = (run.phase + run.increment) & kPhaseMask;
  }
  // A reading that ignores the pulse phase moves it once at the end: the
  // masks keep it modulo 2^28, so one addition of n increments lands where
  // n additions of one do.
  if constexpr (!kReadsPulsePhase) run.pulsePhase = (run.pulsePhase + n * run.increment) & kPhaseMask;
  run.storeInto(*this);
}

void VCO::render(double* out, int n) {
  if (!sawTable) {
    std::fill(out, out + n, 0.0);
    return;
  }
  Run::withReading(Run::reading(waveform, reverseSawtooth, sawTriTable), [&](auto r) { renderAs<r()>(out, n); });
}

// update(pitch[j]) and a read for each j, with what stays put over the run
// taken out of the loop: the pitch offsets, the fixed-pitch switch and the
// pulse width. Increment, phases and tables live in locals and are written
// back at the end, as the last update and read left them.
template <VCO::Run::Reading R>
void VCO::renderModulatedAs(double* out, const double* pitch, int n) {
  constexpr bool kReadsPulsePhase = R == Run::Reading::kPulse || R == Run::Reading::kMixComputed;
  // An index no pitch gives: what an update must differ from when the
  // cache is not valid.
  constexpr int32_t kNone = INT32_MIN;
  Run run(*this);
  int32_t index = cachedIndex;                    // the last retune's
  int32_t matching = cacheValid ? index : kNone;  // what leaves the tuning as it is
  bool silent = sawTable == nullptr;
  int lastTable = -1;  // the table of the last retune in this run, if any
  // A reading that ignores the pulse phase moves it at the end only, by
  // the samples read since it was last set (the masks keep it modulo 2^28).
  int64_t pulseFrom = run.pulsePhase;
  int64_t readSince = 0;
  const double rangeSteps = range, offset = frequencyOffset;
  const bool withMixTable = halfWidth;
  for (int j = 0; j < n; ++j) {
    const double p = pitch[j];
    const double sum = p + rangeSteps + offset;
    if (!(p > 0) || sum != sum) {
      silent = true;
      matching = kNone;
      out[j] = 0.0;
      continue;
    }
    const int32_t next = pitchIndex(sum);
    if (next != matching) {
      index = matching = next;
      silent = false;
      const int32_t step = tableStep(next);
      run.pulsePhase = (run.phase + pulseOffset) & kPhaseMask;
      pulseFrom = run.pulsePhase;
      readSince = 0;
      run.increment = incrementByStep[step];
      lastTable = tableByStep[step];
      run.saw = waves->saw[lastTable];
      run.tri = waves->tri[lastTable];
      run.sawTri = withMixTable ? waves->sawTri[lastTable] : nullptr;
    }
    out[j] = run.read<R>();
    if constexpr (kReadsPulsePhase) {
      run.advance();
    } else {
      run.phase = (run.phase + run.increment) & kPhaseMask;
      ++readSince;
    }
  }
  if constexpr (!kReadsPulsePhase) run.pulsePhase = (pulseFrom + readSince * run.increment) & kPhaseMask;
  cachedIndex = index;
  cacheValid = matching != kNone;
  phaseIncrement = run.increment;
  run.storeInto(*this);
  if (lastTable >= 0) {
    sawTable = run.saw;
    triTable = run.tri;
    sawTriTable = run.sawTri;
  }
  if (silent) sawTable = nullptr;
}

void VCO::renderModulated(double* out, const double* pitch, int n) {
  if (n <= 0) return;
  if (fixedPitch) {
    // A fixed pitch ignores the pitch it is given: one update holds for the run.
    update(pitch[0]);
    render(out, n);
    return;
  }
  // The pulse offset follows the width, which nothing inside the run
  // changes; a retune would bring it up to date first, so doing it now
  // changes nothing but where.
  if (pulseWidth != offsetWidth) updatePulseOffset();
  // The mix of Sawtooth-Triangular is read from its table at half width;
  // the computed mix is the same sample, for the other widths.
  const Run::Reading reading = waveform == kSawtoothTriangular && !reverseSawtooth
                                   ? (halfWidth ? Run::Reading::kMixTable : Run::Reading::kMixComputed)
                                   : Run::reading(waveform, reverseSawtooth, nullptr);
  Run::withReading(reading, [&](auto r) { renderModulatedAs<r()>(out, pitch, n); });
}

double VCO::getMultipleOfC4() const { return static_cast<double>(phaseIncrement) / freq2PhInc[PitchSteps::kMiddleC]; }
