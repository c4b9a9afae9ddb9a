// SPDX-License-Identifier: ISC
// Playing the instrument: priority, triggering, glide, pedal, controllers.
#include <gtest/gtest.h>

#include "engine_harness.h"

using testutil::Engine;
using testutil::midiAt;
using testutil::paramAt;

TEST(EngineNotes, LowestNotePriorityWithoutRetrigger) {
  Engine e;
  e.plainPatch();
  e.render(441, {midiAt(0, IMidiMsg::noteOn(0, 48, 100))});
  const double level = e.view().loudnessContour().value;
  e.render(441, {midiAt(e.now, IMidiMsg::noteOn(0, 55, 100))});
  EXPECT_EQ(e.view().currentNote(), 48);
  EXPECT_EQ(e.view().currentPitch(), 48 * 128);
  EXPECT_NE(e.view().loudnessContour().state, Contour::kAttack);
  EXPECT_GE(e.view().loudnessContour().value, level * 0.999);
  e.render(441, {midiAt(e.now, IMidiMsg::noteOff(0, 48))});
  EXPECT_EQ(e.view().currentNote(), 55);
  EXPECT_EQ(e.view().currentPitch(), 55 * 128);
  EXPECT_NE(e.view().loudnessContour().state, Contour::kAttack);
}

TEST(EngineNotes, NoteAfterReleaseJumpsAndRestartsTheAttackFromItsLevel) {
  Engine e;
  e.plainPatch();
  e.set(kGlide, 1);
  e.set(kGlideTime, 0.5);
  e.set(kDecay, 1);
  e.set(kLoudnessDecay, 0.5);
  e.render(4410, {midiAt(0, IMidiMsg::noteOn(0, 48, 100)), midiAt(2205, IMidiMsg::noteOff(0, 48))});
  ASSERT_EQ(e.view().loudnessContour().state, Contour::kRelease);
  const double level = e.view().loudnessContour().value;
  e.render(1, {midiAt(e.now, IMidiMsg::noteOn(0, 60, 100))});
  EXPECT_EQ(e.view().currentPitch(), 60 * 128);  // no glide from a released key
  EXPECT_EQ(e.view().loudnessContour().state, Contour::kAttack);
  EXPECT_GT(e.view().loudnessContour().value, level);
  EXPECT_LT(e.view().loudnessContour().value, level + 0.1);
}

TEST(EngineNotes, LegatoGlideTakesEqualStepsAndLandsOnTheTarget) {
  Engine e;
  e.plainPatch();
  e.set(kGlide, 1);
  e.set(kGlideTime, 0.05);  // 0.25 s
  EXPECT_DOUBLE_EQ(e.view().glideTime(), 0.25);
  const int L = e.w().getSliceLength();
  e.render(L * 10, {midiAt(0, IMidiMsg::noteOn(0, 60, 100))});
  e.render(L, {midiAt(e.now, IMidiMsg::noteOn(0, 48, 100))});  // lower key held: glide down
  EXPECT_EQ(e.view().glideSteps(), 250);
  double previous = e.view().currentPitch();
  ASSERT_EQ(previous, 60 * 128);
  const double step = (48 * 128 - 60 * 128) / 250.0;
  for (int i = 1; i <= 250; ++i) {
    e.render(L);
    if (i < 250) {
      ASSERT_NEAR(e.view().currentPitch() - previous, step, 1e-9) << i;
    }
    previous = e.view().currentPitch();
  }
  EXPECT_EQ(e.view().currentPitch(), 48 * 128);
  EXPECT_EQ(e.view().glideSteps(), 0);
}

TEST(EngineNotes, ReleasingAnotherKeyRestartsTheGlide) {
  Engine e;
  e.plainPatch();
  e.set(kGlide, 1);
  e.set(kGlideTime, 0.05);
  const int L = e.w().getSliceLength();
  e.render(L * 2, {midiAt(0, IMidiMsg::noteOn(0, 60, 100)), midiAt(1, IMidiMsg::noteOn(0, 64, 100))});
  e.render(L, {midiAt(e.now, IMidiMsg::noteOn(0, 48, 100))});
  e.render(L * 100);
  ASSERT_EQ(e.view().glideSteps(), 150);
  e.render(L, {midiAt(e.now, IMidiMsg::noteOff(0, 64))});
  EXPECT_EQ(e.view().glideSteps(), 250);
  EXPECT_EQ(e.view().targetPitch(), 48 * 128);
}

