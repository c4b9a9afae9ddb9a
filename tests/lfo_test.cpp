// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <cmath>

#include "modules/lfo.h"

TEST(LFO, TriangleRisesThenFallsOverOnePeriod) {
  LFO lfo;
  lfo.setRate(0.13);
  lfo.update();
  EXPECT_EQ(lfo.unipolar, 0.0);
  EXPECT_EQ(lfo.bipolar, -1.0);
  double peak = 0;
  int peakAt = 0;
  for (int i = 1; i < 7692; ++i) {
    lfo.update();
    ASSERT_NEAR(lfo.unipolar, 0.5 * lfo.bipolar + 0.5, 1e-15);
    if (lfo.unipolar > peak) {
      peak = lfo.unipolar;
      peakAt = i;
    }
  }
  EXPECT_NEAR(peak, 1.0, 1e-3);
  EXPECT_NEAR(peakAt, 3846, 2);  // half of 1000 / 0.13 updates
  // After a whole period the phase is back near 0.
  EXPECT_NEAR(lfo.lfoPhase, 0.0, lfo.increment);
}

TEST(LFO, PhaseWrapsFromOneToMinusOne) {
  LFO lfo;
  lfo.increment = 0.25;
  lfo.lfoPhase = 0.75;
  lfo.update();
  EXPECT_EQ(lfo.unipolar, 0.75);  // the output lags the phase by one update
  EXPECT_EQ(lfo.lfoPhase, -1.0);
  lfo.update();
  EXPECT_EQ(lfo.unipolar, 1.0);
  EXPECT_EQ(lfo.lfoPhase, -0.75);
}

TEST(LFO, StandsStillWithoutARate) {
  LFO lfo;
  for (int i = 0; i < 10; ++i) lfo.update();
  EXPECT_EQ(lfo.bipolar, -1.0);
  EXPECT_EQ(lfo.unipolar, 0.0);
}
