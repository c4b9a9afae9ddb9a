// SPDX-License-Identifier: ISC
#include "vcf.h"

#include <cmath>

#include "filter.h"
#include "numeric.h"
#include "rate_table_cache.h"

LadderTables::LadderTables(double rate) {
  for (int i = 0; i <= PitchSteps::kMaxStep; ++i) {
    const double f = PitchSteps::convert2Hz(i);
    freq2rad[i] = 2 * M_PI * f / rate;
    double r;
    if (f < 90) r = 1 + (4.1 - 1) * f / 90;
    else if (f < 500) r = 4.1;
    else if (f <= 2000) r = 4.1 - (4.1 - 4.005) * (f - 500) / 1500;
    else r = 4.005;
    resoScaler[i] = r;
  }
}

VCF::VCF() {
  tables = RateTableCache<LadderTables>::get(sampleRate);
  freq2rad = tables->freq2rad;
  resoScaler = tables->resoScaler;
  applyResetValues();
}

void VCF::applyResetValues() {
  currentCutoff = 0;
  cachedIndex = -1;
  stage[0] = 0;
  stage[1] = 1;
  stage[2] = 0;
  stage[3] = -1;
  stageGain4 = stageGain = stateFactor = feedback = outputGain = feedbackNorm = 0;
}

void VCF::setSampleRate(double rate) {
  if (rate != sampleRate || std::isnan(rate) || std::isnan(sampleRate)) {
    sampleRate = rate;
    tables = RateTableCache<LadderTables>::get(rate);
    freq2rad = tables->freq2rad;
    resoScaler = tables->resoScaler;
  }
  applyResetValues();
}

void VCF::setCutoff(int cutoff, bool glide) {
  targetCutoff = cutoff;
  cutoffStep = 0;
  if (!glide) {
    currentCutoff = cutoff;
  } else if (currentCutoff < cutoff) {
    cutoffStep = 1;
  } else if (currentCutoff > cutoff) {
    cutoffStep = -1;
  }
}

void VCF::calculateCoefficients(int32_t index) {
  const int i = index < 0 ? 0 : index > PitchSteps::kMaxStep ? PitchSteps::kMaxStep : index;
  const double w = freq2rad[i];
  const double r = resoScaler[i];
  stageGain = w / (w + 2);
  stateFactor = (w - 2) * (1 / (w + 2));
  const double g2 = stageGain * stageGain;
  stageGain4 = g2 * g2;
  feedback = r * emphasis;
  feedbackNorm = 1 / (stageGain4 * feedback + 1);
  const double d = emphasis < 0.5 ? 0.5 - emphasis : emphasis - 0.5;
  outputGain = 2 - (2 * d) * (2 * d);
}

double VCF::process(double input, int modulation) {
  if (currentCutoff != targetCutoff) {
    currentCutoff += cutoffStep;
    if ((cutoffStep < 0 && currentCutoff < targetCutoff) || (cutoffStep > 0 && currentCutoff > targetCutoff))
      currentCutoff = targetCutoff;
  }
  // Saturating: a cutoff near the int32 limit plus a large modulation must not overflow.
  const int32_t index = numeric::saturatingAdd(currentCutoff, modulation);
  if (index != cachedIndex) {
    cachedIndex = index;
    calculateCoefficients(index);
  }

  const double ad = antiDenormal;
  const double x = std::isnan(input) ? 0.0 : input + ad;
  for (double& s : stage) s = std::isnan(s) ? 0.0 : s + ad;
  antiDenormal = -ad;

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
