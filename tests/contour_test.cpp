// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <cmath>

#include "modules/contour.h"

namespace {
// Updates until the level has covered 90 % of the way from `from` to `to`.
int updatesToCover90Percent(Contour& c, double from, double to) {
  const double goal = from + 0.9 * (to - from);
  int n = 0;
  while (n < 10000000 && (to > from ? c.value < goal : c.value > goal)) {
    c.update();
    ++n;
  }
  return n;
}
}  // namespace

TEST(ContourAttack, FastestAttackSequence) {
  Contour c;
  c.start();
  const double expected[] = {0.5105, 0.7864, 0.9356};
  for (double e : expected) {
    c.update();
    EXPECT_NEAR(c.value, e, 5e-5);
    EXPECT_EQ(c.state, Contour::kAttack);
  }
  c.update();
  EXPECT_EQ(c.value, 1.0);
  EXPECT_EQ(c.state, Contour::kDecay);
}

TEST(ContourDecay, KnobValuesGiveTheirTimes) {
  // 90 % of the way from the peak to a sustain of 0 takes 10^(4.5 v - 2.3) s.
  for (double v : {0.0, 0.25, 0.5}) {
    Contour c;
    c.setDecay(v);
    c.start();
    while (c.state == Contour::kAttack) c.update();
    const double seconds = updatesToCover90Percent(c, 1.0, 0.0) / 1000.0;
    const double expected = std::pow(10, 4.5 * v - 2.3);
    EXPECT_NEAR(seconds, expected, expected * 0.02 + 0.001) << v;
  }
}

TEST(ContourAttack, StartDuringReleaseRisesFromThePresentLevel) {
  Contour c;
  c.start();
  for (int i = 0; i < 4; ++i) c.update();
  c.stop();
  c.update();
  const double level = c.value;
  ASSERT_GT(level, 0);
  ASSERT_LT(level, 1);
  c.start();
  EXPECT_EQ(c.state, Contour::kAttack);
  EXPECT_EQ(c.value, level);
  c.update();
  EXPECT_GT(c.value, level);
}

TEST(ContourAttack, StartDuringDecayChangesNothing) {
  Contour c;
  c.setDecay(0.5);
  c.setSustain(0.3);
  c.start();
  for (int i = 0; i < 10; ++i) c.update();
  ASSERT_EQ(c.state, Contour::kDecay);
  const Contour before = c;
  c.start();
  EXPECT_EQ(c.state, before.state);
  EXPECT_EQ(c.value, before.value);
  EXPECT_EQ(c.target, before.target);
  EXPECT_EQ(c.coefficient, before.coefficient);
}

TEST(ContourDecay, SustainChangeActsAtOnceInDecayAndLaterInAttack) {
  Contour c;
  c.setAttack(0.5);
  c.setSustain(0.2);
  c.start();
  c.update();
  c.setSustain(0.6);  // in attack: only remembered
  EXPECT_EQ(c.target, Contour::kAttackTarget);
  while (c.state == Contour::kAttack) c.update();
  EXPECT_EQ(c.target, 0.6);
  c.setSustain(0.4);
  EXPECT_EQ(c.target, 0.4);
}

TEST(ContourDecay, DecayNeverEndsByItselfEvenAtZeroSustain) {
  Contour c;
  c.start();
  for (int i = 0; i < 100000; ++i) c.update();
  EXPECT_TRUE(c.isOn());
  EXPECT_GE(c.value, 0);
}

// The engine steps a contour that cannot end before its release without
// looking for its end: through attack and decay, at the fastest and the
// slowest times and at the lowest sustain that counts as held, no step ends it.
TEST(ContourDecay, AContourThatCannotEndBeforeReleaseDoesNot) {
  for (double rate : {1000.0, 48000.0, 192000.0})
    for (double time : {0.0, 1.0}) {
      Contour c;
      c.setSampleRate(rate);
      c.setAttack(time);
      c.setDecay(time);
      c.setSustain(Contour::kLowestHeldSustain);
      c.start();
      for (int i = 0; i < 200000; ++i) {
        ASSERT_TRUE(c.cannotEndBeforeRelease());
        c.update();
        ASSERT_TRUE(c.isOn()) << rate << " " << time << " " << i;
        ASSERT_GT(c.value, 0);
      }
      c.stop();
      EXPECT_FALSE(c.cannotEndBeforeRelease());
    }
  Contour quiet;
  quiet.setSustain(0.0);
  quiet.start();
  EXPECT_FALSE(quiet.cannotEndBeforeRelease());  // a decay toward nothing may reach it
}

TEST(ContourRelease, SwitchSelectsFastOrDecayTimedRelease) {
  Contour fast, slow;
  for (Contour* c : {&fast, &slow}) {
    c->setDecay(0.5);
    c->start();
    for (int i = 0; i < 10; ++i) c->update();
    c->stop();
  }
  slow.setRelease(true);
  EXPECT_EQ(fast.coefficient, fast.coefficientFor(0.01));
  EXPECT_EQ(slow.coefficient, slow.coefficientFor(0.5));
  // While releasing, a new decay changes the release only when the switch is on.
  fast.setDecay(0.7);
  slow.setDecay(0.7);
  EXPECT_EQ(fast.coefficient, fast.coefficientFor(0.01));
  EXPECT_EQ(slow.coefficient, slow.coefficientFor(0.7));
}

TEST(ContourRelease, EndsAtZeroAndTurnsOff) {
  Contour c;
  c.start();
  for (int i = 0; i < 4; ++i) c.update();
  c.stop();
  int n = 0;
  while (c.isOn() && n < 100) {
    c.update();
    ++n;
  }
  EXPECT_FALSE(c.isOn());
  EXPECT_EQ(c.value, 0.0);
  EXPECT_LE(n, 10);  // about 5.6 ms at 1000 updates per second
}

TEST(ContourRelease, StopOnAnIdleContourTurnsItOffAfterOneUpdate) {
  Contour c;
  c.stop();
  EXPECT_TRUE(c.isOn());
  c.update();
  EXPECT_FALSE(c.isOn());
  EXPECT_EQ(c.value, 0.0);
}

TEST(ContourReset, SilencesWithoutRelease) {
  Contour c;
  c.start();
  c.update();
  c.reset();
  EXPECT_FALSE(c.isOn());
  EXPECT_EQ(c.value, 0.0);
  c.update();
  EXPECT_EQ(c.value, 0.0);
}
