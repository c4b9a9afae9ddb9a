// SPDX-License-Identifier: ISC
#include "modules/filter.h"

#include <cmath>

namespace {
double historyValue(double value, double offset) { return std::isnan(value) ? 0.0 : value - offset; }
}  // namespace

void Filter::setSampleRate(double rate) {
  sampleRate = rate;
  frequency = 0;
  x1 = x2 = y1 = y2 = 0;
  antiDenormal = 1e-13;
}

void Filter::setFrequency(double f) {
  if (f == frequency) return;
  frequency = f;
  calculateCoefficients();
}

double Filter::process(double x) {
  const double d = antiDenormal;
  antiDenormal = -d;
  const double px1 = historyValue(x1, d);
  const double px2 = historyValue(x2, d);
  const double py1 = historyValue(y1, d);
  const double py2 = historyValue(y2, d);
  const double y = gain0 * (x + px2) + gain1 * px1 + feedback1 * py1 + feedback2 * py2;
  x2 = px1;
  x1 = x;
  y2 = py1;
  y1 = y;
  return y;
}

Filter::Biquad Filter::biquadTerms() const {
  // A corner at or above the Nyquist frequency would make the biquad
  // unstable (at 32 kHz and below for the 16 kHz output filter, or for any
  // filter at very low rates); keep it just below, at 0.45 of the rate.
  const double f = frequency < 0.45 * sampleRate ? frequency : 0.45 * sampleRate;
  const double w = sampleRate > 0 ? f * 2 * M_PI / sampleRate : 0.0;
  Biquad b;
  b.s = std::sin(w);
  b.c = std::cos(w);
  b.alpha = b.s / (2 * q);
  b.a0 = 1 + b.alpha;
  return b;
}

void LowPass::calculateCoefficients() {
  const Biquad b = biquadTerms();
  feedback1 = 2 * b.c / b.a0;
  feedback2 = (b.alpha - 1) / b.a0;
  gain0 = (1 - b.c) / 2 / b.a0;
  gain1 = (1 - b.c) / b.a0;
}

void HighPass::calculateCoefficients() {
  const Biquad b = biquadTerms();
  feedback1 = 2 * b.c / b.a0;
  feedback2 = (b.alpha - 1) / b.a0;
  gain0 = (1 + b.c) / 2 / b.a0;
  gain1 = -(1 + b.c) / b.a0;
}

void BandPass::calculateCoefficients() {
  const Biquad b = biquadTerms();
  feedback1 = 2 * b.c / b.a0;
  feedback2 = (b.alpha - 1) / b.a0;
  gain0 = b.alpha / b.a0;
  gain1 = 0;
}

void LowPass6dB::calculateCoefficients() {
  const double w = frequency * 2 * M_PI / sampleRate;
  gain0 = w / (w + 2);
  feedback1 = (w - 2) / (w + 2);
}

double LowPass6dB::process(double x) {
  const double d = antiDenormal;
  antiDenormal = -d;
  const double s = historyValue(y1, d);
  const double v = gain0 * x;
  const double y = v + s;
  y1 = v - feedback1 * y;
  return y;
}
