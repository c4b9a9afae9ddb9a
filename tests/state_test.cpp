// SPDX-License-Identifier: ISC
// The state chunk as hosts keep it: layout, round trips, short and damaged
// chunks, and "Initialize Settings".
#include <gtest/gtest.h>

#include <cstring>

#include "engine_harness.h"
#include "engine_probe.h"

using testutil::Engine;

namespace {

// Counts the editor-side notifications of a restore.
class CountingWobblytone : public Wobblytone {
 public:
  using Wobblytone::Wobblytone;
  void OnParamChangeUI(int, EParamSource source) override {
    ++uiNotifications;
    lastSource = source;
  }
  int uiNotifications = 0;
  EParamSource lastSource = kUnknown;
};

IByteChunk stateOf(Wobblytone& w) {
  IByteChunk chunk;
  EXPECT_TRUE(w.SerializeState(chunk));
  return chunk;
}

IByteChunk firstBytes(const IByteChunk& chunk, int n) {
  IByteChunk cut;
  cut.PutBytes(chunk.GetData(), n);
  return cut;
}

int countSet(const uint8_t* flags, int n) {
  int count = 0;
  for (int i = 0; i < n; ++i) count += flags[i] != 0;
  return count;
}

}  // namespace

TEST(StateChunk, FreshInstanceLayout) {
  Engine e;
  IByteChunk chunk = stateOf(e.w());
  ASSERT_EQ(chunk.Size(), 438);
  const int knobs = countSet(chunk.GetData(), 26);
  const int keys = countSet(chunk.GetData() + 26, 44);
  EXPECT_TRUE(knobs == 1 || knobs == 2);
  EXPECT_TRUE(keys == 1 || keys == 2);
  for (int i = 0; i < kNumParams; ++i) {
    double v;
    std::memcpy(&v, chunk.GetData() + 70 + 8 * i, 8);
    EXPECT_EQ(v, parameterTable()[i].defaultValue) << i;
  }
}

TEST(StateChunk, RoundTripCarriesParametersAndBrokenControls) {
  Engine a(44100, 64, 11), b(44100, 64, 12);
  a.set(kCutoff, 0.37);
  a.set(kOsc2Waveform, 5);
  a.set(kTune, -1.234);
  IByteChunk chunk = stateOf(a.w());
  EXPECT_EQ(b.w().UnserializeState(chunk, 0), 438);
  EXPECT_EQ(a.view().brokenKnobs(), b.view().brokenKnobs());
  EXPECT_EQ(a.view().brokenKeys(), b.view().brokenKeys());
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(a.value(i), b.value(i)) << i;
  EXPECT_TRUE(stateOf(b.w()) == chunk);
}

TEST(StateChunk, ShortChunksRestoreWhatTheyHold) {
  Engine source(44100, 64, 21);
  source.set(kPower, 1);
  source.set(kVoltage, 1);
  IByteChunk full = stateOf(source.w());
  EngineProbe::setEveryControlBroken(source.w());  // every flag set, to see them cleared
  full = stateOf(source.w());

  Engine target(44100, 64, 22);
  target.set(kCutoff, 0.5);
  // 69 bytes: the last key flag is missing and cleared; no parameter changes.
  EXPECT_EQ(target.w().UnserializeState(firstBytes(full, 69), 0), -1);
  EXPECT_EQ(target.view().brokenKeys()[43], 0);
  EXPECT_EQ(target.view().brokenKeys()[42], 1);
  EXPECT_EQ(target.value(kCutoff), 0.5);
  EXPECT_EQ(target.value(kPower), 0);
  // 70 bytes: all flags; Power, the first parameter, is missing and reads 0 (Off).
  target.set(kPower, 1);
  EXPECT_EQ(target.w().UnserializeState(firstBytes(full, 70), 0), -1);
  EXPECT_EQ(target.view().brokenKeys()[43], 1);
  EXPECT_EQ(target.value(kPower), 0);
  EXPECT_EQ(target.value(kCutoff), 0.5);
  // 78 bytes: Power from the chunk; Voltage missing reads 0 (110V).
  target.set(kVoltage, 1);
  EXPECT_EQ(target.w().UnserializeState(firstBytes(full, 78), 0), -1);
  EXPECT_EQ(target.value(kPower), 1);
  EXPECT_EQ(target.value(kVoltage), 0);
  EXPECT_EQ(target.value(kFuse), 0);  // a restore never blows it
  EXPECT_EQ(target.value(kCutoff), 0.5);
  // Empty: no flags, parameters kept.
  EXPECT_EQ(target.w().UnserializeState(IByteChunk(), 0), -1);
  EXPECT_EQ(countSet(target.view().brokenKeys().data(), 44), 0);
  EXPECT_EQ(target.value(kPower), 1);
  // A start outside the chunk reads nothing.
  EXPECT_EQ(target.w().UnserializeState(full, 5000), -1);
}

