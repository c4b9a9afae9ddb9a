// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "modules/filter.h"
#include "test_util.h"

namespace {

// Steady-state gain in dB of `filter` for a sine at `hz`.
double gainAt(Filter& filter, double hz, double rate = 44100) {
  std::vector<double> out(static_cast<size_t>(rate));
  for (size_t i = 0; i < out.size(); ++i) out[i] = filter.process(std::sin(2 * M_PI * hz * i / rate));
  std::vector<double> tail(out.begin() + out.size() / 2, out.end());
  return testutil::dB(testutil::rms(tail) / std::sqrt(0.5));
}

template <class F>
F make(double hz, double rate = 44100) {
  F f;
  f.setSampleRate(rate);
  f.setFrequency(hz);
  return f;
}

struct CountingLowPass : LowPass {
  int calculations = 0;
  void calculateCoefficients() override {
    ++calculations;
    LowPass::calculateCoefficients();
  }
};

}  // namespace

TEST(SoftClip, KnownValues) {
  EXPECT_EQ(Filter::softClip(-3), -1.0);
  EXPECT_EQ(Filter::softClip(0), 0.0);
  EXPECT_DOUBLE_EQ(Filter::softClip(1), 28.0 / 36.0);
  EXPECT_EQ(Filter::softClip(3), 1.0);
  EXPECT_EQ(Filter::softClip(100), 1.0);
  EXPECT_EQ(Filter::softClip(-100), -1.0);
  EXPECT_TRUE(std::isnan(Filter::softClip(std::nan(""))));
}

TEST(SoftClip, MonotonicAndBounded) {
  double previous = -1;
  for (double v = -4; v <= 4; v += 0.001) {
    const double y = Filter::softClip(v);
    ASSERT_GE(y, previous);
    ASSERT_LE(std::fabs(y), 1.0);
    previous = y;
  }
}

TEST(BandPass, ResponseAroundTheHumCentre) {
  // The shared biquad routine gives this band-pass gain below its centre.
  const struct {
    double hz, dB;
  } points[] = {{60, 29.6}, {330, 26.6}, {1000, 10.2}, {5000, -19.7}};
  for (const auto& p : points) {
    auto f = make<BandPass>(330);
    EXPECT_NEAR(gainAt(f, p.hz), p.dB, 0.1) << p.hz;
  }
}

TEST(Biquads, LowAndHighPassAreButterworth) {
  auto lp = make<LowPass>(2000);
  EXPECT_NEAR(gainAt(lp, 2000), -3.01, 0.05);
  lp = make<LowPass>(2000);
  EXPECT_NEAR(gainAt(lp, 100), 0, 0.05);
  auto hp = make<HighPass>(320);
  EXPECT_NEAR(gainAt(hp, 320), -3.01, 0.05);
  hp = make<HighPass>(320);
  EXPECT_LT(gainAt(hp, 20), -45);
}

TEST(Biquads, HighPassRemovesDC) {
  auto hp = make<HighPass>(12);
  double y = 0;
  for (int i = 0; i < 44100; ++i) y = hp.process(0.5);
  EXPECT_LT(std::fabs(y), 1e-3);
}

TEST(Biquads, CoefficientsAreComputedOnlyWhenTheFrequencyChanges) {
  CountingLowPass f;
  f.setSampleRate(44100);
  f.setFrequency(1000);
  f.setFrequency(1000);
  EXPECT_EQ(f.calculations, 1);
  f.setFrequency(1001);
  EXPECT_EQ(f.calculations, 2);
  f.setSampleRate(48000);  // frequency back to 0: setFrequency(0) computes nothing
  f.setFrequency(0);
  EXPECT_EQ(f.calculations, 2);
}

TEST(Biquads, RecoverFromANotANumberInput) {
  auto f = make<LowPass>(1000);
  for (int i = 0; i < 10; ++i) f.process(0.3);
  EXPECT_TRUE(std::isnan(f.process(std::nan(""))));
  double y = 0;
  for (int i = 0; i < 2000; ++i) {
    y = f.process(0.3);
    ASSERT_FALSE(std::isnan(y)) << i;
  }
  EXPECT_NEAR(y, 0.3, 1e-6);
}

TEST(LowPass6dB, OnePoleResponse) {
  auto f = make<LowPass6dB>(80);
  EXPECT_NEAR(gainAt(f, 10), 0, 0.1);
  f = make<LowPass6dB>(80);
  EXPECT_NEAR(gainAt(f, 80), -3.01, 0.05);
  f = make<LowPass6dB>(80);
  EXPECT_NEAR(gainAt(f, 800), -20.0, 0.2);  // 6 dB per octave
}

TEST(LowPass6dB, RecoversFromANotANumberState) {
  auto f = make<LowPass6dB>(80);
  f.y1 = std::nan("");
  double y = 0;
  for (int i = 0; i < 44100; ++i) y = f.process(1.0);
  EXPECT_NEAR(y, 1.0, 1e-6);
}

TEST(Biquads, StayStableWithACornerAboveTheNyquistFrequency) {
  auto f = make<LowPass>(16000, 32000);
  double y = 0;
  for (int i = 0; i < 32000; ++i) y = f.process(i % 2 ? 0.5 : -0.5);
  EXPECT_TRUE(std::isfinite(y));
  EXPECT_LT(std::fabs(y), 1.0);
}
