// SPDX-License-Identifier: ISC
// Pitch as a listener hears it: footages, detunes, tune, bend and warm-up drift.
#include <gtest/gtest.h>

#include "engine_harness.h"

using testutil::Engine;
using testutil::frequencyOfPitch;
using testutil::measureFrequency;
using testutil::midiAt;

namespace {

// Holds `note` and measures the output frequency over `seconds` after a settling tenth.
double heldNoteFrequency(Engine& e, int note, double seconds = 1.0) {
  const double rate = e.w().GetSampleRate();
  const long settle = static_cast<long>(rate / 10);
  auto out = e.render(settle + static_cast<long>(rate * seconds), {midiAt(e.now, IMidiMsg::noteOn(0, note, 100))});
  return measureFrequency(out, rate, static_cast<size_t>(settle));
}

}  // namespace

TEST(EnginePitch, EachFootageOfOsc1) {
  const double steps[] = {-10752, -3072, -1536, 0, 1536, 3072};
  for (int range = 0; range < 6; ++range) {
    Engine e;
    e.plainPatch();
    e.set(kOsc1Range, range);
    const int note = range == 0 ? 96 : 60;  // LO plays 7 octaves down: take a high key
    const double expected = frequencyOfPitch(note * 128 + steps[range]);
    EXPECT_NEAR(heldNoteFrequency(e, note, range == 0 ? 3.0 : 1.0), expected, expected * 2e-4) << range;
  }
}

TEST(EnginePitch, Osc2IsTenCentsSharpAndOsc3TwentyCentsFlat) {
  Engine two;
  two.plainPatch();
  two.set(kOsc1, 0);
  two.set(kOsc2, 1);
  two.set(kOsc2Waveform, VCO::kTriangular);
  EXPECT_NEAR(heldNoteFrequency(two, 60), frequencyOfPitch(7680 - 1536 + 12.8), 0.02);

  Engine three;
  three.plainPatch();
  three.set(kOsc1, 0);
  three.set(kOsc3, 1);
  three.set(kOsc3Waveform, VCO::kTriangular);
  EXPECT_NEAR(heldNoteFrequency(three, 60), frequencyOfPitch(7680 - 1536 - 25.6), 0.02);
}

TEST(EnginePitch, TuneWidensBeyondOneAndAHalfSemitones) {
  for (auto [tune, steps] : {std::pair{1.5, 192.0}, {2.0, 800.0}, {-2.5, -4288.0}}) {
    Engine e;
    e.plainPatch();
    e.set(kTune, tune);
    EXPECT_DOUBLE_EQ(e.view().tuneOffset(), steps);
    const double expected = frequencyOfPitch(7680 - 1536 + steps);
    EXPECT_NEAR(heldNoteFrequency(e, 60), expected, expected * 2e-4) << tune;
  }
}

TEST(EnginePitch, PitchBendSpansSevenSemitones) {
  Engine e;
  e.plainPatch();
  e.render(100, {midiAt(0, IMidiMsg::pitchWheel(0, 16383))});
  EXPECT_DOUBLE_EQ(e.view().pitchBend(), 8191.0 / 8192);
  const double expected = frequencyOfPitch(7680 - 1536 + 896.0 * 8191 / 8192);
  EXPECT_NEAR(heldNoteFrequency(e, 60), expected, expected * 2e-4);
}

TEST(EngineWarmUp, FreshUnitDriftsFlat) {
  Engine e;
  e.set(kPower, 1);
  e.set(kVoltage, 1);
  e.set(kOsc1, 0);
  e.set(kOsc2, 1);
  e.set(kOsc2Waveform, VCO::kTriangular);
  ASSERT_EQ(e.view().warmUpState(), 0);
  e.renderSlices(30000);
  // Timers started at (0, 60, 120) s and lose 1 ms per slice.
  EXPECT_NEAR(e.view().osc1Offset(), 0, 1e-9);
  EXPECT_NEAR(e.view().osc2Offset(), 12.8 - 3 * 30.0, 0.01);
  EXPECT_NEAR(e.view().osc3Offset(), -25.6 - 3 * 90.0, 0.01);
  // Measured over 0.5 s after a settling 0.1 s, the drift of the window's middle.
  const double expected = frequencyOfPitch(7680 - 1536 + 12.8 - 3 * (30 - 0.35 * 44100 / 44 / 1000));
  EXPECT_NEAR(heldNoteFrequency(e, 60, 0.5), expected, expected * 2e-4);
}

TEST(EngineWarmUp, WarmsByItselfWhenTheLongestTimerHasRunOut) {
  Engine e;
  e.set(kPower, 1);
  e.renderSlices(119990);
  EXPECT_EQ(e.value(kWarmUp), 0);
  e.renderSlices(20);
  EXPECT_EQ(e.value(kWarmUp), 2);
  EXPECT_EQ(e.view().warmUpState(), 2);
  ASSERT_FALSE(e.callbacks.changes.empty());
  EXPECT_EQ(e.callbacks.changes.back(), std::make_pair(static_cast<int>(kWarmUp), 1.0));
}

TEST(EngineWarmUp, TwoClicksFirstMakeItWorseThenWarm) {
  Engine e;
  e.set(kPower, 1);
  e.set(kVoltage, 1);
  e.renderSlices(10);
  EXPECT_EQ(e.view().warmUpState(), 0);
  // The message strip's first click asks the host for the first step.
  e.set(kWarmUp, 1);
  EXPECT_EQ(e.view().warmUpState(), 1);
  EXPECT_EQ(e.view().warmUpRemaining(2), 120);  // timers restarted
  e.renderSlices(1);
  EXPECT_NEAR(e.view().osc2Offset(), 12.8 + 6.5 * 60, 1e-9);  // sharp now
  e.set(kWarmUp, 2);
  EXPECT_EQ(e.view().warmUpState(), 2);
  e.renderSlices(1);
  EXPECT_NEAR(e.view().osc2Offset(), 12.8, 1e-9);
}

TEST(EngineWarmUp, TimersStandStillWhileOff) {
  Engine e;
  e.renderSlices(5000);
  EXPECT_EQ(e.view().warmUpRemaining(1), 60);
}
