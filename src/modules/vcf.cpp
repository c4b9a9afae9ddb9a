// SPDX-License-Identifier: ISC
#include "modules/vcf.h"

#include <cmath>

#include "modules/rate_table_cache.h"

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
    const double w = freq2rad[i];
    const double G = w / (w + 2);
    const double g2 = G * G;
    stageCoefficients[i] = {G, (w - 2) * (1 / (w + 2)), g2 * g2};
  }
}

void VCF::useTablesFor(double rate) {
  tables = RateTableCache<LadderTables>::get(rate);
  freq2rad = tables->freq2rad;
  resoScaler = tables->resoScaler;
  stageCoefficients = tables->stageCoefficients;
}

VCF::VCF() {
  useTablesFor(sampleRate);
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
    useTablesFor(rate);
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
