// SPDX-License-Identifier: ISC
// The controller map and MIDI learn on their own: binding in either order,
// one controller per parameter, unlearning by either, and the switch.
#include <gtest/gtest.h>

#include "synth/midi_learn.h"

TEST(MidiLearn, BindsTheNextControllerAndParameterInEitherOrder) {
  MidiLearn learn;
  for (int cc = 0; cc < kNumControllers; ++cc) EXPECT_EQ(learn.target(cc), -1);
  learn.doMidiLearn(true);
  learn.setMidiLearnCC(20);
  EXPECT_TRUE(learn.midiLearnActive);  // waits for the parameter
  learn.setMidiLearnParam(7);
  EXPECT_FALSE(learn.midiLearnActive);
  EXPECT_EQ(learn.target(20), 7);

  learn.doMidiLearn(true);
  learn.setMidiLearnParam(9);
  learn.setMidiLearnCC(21);
  EXPECT_EQ(learn.target(21), 9);
  EXPECT_EQ(learn.target(20), 7);
}

TEST(MidiLearn, AParameterIsMovedByOneControllerAtMost) {
  MidiLearn learn;
  learn.doMidiLearn(true);
  learn.setMidiLearnCC(20);
  learn.setMidiLearnParam(7);
  learn.doMidiLearn(true);
  learn.setMidiLearnCC(30);
  learn.setMidiLearnParam(7);
  EXPECT_EQ(learn.target(30), 7);
  EXPECT_EQ(learn.target(20), -1);
}

TEST(MidiLearn, UnlearnFreesByControllerOrByParameter) {
  MidiLearn learn;
  int map[kNumControllers];
  for (int& target : map) target = -1;
  map[20] = 7;
  map[21] = 8;
  learn.setMap(map);
  learn.doMidiUnlearn(true);
  learn.setMidiLearnCC(20);
  EXPECT_FALSE(learn.midiLearnActive);
  EXPECT_EQ(learn.target(20), -1);
  learn.doMidiUnlearn(true);
  learn.setMidiLearnParam(8);
  EXPECT_EQ(learn.target(21), -1);
  learn.copyMap(map);
  for (int target : map) EXPECT_EQ(target, -1);
}

TEST(MidiLearn, NothingIsLearnedWhileTheSwitchIsOffOrForAControllerOutOfRange) {
  MidiLearn learn;
  learn.setMidiLearnCC(20);
  learn.setMidiLearnParam(7);
  EXPECT_EQ(learn.target(20), -1);
  learn.doMidiLearn(true);
  learn.setMidiLearnCC(kNumControllers);
  learn.setMidiLearnParam(7);
  EXPECT_TRUE(learn.midiLearnActive);  // still waiting for a controller it can bind
  EXPECT_EQ(learn.target(kNumControllers), -1);
  learn.doMidiLearn(false);
  learn.setMidiLearnCC(20);
  EXPECT_EQ(learn.target(20), -1);
}