TEST(StateChunk, ValuesAreSteppedAndClampedAndOddFlagBytesKept) {
  Engine e;
  IByteChunk chunk = stateOf(e.w());
  const double tune = 7.0, range = 2.4;
  std::memcpy(chunk.GetData() + 70 + 8 * kTune, &tune, 8);
  std::memcpy(chunk.GetData() + 70 + 8 * kOsc1Range, &range, 8);
  chunk.GetData()[3] = 2;
  chunk.PutBytes("xtra", 4);  // bytes after the state are left alone
  EXPECT_EQ(e.w().UnserializeState(chunk, 0), 438);
  EXPECT_EQ(e.value(kTune), 2.5);
  EXPECT_EQ(e.value(kOsc1Range), 2);
  EXPECT_EQ(e.view().brokenKnobs()[3], 2);
  EXPECT_EQ(stateOf(e.w()).GetData()[3], 2);
}

TEST(StateChunk, RestoreNotifiesEveryParameterWithoutSideEffects) {
  InstanceInfo info;
  info.randomSeed = 4;
  CountingWobblytone w(info);
  HeadlessHost host(w);
  host.prepare(44100, 64);
  host.activate();
  w.OnParamChangeFromHost(kPower, 1);
  IByteChunk chunk;
  w.SerializeState(chunk);
  double volume = 0.8;
  std::memcpy(chunk.GetData() + 70 + 8 * kVolume, &volume, 8);
  EngineProbe::setVolumeScratch(w, false);
  w.uiNotifications = 0;
  w.UnserializeState(chunk, 0);
  EXPECT_EQ(w.uiNotifications, 46);
  EXPECT_EQ(w.lastSource, kPresetRecall);
  EXPECT_EQ(EngineView(w).volume(), 0.8);
  EXPECT_FALSE(EngineView(w).volumeScratch());  // a restore never crackles
}

TEST(StateChunk, InitializeSettingsKeepsTheBrokenControls) {
  Engine e;
  e.set(kCutoff, 0.1);
  e.set(kPower, 1);
  const EngineView::BrokenKnobs knobs = e.view().brokenKnobs();
  e.w().initProgram();
  for (int i = 0; i < kNumParams; ++i) EXPECT_EQ(e.value(i), parameterTable()[i].defaultValue) << i;
  EXPECT_STREQ(e.w().GetPresetName(0), "Init");
  EXPECT_EQ(knobs, e.view().brokenKnobs());
}

TEST(StateChunk, DefaultPresetIsTheFactorySoundWithNoBrokenControls) {
  Engine e;
  EXPECT_STREQ(e.w().GetPresetName(0), "Wobblytone");
  const IPreset* preset = e.w().GetPreset(0);
  ASSERT_EQ(preset->chunk.Size(), 438);
  EXPECT_EQ(countSet(preset->chunk.GetData(), 70), 0);
}
