// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "modules/vco.h"

TEST(WaveTables, HarmonicCounts) {
  const int expected[] = {2048, 1448, 1024, 724, 512, 362, 256, 181, 128, 91, 64,
                          45,   32,   23,   16,  11,  8,   6,   4,   3,   2,  1};
  for (int p = 0; p < WaveTables::kTables; ++p) EXPECT_EQ(WaveTables::harmonics(p), expected[p]) << p;
}

// The tables against the plain sum of windowed harmonics, evaluated with
// sin(k * theta) and cos(k * theta) directly for every sample.
TEST(WaveTables, EqualTheDirectSumOfHarmonics) {
  const WaveTables& tables = VCO::waveTables();
  double worst = 0;
  for (int p = 0; p < WaveTables::kTables; ++p) {
    const int n = WaveTables::harmonics(p);
    for (int j = 0; j < WaveTables::kLength; j += (p < 4 ? 7 : 1)) {
      const double theta = 2 * M_PI * j / 4096;
      double saw = -0.5 * std::sin(theta);
      double tri = 0.7071067811865476 * std::cos(theta);
      for (int k = 2; k <= n; ++k) {
        const double g = 0.5 * (0.54 + 0.46 * std::cos((k - 1) * (M_PI / 2) / (n - 1))) / k;
        saw -= g * std::sin(k * theta);
        if (k & 1) tri += g * 1.4142135623730951 / k * std::cos(k * theta);
      }
      worst = std::max(worst, std::fabs(tables.saw[p][j] - saw));
      worst = std::max(worst, std::fabs(tables.tri[p][j] - tri));
    }
  }
  EXPECT_LT(worst, 1e-12);
}

TEST(WaveTables, ShapeOfTheRampAndTheTriangle) {
  const WaveTables& t = VCO::waveTables();
  EXPECT_EQ(t.saw[0][0], 0.0);
  // A ramp from -pi/4 to +pi/4 that drops back at phase 0.
  EXPECT_NEAR(t.saw[0][1024], -M_PI / 8, 0.001);
  EXPECT_NEAR(t.saw[0][3072], M_PI / 8, 0.001);
  EXPECT_NEAR(t.saw[0][16], -M_PI / 4, 0.02);
  EXPECT_NEAR(t.saw[0][4080], M_PI / 4, 0.02);
  EXPECT_NEAR(t.tri[0][0], 0.86, 0.02);     // maximum at phase 0
  EXPECT_NEAR(t.tri[0][2048], -0.86, 0.02);  // minimum at half the period
  EXPECT_DOUBLE_EQ(t.tri[21][0], 0.7071067811865476);  // a pure cosine
}

TEST(WaveTables, ContainNoPartialAboveTheirHarmonicCount) {
  const WaveTables& t = VCO::waveTables();
  for (int p : {8, 14, 18}) {
    const int n = WaveTables::harmonics(p);
    for (int k = 1; k <= n + 8; ++k) {
      double re = 0, im = 0;
      for (int j = 0; j < WaveTables::kLength; ++j) {
        re += t.saw[p][j] * std::cos(2 * M_PI * k * j / 4096);
        im += t.saw[p][j] * std::sin(2 * M_PI * k * j / 4096);
      }
      const double magnitude = std::sqrt(re * re + im * im) * 2 / 4096;
      if (k <= n) EXPECT_GT(magnitude, 0.1 / k) << p << " " << k;
      else EXPECT_LT(magnitude, 1e-12) << p << " " << k;
    }
  }
}

// The copy built into the program is what the summation gives here, bit for
// bit (the build computed it, perhaps with other tools than this test's).
TEST(WaveTables, TheBuiltInTablesAreTheComputedOnes) {
  auto fresh = std::make_unique<WaveTables>();
  WaveTables::build(*fresh);
  const WaveTables& shared = VCO::waveTables();
  EXPECT_EQ(std::memcmp(fresh.get(), &shared, sizeof(WaveTables)), 0);
}
