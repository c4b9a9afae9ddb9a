// SPDX-License-Identifier: ISC
// VCF: the four-pole ladder low-pass with emphasis. Four trapezoidal one-pole
// stages whose feedback loop is solved without a unit delay, with the soft
// clipper in the feedback path. Cutoff is in pitch steps.
#pragma once

#include <cstdint>
#include <memory>

#include "pitch.h"

// Cutoff in radians per sample and feedback per unit of emphasis, for every
// pitch step 0..17280, at one sample rate.
struct LadderTables {
  explicit LadderTables(double sampleRate);
  double freq2rad[PitchSteps::kMaxStep + 1];
  double resoScaler[PitchSteps::kMaxStep + 1];
};

class VCF {
 public:
  VCF();

  void setSampleRate(double rate);
  void setCutoff(int cutoff, bool glide);
  // One output sample; `modulation` (pitch steps) is added to the cutoff for
  // this sample only. Not-a-number input and states are read as 0.
  double process(double input, int modulation);

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

 private:
  void applyResetValues();
  void calculateCoefficients(int32_t index);

  std::shared_ptr<const LadderTables> tables;
};