TEST(EngineNotes, SustainPedal) {
  Engine e;
  e.plainPatch();
  // Key down, pedal down, key up: the note holds; pedal up: release.
  e.render(441, {midiAt(0, IMidiMsg::noteOn(0, 48, 100)), midiAt(100, IMidiMsg::controlChange(0, 64, 1)),
                 midiAt(200, IMidiMsg::noteOff(0, 48))});
  EXPECT_TRUE(e.view().sustainOn());
  EXPECT_FALSE(e.view().keyDown());
  EXPECT_EQ(e.view().loudnessContour().state, Contour::kDecay);
  // While sustained a new key is not legato: the pitch jumps, no new attack.
  e.render(441, {midiAt(e.now, IMidiMsg::noteOn(0, 60, 100)), midiAt(e.now + 50, IMidiMsg::noteOff(0, 60))});
  EXPECT_EQ(e.view().currentPitch(), 60 * 128);
  EXPECT_EQ(e.view().loudnessContour().state, Contour::kDecay);
  e.render(441, {midiAt(e.now, IMidiMsg::controlChange(0, 64, 0))});
  EXPECT_FALSE(e.view().sustainOn());
  EXPECT_NE(e.view().loudnessContour().state, Contour::kDecay);
}

TEST(EngineNotes, VelocityZeroIsANoteOffAndAllNotesOffSilences) {
  Engine e;
  e.plainPatch();
  e.render(441, {midiAt(0, IMidiMsg::noteOn(0, 48, 100)), midiAt(200, IMidiMsg::noteOn(0, 48, 0))});
  EXPECT_FALSE(e.view().keyDown());
  EXPECT_EQ(e.view().loudnessContour().state, Contour::kRelease);
  for (int cc : {120, 123}) {
    e.render(441, {midiAt(e.now, IMidiMsg::noteOn(0, 48, 100)), midiAt(e.now + 1, IMidiMsg::noteOn(0, 50, 100))});
    ASSERT_TRUE(e.w().isKeyPressed(50));
    e.render(1, {midiAt(e.now, IMidiMsg::controlChange(0, cc, 0))});
    EXPECT_FALSE(e.view().voiceActive()) << cc;
    EXPECT_FALSE(e.w().isKeyPressed(48)) << cc;
    EXPECT_FALSE(e.view().loudnessContour().isOn()) << cc;
  }
}

TEST(EngineControllers, PitchBendAndModulationWheelValues) {
  Engine e;
  const struct {
    uint8_t lsb, msb;
    double bend;
  } cases[] = {{0x00, 0x40, 0.0}, {0x7F, 0x7F, 8191.0 / 8192}, {0x00, 0x00, -1.0}};
  for (const auto& c : cases) {
    e.render(100, {midiAt(e.now, IMidiMsg(0, 0xE3, c.lsb, c.msb))});
    EXPECT_EQ(e.view().pitchBend(), c.bend);
  }
  e.render(100, {midiAt(e.now, IMidiMsg::controlChange(0, 1, 127))});
  EXPECT_EQ(e.view().modWheel(), 1.0);
}

TEST(EngineControllers, OffsetRuleTakesABendAtTheNearestSliceBoundary) {
  // 256-frame blocks at 44.1 kHz, slices of 44: a bend at offset 120 waits
  // until offset 142, i.e. the fourth slice (sample 132); one at 40 acts at 0.
  auto renderWithBend = [](int offset) {
    Engine e(44100, 256);
    e.plainPatch();
    e.set(kOsc1Waveform, VCO::kSawtooth);
    e.render(44 * 58, {midiAt(0, IMidiMsg::noteOn(0, 60, 100))});  // the next block starts a slice
    std::vector<testutil::TimedEvent> events;
    if (offset >= 0) events.push_back(midiAt(e.now + offset, IMidiMsg::pitchWheel(0, 16000)));
    return e.render(256, events);
  };
  const auto none = renderWithBend(-1);
  const auto at120 = renderWithBend(120);
  const auto at132 = renderWithBend(132);
  int firstDifference = -1;
  for (int i = 0; i < 256 && firstDifference < 0; ++i)
    if (at120[i] != none[i]) firstDifference = i;
  EXPECT_GE(firstDifference, 132);
  EXPECT_EQ(at120, at132);
  EXPECT_EQ(renderWithBend(40), renderWithBend(0));
}

