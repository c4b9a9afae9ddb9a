// SPDX-License-Identifier: ISC
// Small measuring helpers shared by the tests.
#pragma once

#include <cmath>
#include <complex>
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

// In-place radix-2 FFT; the size must be a power of two.
inline void fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    for (size_t k = 0; k < len / 2; ++k) {
      const double c = std::cos(2 * M_PI * k / len), s = -std::sin(2 * M_PI * k / len);
      for (size_t i = k; i < n; i += len) {
        const std::complex<double> u = a[i], v = a[i + len / 2];
        const std::complex<double> w(v.real() * c - v.imag() * s, v.real() * s + v.imag() * c);
        a[i] = u + w;
        a[i + len / 2] = u - w;
      }
    }
  }
}

}  // namespace testutil
