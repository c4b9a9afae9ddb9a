// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include "modules/pitch.h"

TEST(Convert2Hz, KnownPitchSteps) {
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(0), 8.176);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(64), (8.176 + 8.662) / 2);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(7680), 261.626);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(8832), 440.0);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(17280), 19912.127);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(-17280), 0.0033570162);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(-128), 7.7171163805);
}

TEST(Convert2Hz, SaturatesBeyondTheTables) {
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(17279 + 1), 19912.127);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(2147483647), 19912.127);
  EXPECT_DOUBLE_EQ(PitchSteps::convert2Hz(-2147483647 - 1), 0.0033570162);
}

TEST(Convert2Hz, RisesMonotonicallyAndLinearlyWithinASemitone) {
  double previous = 0;
  for (int step = -17280; step <= 17280; ++step) {
    const double hz = PitchSteps::convert2Hz(step);
    ASSERT_GT(hz, previous) << "step " << step;
    previous = hz;
  }
  // Linear, not exponential, inside a semitone: equal increments.
  const double d1 = PitchSteps::convert2Hz(7681) - PitchSteps::convert2Hz(7680);
  const double d2 = PitchSteps::convert2Hz(7700) - PitchSteps::convert2Hz(7699);
  EXPECT_NEAR(d1, d2, 1e-12);
}

TEST(Convert2Hz, TablesRoundAsTheInstrumentAlwaysHad) {
  EXPECT_DOUBLE_EQ(PitchSteps::MIDI2Hz[124], 10548.08);
  EXPECT_DOUBLE_EQ(PitchSteps::MIDI2Hz[127], 12543.85);
  EXPECT_DOUBLE_EQ(PitchSteps::MIDI2Hz[128], 13289.75);
  EXPECT_DOUBLE_EQ(PitchSteps::AntiMIDI2Hz[134], 0.0035566347);
}
