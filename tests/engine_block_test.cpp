// SPDX-License-Identifier: ISC
// Block processing as a host drives it: independence of the block size,
// and awkward calls.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "engine_probe.h"
#include "engine_phrase.h"
#include "test_util.h"

using testutil::Engine;
using testutil::midiAt;
using testutil::paramAt;

TEST(EngineBlocks, SameSamplesForEveryHostBlockSize) {
  std::vector<double> reference;
  for (int block : {1, 7, 64, 256, 4096, 8192}) {
    Engine e(44100, block, 99);
    testutil::busyPatch(e);
    e.render(333);
    auto events = testutil::phrase();
    for (auto& event : events) event.frame += e.now;
    auto out = e.render(44100, events);
    ASSERT_TRUE(e.lastRightEqualsLeft);
    if (reference.empty()) {
      reference = out;
      continue;
    }
    ASSERT_EQ(out.size(), reference.size());
    size_t firstDifference = out.size();
    for (size_t i = 0; i < out.size() && firstDifference == out.size(); ++i)
      if (out[i] != reference[i]) firstDifference = i;
    EXPECT_EQ(firstDifference, out.size()) << "block " << block;
  }
}

TEST(EngineBlocks, AwkwardCallsNeverStallOrCrash) {
  InstanceInfo info;
  info.randomSeed = 3;
  Wobblytone w(info);
  double left[64], right[64];
  double* outputs[2] = {left, right};
  w.ProcessBlock(nullptr, outputs, 64);  // before any reset
  w.ProcessBlock(nullptr, outputs, 0);
  w.ProcessBlock(nullptr, nullptr, 64);
  for (double v : left) EXPECT_TRUE(std::isfinite(v));

  Engine slow(500, 64);  // below 1 kHz: slices of one sample
  slow.plainPatch();
  auto out = slow.render(2000, {midiAt(10, IMidiMsg::noteOn(0, 60, 100))});
  EXPECT_TRUE(testutil::allFinite(out));
  EXPECT_TRUE(slow.view().voiceActive());
}

TEST(EngineBlocks, ResetAtTheSameRateOnlyForgetsKeysAndSlicePosition) {
  Engine e;
  e.plainPatch();
  e.render(100, {midiAt(0, IMidiMsg::noteOn(0, 60, 100))});
  const double level = e.view().loudnessContour().value;
  e.host->prepare(44100, 64);
  EXPECT_FALSE(e.w().isKeyPressed(60));
  EXPECT_EQ(e.view().loudnessContour().value, level);
  e.host->prepare(48000, 64);
  EXPECT_FALSE(e.view().loudnessContour().isOn());
  EXPECT_EQ(e.w().getSliceLength(), 48);
}

// The guarded render path (the one that mends filter states gone bad) gives
// the same samples as the fast one while everything is a number: plain, with
// the oscillators modulated every sample, decimated, with A-440 and with
// the power off half way (the fast path takes each of these apart).
TEST(EngineGuardedPath, GivesTheFastPathsSamplesForFiniteInput) {
  for (int variant = 0; variant < 5; ++variant) {
    SCOPED_TRACE(testing::Message() << "variant " << variant);
    Engine fast, guarded;
    EngineProbe::renderAlwaysGuarded(guarded.w());
    for (Engine* e : {&fast, &guarded}) {
      e->plainPatch();
      e->set(kEmphasis, 0.9);
      e->set(kNoise, 1);
      if (variant == 1) {
        e->set(kOsc2, 1);
        e->set(kOsc2Waveform, VCO::kWideRectangular);
        e->set(kOsc3, 1);
        e->set(kOscMod, 1);
        e->set(kFilterMod, 1);
        e->set(kModMix, 0.4);
      }
      if (variant == 2) e->set(kOverSample, Properties::kOverSampleQuarter);
      if (variant == 3) e->set(kA440, 1);
    }
    std::vector<testutil::TimedEvent> phrase = {midiAt(100, IMidiMsg::noteOn(0, 48, 100)),
                                                midiAt(20000, IMidiMsg::noteOff(0, 48))};
    if (variant == 1) phrase.push_back(midiAt(100, IMidiMsg::controlChange(0, 1, 90)));
    if (variant == 4) phrase.push_back(paramAt(10000, kPower, 0));
    EXPECT_EQ(fast.render(40000, phrase), guarded.render(40000, phrase));
  }
}

// A not-a-number that gets into the ladder filter in the middle of a note is
// mended: the output never carries it, and the note sounds again.
TEST(EngineGuardedPath, ANotANumberInjectedMidNoteRecovers) {
  Engine e;
  e.plainPatch();
  e.render(2000, {midiAt(0, IMidiMsg::noteOn(0, 48, 100))});
  EngineProbe::spoilFilterStage(e.w(), 1);
  const std::vector<double> after = e.render(20000);
  for (double s : after) ASSERT_TRUE(std::isfinite(s));
  EXPECT_GT(testutil::rms(std::vector<double>(after.begin() + 10000, after.end())), 0.01);
}
