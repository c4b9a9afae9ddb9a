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
  // The emphasis 0..1.1; the coefficients follow at the next sample.
  void setEmphasis(double value) {
    emphasis = value;
    cachedIndex = -1;
  }
  // One output sample; `modulation` (pitch steps) is added to the cutoff for
  // this sample only. Not-a-number input and states are read as 0.
  double process(double input, int modulation) {
    // -ad + ad is exactly the 0 that a not-a-number reads as, once the
    // anti-denormal offset ad is added.
    const double ad = antiDenormal;
    if (input != input) input = -ad;
    for (double& s : stage)
      if (s != s) s = -ad;
    return processUnguarded(input, modulation);
  }
  // process() without the not-a-number guards: the same result whenever
  // neither the input nor a state is a not-a-number (see hasNaNState).
  double processUnguarded(double input, int modulation) {
    Run run(*this);
    const double y = run.process(input, modulation);
    run.storeInto(*this);
    return y;
  }
  bool hasNaNState() const {
    for (double s : stage)
      if (s != s) return true;
    return false;
  }

  // The filter's state and coefficients as a plain value, for a loop that
  // runs it over many samples (the compiler keeps them in registers);
  // `storeInto` writes back what the samples changed. Its step is
  // processUnguarded's.
  struct Run {
    explicit Run(VCF& f)
        : stage{f.stage[0], f.stage[1], f.stage[2], f.stage[3]},
          antiDenormal(f.antiDenormal),
          stageGain(f.stageGain),
          stateFactor(f.stateFactor),
          stageGain4(f.stageGain4),
          feedback(f.feedback),
          feedbackNorm(f.feedbackNorm),
          outputGain(f.outputGain),
          emphasis(f.emphasis),
          gainForEmphasis(f.outputGainFor(f.emphasis)),
          currentCutoff(f.currentCutoff),
          targetCutoff(f.targetCutoff),
          cutoffStep(f.cutoffStep),
          cachedIndex(f.cachedIndex),
          resoScaler(f.resoScaler),
          stageCoefficients(f.stageCoefficients) {}

    double process(double input, int modulation) {
      prepare(modulation);
      const double ad = antiDenormal;
      const double x = input + ad;
      for (double& s : stage) s += ad;
      antiDenormal = -ad;
      return solve(x);
    }
    void storeInto(VCF& f) const {
      for (int i = 0; i < 4; ++i) f.stage[i] = stage[i];
      f.antiDenormal = antiDenormal;
      f.stageGain = stageGain;
      f.stateFactor = stateFactor;
      f.stageGain4 = stageGain4;
      f.feedback = feedback;
      f.feedbackNorm = feedbackNorm;
      f.outputGain = outputGain;
      f.currentCutoff = currentCutoff;
      f.cachedIndex = cachedIndex;
    }

   private:
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
        const int i = index < 0 ? 0 : index > PitchSteps::kMaxStep ? PitchSteps::kMaxStep : index;
        const LadderTables::Stage& st = stageCoefficients[i];
        stageGain = st.gain;
        stateFactor = st.factor;
        stageGain4 = st.gain4;
        feedback = resoScaler[i] * emphasis;
        feedbackNorm = 1 / (stageGain4 * feedback + 1);
        outputGain = gainForEmphasis;
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

    double stage[4];
    double antiDenormal;
    double stageGain, stateFactor, stageGain4, feedback, feedbackNorm, outputGain;
    double emphasis, gainForEmphasis;
    int32_t currentCutoff, targetCutoff, cutoffStep, cachedIndex;
    const double* resoScaler;
    const LadderTables::Stage* stageCoefficients;
  };

  double sampleRate = 44100;
  int32_t targetCutoff = 0;
  double emphasis = 0;  // 0..1.1; set through setEmphasis, or set cachedIndex = -1 after writing it
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
  void useTablesFor(double rate);
  // The output gain depends on the emphasis alone: 2 - (2 |emphasis - 0.5|)^2,
  // kept for the emphasis it was last computed for.
  double outputGainFor(double value) {
    if (value != outputGainEmphasis) {
      outputGainEmphasis = value;
      const double d = value < 0.5 ? 0.5 - value : value - 0.5;
      gainForEmphasis = 2 - (2 * d) * (2 * d);
    }
    return gainForEmphasis;
  }
  double gainForEmphasis = 0;
  double outputGainEmphasis = -1;

  std::shared_ptr<const LadderTables> tables;
};
