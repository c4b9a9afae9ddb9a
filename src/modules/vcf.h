// SPDX-License-Identifier: ISC
// VCF: the four-pole ladder low-pass with emphasis. Four trapezoidal one-pole
// stages whose feedback loop is solved without a unit delay, with the soft
// clipper in the feedback path. Cutoff is in pitch steps.
#pragma once

#include <cstdint>
#include <climits>
#include <memory>

#include "modules/filter.h"
#include "modules/pitch.h"

// Cutoff in radians per sample and feedback per unit of emphasis, for every
// pitch step 0..17280, at one sample rate.
struct LadderTables {
  explicit LadderTables(double sampleRate);
  double freq2rad[PitchSteps::kMaxStep + 1];
  double resoScaler[PitchSteps::kMaxStep + 1];
  // The stage coefficients that depend on the cutoff alone, so that a cutoff
  // change costs no division: G = w/(w + 2), A = (w - 2)/(w + 2), G^4.
  struct Stage {
    double gain, factor, gain4;
  };
  Stage stageCoefficients[PitchSteps::kMaxStep + 1];
};

class VCF {
 public:
  VCF();

  void setSampleRate(double rate);
  void setCutoff(int cutoff, bool glide);
  // One output sample; `modulation` (pitch steps) is added to the cutoff for
  // this sample only. Not-a-number input and states are read as 0.
  double process(double input, int modulation);
  // process() without the not-a-number guards: the same result whenever
  // neither the input nor a state is a not-a-number (see hasNaNState).
  double processUnguarded(double input, int modulation) {
    prepare(modulation);
    const double ad = antiDenormal;
    const double x = input + ad;
    for (double& s : stage) s += ad;
    antiDenormal = -ad;
    return solve(x);
  }
  bool hasNaNState() const {
    for (double s : stage)
      if (s != s) return true;
    return false;
  }

  double sampleRate = 44100;
  int32_t targetCutoff = 0;
  double emphasis = 0;  // 0..1.1; set cachedIndex = -1 after writing it
  double stageGain4 = 0;
  double stageGain = 0;
  double stateFactor = 0;
  double feedback = 0;
  double outputGain = 0;
  double feedbackNorm = 0;
  int32_t currentCutoff = 0;
  int32_t cachedIndex = -1;
  int32_t cutoffStep = 0;
  double stage[4] = {0, 1, 0, -1};
  double antiDenormal = 1e-13;

  // Views into the shared tables of the current sample rate.
  const double* freq2rad = nullptr;
  const double* resoScaler = nullptr;
  const LadderTables::Stage* stageCoefficients = nullptr;

 private:
  void applyResetValues();
  void calculateCoefficients(int32_t index);
  void useTablesFor(double rate);
  double gainForEmphasis = 0;  // outputGain depends on the emphasis alone
  double outputGainEmphasis = -1;
  // Steps a gliding cutoff and recomputes the coefficients for a new index.
  void prepare(int modulation) {
    if (currentCutoff != targetCutoff) {
      currentCutoff += cutoffStep;
      if ((cutoffStep < 0 && currentCutoff < targetCutoff) || (cutoffStep > 0 && currentCutoff > targetCutoff))
        currentCutoff = targetCutoff;
    }
    // Saturating: a cutoff near the int32 limit plus a large modulation must not overflow.
    const int64_t sum = static_cast<int64_t>(currentCutoff) + modulation;
    const int32_t index = sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : static_cast<int32_t>(sum);
    if (index != cachedIndex) {
      cachedIndex = index;
      calculateCoefficients(index);
    }
  }
  // The zero-delay feedback estimate, the clipped feedback and the four
  // stages, for an input that already carries the anti-denormal offset.
  double solve(double x) {
    const double G = stageGain;
    const double A = stateFactor;
    const double S = ((stage[0] * G + stage[1]) * G + stage[2]) * G + stage[3];
    const double y = (stageGain4 * x + S) * feedbackNorm;
    double a = x - feedback * Filter::softClip(y);
    for (double& s : stage) {
      const double v = G * a;
      const double out = v + s;
      s = v - A * out;
      a = out;
    }
    return y * outputGain;
  }

  std::shared_ptr<const LadderTables> tables;
};
