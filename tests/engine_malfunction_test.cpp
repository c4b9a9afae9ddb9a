// SPDX-License-Identifier: ISC
// The worn unit: power, mains voltage and fuse, hum, overload, decimation,
// the crackling pot, the broken Osc-2 waveform and the broken-control draw.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "engine_harness.h"
#include "engine_probe.h"
#include "test_util.h"

using testutil::Engine;
using testutil::midiAt;

TEST(EngineFuse, BlowsOnlyWhenSwitchedTo110VWhilePowered) {
  Engine e;
  e.set(kVoltage, 1);  // 220V while off: no harm
  e.set(kVoltage, 0);
  EXPECT_EQ(e.value(kFuse), 0);
  e.set(kVoltage, 1);
  e.set(kPower, 1);
  e.render(4410, {midiAt(0, IMidiMsg::noteOn(0, 60, 100))});
  e.callbacks.changes.clear();
  e.set(kVoltage, 0);  // 220V -> 110V while on
  EXPECT_EQ(e.value(kFuse), 1);
  EXPECT_TRUE(e.view().fuseBlown());
  EXPECT_TRUE(e.view().fuseJustBlown());
  EXPECT_FALSE(e.view().voiceActive());
  ASSERT_FALSE(e.callbacks.changes.empty());
  EXPECT_EQ(e.callbacks.changes.front(), std::make_pair(static_cast<int>(kFuse), 1.0));
  // Silence follows, and MIDI is still tracked.
  auto out = e.render(44100, {midiAt(e.now + 10, IMidiMsg::noteOn(0, 62, 100))});
  EXPECT_TRUE(e.w().isKeyPressed(62));
  EXPECT_LT(std::fabs(out.back()), 1e-4);
  // Back to 220V does not mend it; a new fuse does.
  e.set(kVoltage, 1);
  EXPECT_EQ(e.value(kFuse), 1);
  e.set(kFuse, 0);  // what a click on the message strip asks the host for
  EXPECT_EQ(e.value(kFuse), 0);
  EXPECT_FALSE(e.view().fuseBlown());
  EXPECT_EQ(e.view().warmUpState(), 0);  // a new fuse leaves the warm-up as it was
}

TEST(EngineFuse, RestoringA110VStateDoesNotBlowIt) {
  Engine source;
  source.set(kPower, 1);
  source.set(kVoltage, 0);
  IByteChunk chunk;
  source.w().SerializeState(chunk);
  Engine target;
  target.set(kVoltage, 1);
  target.set(kPower, 1);
  EXPECT_EQ(target.w().UnserializeState(chunk, 0), 438);
  EXPECT_TRUE(target.view().is110V());
  EXPECT_EQ(target.value(kFuse), 0);
}

TEST(EngineMains, SwitchingOnThumpsWithTheSignOfTheSupply) {
  for (auto [voltage, sign] : {std::pair{0, -1.0}, {1, 1.0}}) {
    Engine e;
    e.set(kVoltage, voltage);
    auto quiet = e.render(4410);
    EXPECT_LT(std::fabs(quiet.back()), 1e-9);
    e.set(kPower, 1);
    auto thump = e.render(4410);
    double peak = 0;
    for (double v : thump)
      if (std::fabs(v) > std::fabs(peak)) peak = v;
    EXPECT_GT(peak * sign, 0.1) << voltage;
    // It decays through the DC blocker.
    auto later = e.render(44100 * 2);
    EXPECT_LT(std::fabs(later.back()), 1e-3);
  }
}

TEST(EngineMains, HumFollowsTheSupply) {
  for (auto [voltage, hz] : {std::pair{0, 60.87}, {1, 49.73}}) {
    Engine e;
    e.plainPatch();
    e.set(kPower, 0);  // a voltage change while off blows no fuse
    e.set(kVoltage, voltage);
    e.set(kPower, 1);
    e.set(kOsc1, 0);
    e.set(kExternalInput, 1);
    e.set(kExternalInputVolume, 1);
    auto out = e.render(44100 * 2, {midiAt(0, IMidiMsg::noteOn(0, 60, 100))});
    std::vector<double> tail(out.begin() + 44100, out.end());
    EXPECT_NEAR(testutil::measureFrequency(tail, 44100), hz, 0.5) << voltage;
  }
}

TEST(EngineOutput, OverloadIsFlaggedPerBlock) {
  Engine e(44100, 256);
  e.plainPatch(VCO::kSquare);
  for (int p : {kOsc2, kOsc3}) e.set(p, 1);
  for (int p : {kOsc1Volume, kOsc2Volume, kOsc3Volume}) e.set(p, 1);
  for (int p : {kOsc1Waveform, kOsc2Waveform, kOsc3Waveform}) e.set(p, VCO::kSquare);
  e.render(4096, {midiAt(0, IMidiMsg::noteOn(0, 48, 100))});
  EXPECT_TRUE(e.view().overload());
  e.set(kOsc2, 0);
  e.set(kOsc3, 0);
  e.render(256);
  EXPECT_FALSE(e.view().overload());
}

