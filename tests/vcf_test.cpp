// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "modules/vcf.h"
#include "test_util.h"

namespace {
VCF makeFilter(int cutoff, double emphasis, double rate = 44100) {
  VCF f;
  f.setSampleRate(rate);
  f.setCutoff(cutoff, false);
  f.setEmphasis(emphasis);
  // Settle the initial transient of the states.
  for (int i = 0; i < 20000; ++i) f.process(0, 0);
  return f;
}
}  // namespace

TEST(LadderTables, ResonanceScalerShape) {
  VCF f;
  EXPECT_DOUBLE_EQ(f.resoScaler[0], 1 + 3.0999999999999996 * 8.176 / 90);
  EXPECT_EQ(f.resoScaler[6144], 4.1);    // 130.8 Hz
  EXPECT_EQ(f.resoScaler[17280], 4.005);
  const double f1000 = PitchSteps::convert2Hz(10200);
  ASSERT_GT(f1000, 500);
  ASSERT_LT(f1000, 2000);
  EXPECT_DOUBLE_EQ(f.resoScaler[10200], 4.1 - (4.1 - 4.005) * (f1000 - 500) / 1500);
  EXPECT_DOUBLE_EQ(f.freq2rad[8832], 2 * M_PI * 440 / 44100);
}

TEST(LadderTables, PerRateTablesDoNotDisturbOtherInstances) {
  VCF a, b;
  a.setSampleRate(44100);
  b.setSampleRate(96000);
  EXPECT_DOUBLE_EQ(a.freq2rad[8832], 2 * M_PI * 440 / 44100);
  EXPECT_DOUBLE_EQ(b.freq2rad[8832], 2 * M_PI * 440 / 96000);
}

TEST(Ladder, UnityGainAtDCWithoutEmphasis) {
  VCF f = makeFilter(8000, 0);
  double y = 0;
  for (int i = 0; i < 20000; ++i) y = f.process(0.25, 0);
  EXPECT_NEAR(y, 0.25, 1e-9);
  EXPECT_EQ(f.outputGain, 1.0);
  EXPECT_EQ(f.feedback, 0.0);
}

TEST(Ladder, FourPoleSlope) {
  // Two octaves above the cutoff a four-pole low-pass is about 48 dB down.
  VCF f = makeFilter(6144, 0);
  const double hz = PitchSteps::convert2Hz(6144) * 4;
  std::vector<double> out(44100);
  for (size_t i = 0; i < out.size(); ++i) out[i] = f.process(std::sin(2 * M_PI * hz * i / 44100), 0);
  EXPECT_NEAR(testutil::dB(testutil::toneMagnitude(out, hz, 44100)), -48, 3);
}

TEST(Ladder, OutputGainFollowsEmphasis) {
  for (auto [emphasis, gain] : {std::pair{0.0, 1.0}, {0.5, 2.0}, {1.0, 1.0}, {1.1, 2 - 1.2 * 1.2}}) {
    VCF f = makeFilter(8000, emphasis);
    EXPECT_NEAR(f.outputGain, gain, 1e-12) << emphasis;
  }
}

TEST(Ladder, SelfOscillatesAtHighEmphasis) {
  // Between 90 and 500 Hz the feedback passes 4 above emphasis 0.976.
  VCF f = makeFilter(6144, 1.1);
  f.process(0.5, 0);  // a kick
  std::vector<double> out(44100);
  for (double& v : out) v = f.process(0, 0);
  std::vector<double> tail(out.begin() + 22050, out.end());
  EXPECT_GT(testutil::rms(tail), 0.05);
  for (double v : tail) ASSERT_TRUE(std::isfinite(v));
}

TEST(Ladder, InitialStatesGiveADecayingTransient) {
  VCF f;
  f.setCutoff(8000, false);
  EXPECT_EQ(f.stage[1], 1.0);
  EXPECT_EQ(f.stage[3], -1.0);
  const double first = f.process(0, 0);
  EXPECT_NE(first, 0.0);
  double last = first;
  for (int i = 0; i < 44100; ++i) last = f.process(0, 0);
  EXPECT_LT(std::fabs(last), 1e-9);
}

TEST(Ladder, RecoversFromNotANumber) {
  VCF f = makeFilter(8000, 0.5);
  EXPECT_FALSE(std::isnan(f.process(std::nan(""), 0)));  // the input reads as 0
  f.stage[2] = std::nan("");
  double y = f.process(0.1, 0);
  for (int i = 0; i < 20000; ++i) y = f.process(0.1, 0);
  EXPECT_FALSE(std::isnan(y));
  for (double s : f.stage) EXPECT_FALSE(std::isnan(s));
}

TEST(Ladder, ExtremeCutoffAndModulationSaturate) {
  VCF f = makeFilter(INT_MAX, 0.3);
  EXPECT_TRUE(std::isfinite(f.process(0.2, INT_MAX)));
  EXPECT_EQ(f.cachedIndex, INT_MAX);
  EXPECT_DOUBLE_EQ(f.stageGain, f.freq2rad[17280] / (f.freq2rad[17280] + 2));
  f.setCutoff(INT_MIN, false);
  EXPECT_TRUE(std::isfinite(f.process(0.2, INT_MIN)));
  EXPECT_EQ(f.cachedIndex, INT_MIN);
  EXPECT_DOUBLE_EQ(f.stageGain, f.freq2rad[0] / (f.freq2rad[0] + 2));
}

TEST(Ladder, EmphasisActsOnlyAfterTheCoefficientsAreRecomputed) {
  VCF f = makeFilter(8000, 0);
  f.emphasis = 0.8;
  f.process(0, 0);
  EXPECT_EQ(f.feedback, 0.0);
  f.process(0, 1);  // a new index recomputes
  EXPECT_GT(f.feedback, 0.0);
}

TEST(Ladder, GlidingCutoffMovesOneStepPerSample) {
  VCF f = makeFilter(1000, 0);
  f.setCutoff(1005, true);
  EXPECT_EQ(f.cutoffStep, 1);
  for (int i = 1; i <= 5; ++i) {
    f.process(0, 0);
    EXPECT_EQ(f.currentCutoff, 1000 + i);
  }
  f.process(0, 0);
  EXPECT_EQ(f.currentCutoff, 1005);
  f.setCutoff(1005, true);
  EXPECT_EQ(f.cutoffStep, 0);
}
