// SPDX-License-Identifier: ISC
#include "modules/wave_tables.h"

#include <cmath>
#include <cstring>

namespace {
constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kHalfSqrt2 = 0.7071067811865476;
}  // namespace

int WaveTables::harmonics(int p) { return static_cast<int>(std::round(2048.0 / std::pow(kSqrt2, p))); }

namespace {
// Two doubles that the compiler adds and multiplies lane by lane.
using Pair = double __attribute__((vector_size(16)));
Pair loadPair(const double* p) {
  Pair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
void storePair(double* p, Pair v) { std::memcpy(p, &v, sizeof v); }
}  // namespace

// The tables are sums of sines and cosines of the harmonics. Three shortcuts
// keep the build within a few milliseconds without changing the sums:
// sin(k * theta_j) is one read of a 4096-entry sine table at (k * j) mod 4096;
// the sawtooth is odd and the triangle even about phase 0, so only the first
// half period is summed; and about the quarter period, odd harmonics are
// symmetric and even ones antisymmetric, so the first quarter gives the second.
void WaveTables::build(WaveTables& out) {
  constexpr int N = kLength;
  constexpr int kMask = N - 1;
  constexpr int kQuarter = N / 4;
  constexpr int kHalf = N / 2;

  // A sine table with exact symmetries: sin(pi) is exactly 0, and so on.
  double sine[N];
  for (int j = 0; j <= kQuarter; ++j) sine[j] = std::sin(2.0 * M_PI * j / N);
  sine[kQuarter] = 1.0;
  for (int j = 1; j < kQuarter; ++j) sine[kHalf - j] = sine[j];
  sine[kHalf] = 0.0;
  for (int j = 1; j < kHalf; ++j) sine[N - j] = -sine[j];
  auto cosine = [&](int idx) { return sine[(idx + kQuarter) & kMask]; };

  double odd[kQuarter + 1], even[kQuarter + 1], triSum[kQuarter + 1];
  for (int p = 0; p < kTables; ++p) {
    const int harmonicCount = harmonics(p);
    for (int j = 0; j <= kQuarter; ++j) {
      odd[j] = 0.5 * sine[j];
      even[j] = 0.0;
      triSum[j] = kHalfSqrt2 * cosine(j);
    }
    for (int k = 2; k <= harmonicCount; ++k) {
      const double g = 0.5 * (0.54 + 0.46 * std::cos((k - 1) * (M_PI / 2) / (harmonicCount - 1))) / k;
      // Two phases j at a time: each lane adds its terms in the same order
      // as the scalar loop would, so the sums are the same to the last bit.
      if (k & 1) {
        const double t = g * kSqrt2 / k;
        int j = 0;
        for (int i0 = 0, i1 = k & kMask; j + 1 <= kQuarter; j += 2) {
          const Pair s = {sine[i0], sine[i1]};
          const Pair c = {cosine(i0), cosine(i1)};
          storePair(odd + j, loadPair(odd + j) + g * s);
          storePair(triSum + j, loadPair(triSum + j) + t * c);
          i0 = (i0 + 2 * k) & kMask;
          i1 = (i1 + 2 * k) & kMask;
        }
        for (; j <= kQuarter; ++j) {
          const int idx = (j * k) & kMask;
          odd[j] += g * sine[idx];
          triSum[j] += t * cosine(idx);
        }
      } else {
        int j = 0;
        for (int i0 = 0, i1 = k & kMask; j + 1 <= kQuarter; j += 2) {
          const Pair s = {sine[i0], sine[i1]};
          storePair(even + j, loadPair(even + j) + g * s);
          i0 = (i0 + 2 * k) & kMask;
          i1 = (i1 + 2 * k) & kMask;
        }
        for (; j <= kQuarter; ++j) even[j] += g * sine[(j * k) & kMask];
      }
    }
    double* saw = out.saw[p];
    double* tri = out.tri[p];
    for (int j = 0; j <= kQuarter; ++j) {
      // Phase j and its mirror about the quarter period, kHalf - j.
      saw[j] = -(odd[j] + even[j]);
      saw[kHalf - j] = -(odd[j] - even[j]);
      tri[j] = triSum[j];
      tri[kHalf - j] = -triSum[j];
    }
    saw[0] = 0.0;
    saw[kHalf] = 0.0;
    for (int j = 1; j < kHalf; ++j) {
      saw[N - j] = -saw[j];
      tri[N - j] = tri[j];
    }
    for (int j = 0; j < N; ++j)
      out.sawTri[p][j] = 0.33 * tri[j] + (0.66 * (saw[j] - saw[(j + kHalf) & kMask]) + 0.5) * saw[j];
  }
}