TEST(EngineOutput, DecimationTakesEveryThirdOrFifthSample) {
  // The DC blocker runs once per new output-stage value; each run flips the
  // sign of its anti-denormal offset.
  for (auto [mode, period] : {std::pair{1, 3}, {2, 5}, {0, 1}}) {
    Engine e(44100, 1);
    e.set(kOverSample, mode);
    e.set(kPower, 1);
    std::vector<int> taken;
    double sign = e.view().dcBlockerOffset();
    for (int i = 0; i < 60; ++i) {
      e.render(1);
      if (e.view().dcBlockerOffset() != sign) taken.push_back(i);
      sign = e.view().dcBlockerOffset();
    }
    ASSERT_GE(taken.size(), 3u) << mode;
    for (size_t j = 1; j < taken.size(); ++j) EXPECT_EQ(taken[j] - taken[j - 1], period) << mode;
  }
}

TEST(EngineCrackle, EachVolumeChangeCracklesOnce) {
  // A crackle is one control slice of attack, then the release.
  Engine e;
  e.plainPatch();
  e.renderSlices(400);  // the crackle of activation has passed
  int starts = 0;
  auto countStarts = [&](long slices) {
    for (long s = 0; s < slices; ++s) {
      e.renderSlices(1);
      if (e.view().scratchContour().state == Contour::kAttack) ++starts;
    }
  };
  countStarts(300);
  EXPECT_EQ(starts, 0);
  e.set(kVolume, 0.7);
  countStarts(300);
  EXPECT_EQ(starts, 1);
  e.set(kVolume, 0.7);  // the same value is no change
  countStarts(300);
  EXPECT_EQ(starts, 1);
  e.set(kVolume, 0.6);
  e.set(kVolume, 0.5);  // two changes within one slice: one crackle
  countStarts(300);
  EXPECT_EQ(starts, 2);
}

TEST(EngineOsc2, WideRectangularPlaysThePulseClip) {
  Engine e;
  e.plainPatch();
  e.set(kOsc1, 0);
  e.set(kOsc2, 1);
  e.set(kOsc2Waveform, VCO::kWideRectangular);
  EXPECT_TRUE(e.view().osc2Broken());
  e.render(441, {midiAt(0, IMidiMsg::noteOn(0, 72, 100))});  // an octave above middle C at 16'
  // The clip runs at Osc-2's pitch relative to middle C: 441 samples at 16'
  // with 10 cents up.
  const double speed = e.view().osc2().getMultipleOfC4();
  EXPECT_NEAR(speed, std::pow(2.0, 12.8 / 1536), 1e-3);
  EXPECT_NEAR(e.view().clipPosition(Properties::kWavePulse), 441 * speed * 8000 / 44100, 0.01);
  e.set(kOsc2Waveform, VCO::kSquare);
  EXPECT_FALSE(e.view().osc2Broken());
}

TEST(EngineClips, ReadsStayInsideTheClip) {
  Engine e;
  Wobblytone& w = e.w();
  EngineProbe::setClipPosition(w, Properties::kWavePulse, 6330.9);
  EXPECT_TRUE(std::isfinite(w.processWave(Properties::kWavePulse, false, 1000)));
  EXPECT_EQ(w.processWave(Properties::kWavePulse, false, 1), 0.0);  // ended: silent
  EngineProbe::setClipPosition(w, Properties::kWaveScratch, 2047.5);
  w.processWave(Properties::kWaveScratch, true, 100);
  w.processWave(Properties::kWaveScratch, true, 1);
  EXPECT_LT(e.view().clipPosition(Properties::kWaveScratch), 1);  // a looping clip restarts
  EngineProbe::setClipPosition(w, Properties::kWaveA440, std::nan(""));
  EXPECT_TRUE(std::isfinite(w.processWave(Properties::kWaveA440, true, 1)));
}