TEST(EngineControllers, LearnedControllerDrivesItsParameter) {
  Engine e;
  e.w().midiLearn.doMidiLearn(true);
  e.set(kCutoff, 0.3);  // touching a control selects it
  e.render(100, {midiAt(e.now, IMidiMsg::controlChange(0, 74, 10))});
  EXPECT_EQ(e.w().midiLearn.ccMap[74], kCutoff);
  EXPECT_FALSE(e.w().midiLearn.midiLearnActive);
  EXPECT_DOUBLE_EQ(e.value(kCutoff), 0.3);  // the learning controller changed nothing
  e.render(100, {midiAt(e.now, IMidiMsg::controlChange(0, 74, 127))});
  EXPECT_DOUBLE_EQ(e.value(kCutoff), 1.0);
  EXPECT_EQ(e.callbacks.changes.back(), std::make_pair(static_cast<int>(kCutoff), 1.0));
}

TEST(EngineTiming, NoteEventsLandOnTheirOwnSampleAcrossBlocks) {
  // Slices of 44 in blocks of 64: the slice that starts at 44 runs on into
  // the second block. A note at frame 84 (offset 20 of that block, offset
  // 40 of its slice) must start exactly there.
  Engine silent(44100, 64), played(44100, 64);
  for (Engine* e : {&silent, &played}) {
    e->plainPatch();
    e->render(64 * 20);
  }
  const long start = played.now;
  const auto a = silent.render(256);
  const auto b = played.render(256, {midiAt(start + 84, IMidiMsg::noteOn(0, 60, 100))});
  int first = -1;
  for (int i = 0; i < 256 && first < 0; ++i)
    if (a[i] != b[i]) first = i;
  EXPECT_EQ(first, 84);
}

TEST(EngineTiming, MalformedMidiIsIgnoredOrClamped) {
  Engine e;
  e.plainPatch();
  const IMidiMsg junk[] = {IMidiMsg(-50, 0x90, 60, 100), IMidiMsg(1 << 30, 0x90, 62, 100),
                           IMidiMsg(3, 0x90, 200, 100),  IMidiMsg(4, 0x40, 60, 100),
                           IMidiMsg(5, 0xF8, 0, 0),      IMidiMsg(6, 0xB0, 64, 255),
                           IMidiMsg(7, 0xE0, 255, 255)};
  std::vector<double> left(64), right(64);
  for (int i = 0; i < 50; ++i) e.host->process(junk, 7, left.data(), right.data(), 64);
  EXPECT_TRUE(testutil::allFinite(left));
  EXPECT_TRUE(e.w().isKeyPressed(60));   // negative offset: at the start
  EXPECT_TRUE(e.w().isKeyPressed(62));   // beyond the block: at its end
  EXPECT_FALSE(e.w().isKeyPressed(200 & 0x7F));
  EXPECT_EQ(e.view().pitchBend(), 0.0);
}

// A reset drops only the messages already taken: a pitch bend late in a
// block, which waits for the next slice, still bends after a reset at the
// same rate (hosts reset when the transport stops or the block size changes).
TEST(EngineReset, KeepsTheMidiThatWaitsForALaterSlice) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "with a reset between the blocks" : "without a reset");
    Engine e(48000, 512);
    std::vector<double> left(512), right(512);
    const IMidiMsg bend = IMidiMsg::pitchWheel(505, 16383);
    e.host->process(&bend, 1, left.data(), right.data(), 512);
    if (reset) e.w().OnReset();
    e.host->process(nullptr, 0, left.data(), right.data(), 512);
    EXPECT_DOUBLE_EQ(e.view().pitchBend(), 8191.0 / 8192);
  }
}
