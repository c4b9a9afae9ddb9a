// SPDX-License-Identifier: ISC
// Small measuring helpers shared by the tests.
#pragma once

#include <cmath>
#include <vector>

namespace testutil {

// Magnitude of the component at `hz` in `signal`, Hann-windowed, normalised so
// that a full-scale sine of amplitude a reads a.
inline double toneMagnitude(const std::vector<double>& signal, double hz, double sampleRate) {
  const size_t n = signal.size();
  double re = 0, im = 0, windowSum = 0;
  for (size_t i = 0; i < n; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / (n - 1));
    const double phase = 2 * M_PI * hz * i / sampleRate;
    re += w * signal[i] * std::cos(phase);
    im += w * signal[i] * std::sin(phase);
    windowSum += w;
  }
  return 2 * std::sqrt(re * re + im * im) / windowSum;
}

inline double rms(const std::vector<double>& signal, size_t from = 0) {
  double sum = 0;
  for (size_t i = from; i < signal.size(); ++i) sum += signal[i] * signal[i];
  return std::sqrt(sum / (signal.size() - from));
}

inline double dB(double ratio) { return 20 * std::log10(ratio); }

}  // namespace testutil