TEST(EngineBrokenControls, OneOrTwoOfEachFromTheInstancesOwnGenerator) {
  std::srand(77);
  const int expected = std::rand();
  std::srand(77);
  int twoKnobs = 0, twoKeys = 0;
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    Engine e(44100, 64, seed);
    int knobs = 0, keys = 0;
    for (uint8_t f : e.view().brokenKnobs()) knobs += f != 0;
    for (uint8_t f : e.view().brokenKeys()) keys += f != 0;
    EXPECT_GE(knobs, 1);
    EXPECT_LE(knobs, 2);
    EXPECT_GE(keys, 1);
    EXPECT_LE(keys, 2);
    twoKnobs += knobs == 2;
    twoKeys += keys == 2;
    Engine again(44100, 64, seed);
    EXPECT_EQ(e.view().brokenKnobs(), again.view().brokenKnobs());
  }
  EXPECT_GT(twoKnobs, 5);  // about a third of the units lose two knobs
  EXPECT_GT(twoKeys, 5);
  EXPECT_EQ(std::rand(), expected);  // the host's generator was left alone
}

TEST(EngineClips, CrackleIsHeardAfterAVolumeChangeAndNotWithMainOutOff) {
  auto renderAfterVolumeChange = [](bool mainOut) {
    Engine e;
    e.set(kPower, 1);
    e.set(kVoltage, 1);
    e.set(kMainOut, mainOut ? 1 : 0);
    e.render(44100);  // thump and activation crackle gone
    auto before = e.render(4410);
    e.set(kVolume, 0.9);
    auto after = e.render(4410);
    double peak = 0;
    for (double v : after) peak = std::max(peak, std::fabs(v));
    return std::make_pair(testutil::rms(before), peak);
  };
  auto [quiet, crackling] = renderAfterVolumeChange(true);
  EXPECT_LT(quiet, 1e-4);
  EXPECT_GT(crackling, 5e-3);
  auto [quietOff, stillQuiet] = renderAfterVolumeChange(false);
  EXPECT_LT(stillQuiet, 1e-3);
  (void)quietOff;
}

TEST(EngineClips, A440SoundsWithoutKeysAndWithMainOutOff) {
  Engine e;
  e.set(kPower, 1);
  e.set(kVoltage, 1);
  e.set(kMainOut, 0);
  e.set(kA440, 1);
  e.render(44100);
  auto out = e.render(44100);
  const double tone = testutil::toneMagnitude(out, 440, 44100);
  EXPECT_GT(tone, 0.2);
  for (double other : {220.0, 400.0, 480.0, 880.0}) EXPECT_LT(testutil::toneMagnitude(out, other, 44100), tone / 20);
}

TEST(EngineClips, BrokenOsc2PlaysThePulseOncePerTriggeredNote) {
  Engine e;
  e.plainPatch();
  e.set(kOsc1, 0);
  e.set(kOsc2, 1);
  e.set(kOsc2Volume, 1);
  e.set(kOsc2Waveform, VCO::kWideRectangular);
  e.render(4410);
  auto note = e.render(44100, {midiAt(e.now, IMidiMsg::noteOn(0, 72, 100))});
  // At 16' Osc-2 plays an octave below the key: middle C, speed about 1; the
  // 0.79 s clip sounds, then silence while the key is still held.
  EXPECT_GT(testutil::rms(std::vector<double>(note.begin(), note.begin() + 8820)), 0.02);
  // Only the faint mains hum is left.
  EXPECT_LT(testutil::rms(std::vector<double>(note.begin() + 39000, note.end())), 3e-3);
  auto legato = e.render(8820, {midiAt(e.now, IMidiMsg::noteOn(0, 60, 100))});  // legato: no restart
  EXPECT_LT(testutil::rms(legato), 3e-3);
}

TEST(EngineClips, NoiseIsHeardWhateverTheType) {
  for (int type : {0, 1}) {
    Engine e;
    e.plainPatch();
    e.set(kOsc1, 0);
    e.set(kNoise, 1);
    e.set(kNoiseType, type);
    auto out = e.render(44100, {midiAt(0, IMidiMsg::noteOn(0, 60, 100))});
    EXPECT_GT(testutil::rms(std::vector<double>(out.begin() + 22050, out.end())), 0.01) << type;
  }
}

TEST(EngineClips, DecodingBothFormatsAndShortFiles) {
  EXPECT_EQ(WaveBank::decode({0x8F}, 2, true), (std::vector<int8_t>{112, 0}));
  EXPECT_EQ(WaveBank::decode({0x00, 0x80, 0xFF}, 3, false), (std::vector<int8_t>{-128, 0, 127}));
  // A file shorter than its clip: the missing samples are silence.
  EXPECT_EQ(WaveBank::decode({0x11}, 4, true), (std::vector<int8_t>{-112, -112, 0, 0}));
  EXPECT_EQ(WaveBank::decode({}, 2, false), (std::vector<int8_t>{0, 0}));
}

TEST(EngineClips, AtFortyFourPointOneKilohertzAClipAdvancesEveryFivePointFiveSamples) {
  Engine e;
  EXPECT_NEAR(e.view().clipRate(), 0.181406, 1e-6);
}
