// SPDX-License-Identifier: ISC
// The plug-in builds side by side in one process: a session saved in one
// format restores in the other, and many instances at different sample rates
// on their own threads each keep their own pitch.
#include <gtest/gtest.h>

#include <thread>

#include "adapters/dpf/lv2_symbol.h"
#include "clap_host.h"
#include "lv2_host.h"

namespace {

using namespace testhost;

constexpr const char* kChunkKey = "urn:distrho:chunk";

// A host restores the session's port values along with the state.
void copyPortValues(ClapInstance& clap, Lv2Instance& lv2) {
  const Wobblytone names{InstanceInfo{}};
  for (int i = 0; i < kNumParams; ++i)
    lv2.setControl(lv2Symbol(names.GetParam(i)->GetName()), static_cast<float>(clap.value(idOf(i))));
}

// A patch set through CLAP parameter events.
void setPatch(ClapInstance& clap) {
  for (auto [param, value] : {std::pair{kPower, 1.0}, {kVoltage, 1.0}, {kWarmUp, 2.0}, {kCutoff, 0.37},
                              {kEmphasis, 0.8}, {kOsc1Waveform, 4.0}, {kOsc2Volume, 0.4}, {kGlide, 0.2}})
    clap.in.add(paramEvent(0, idOf(param), value));
  clap.process(256);
}

// Plays the same notes through both builds, block by block, and compares.
void expectSameSound(ClapInstance& clap, Lv2Instance& lv2) {
  double energy = 0;
  for (int block = 0; block < 200; ++block) {
    std::vector<IMidiMsg> midi;
    if (block % 50 == 1) midi.push_back(IMidiMsg::noteOn(30, 45 + block / 50 * 3, 100));
    if (block % 50 == 35) midi.push_back(IMidiMsg::noteOff(90, 45 + block / 50 * 3));
    for (const IMidiMsg& m : midi) clap.in.add(midiEvent(static_cast<uint32_t>(m.mOffset), m));
    clap.process(256);
    lv2.run(midi);
    ASSERT_EQ(clap.left, lv2.audioOut[0]) << block;
    ASSERT_EQ(clap.right, lv2.audioOut[1]) << block;
    for (float s : clap.left) energy += double(s) * s;
  }
  EXPECT_GT(energy, 1.0);
}

class CrossFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("WOBBLYTONE_RANDOM_SEED", "91", 1);
    ASSERT_NE(ClapModule::get().factory, nullptr);
  }
};

}  // namespace

TEST_F(CrossFormat, ClapStateRestoresInLv2) {
  ClapInstance source;
  ASSERT_TRUE(source.activate(48000, 256));
  setPatch(source);
  MemoryOStream saved;
  ASSERT_TRUE(source.state->save(source.plugin, &saved.stream));
  const std::string chunk = chunkOfClapState(saved.bytes);
  ASSERT_FALSE(chunk.empty());

  Lv2Instance lv2(48000, 256);
  ASSERT_NE(lv2.instance, nullptr);
  ASSERT_TRUE(lv2.restoreState({{kChunkKey, chunk}}));
  copyPortValues(source, lv2);
  EXPECT_EQ(lv2.saveState().at(kChunkKey), chunk);

  // A fresh CLAP instance with the same state plays alongside.
  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  MemoryIStream load(saved.bytes);
  ASSERT_TRUE(clap.state->load(clap.plugin, &load.stream));
  expectSameSound(clap, lv2);
}

TEST_F(CrossFormat, Lv2StateRestoresInClap) {
  ClapInstance patchSource;
  ASSERT_TRUE(patchSource.activate(48000, 256));
  setPatch(patchSource);
  MemoryOStream patch;
  ASSERT_TRUE(patchSource.state->save(patchSource.plugin, &patch.stream));

  Lv2Instance source(48000, 256);
  ASSERT_NE(source.instance, nullptr);
  ASSERT_TRUE(source.restoreState({{kChunkKey, chunkOfClapState(patch.bytes)}}));
  source.setControl("cutoff", 0.61f);  // the user turns a knob in the LV2 host
  source.run({});
  const std::string chunk = source.saveState().at(kChunkKey);
  ASSERT_FALSE(chunk.empty());

  ClapInstance clap;
  ASSERT_TRUE(clap.activate(48000, 256));
  MemoryIStream load(clapStateOfChunk(chunk));
  ASSERT_TRUE(clap.state->load(clap.plugin, &load.stream));
  EXPECT_FLOAT_EQ(clap.value(idOf(kCutoff)), 0.61f);
  EXPECT_EQ(clap.value(idOf(kOsc1Waveform)), 4);
  MemoryOStream resaved;
  ASSERT_TRUE(clap.state->save(clap.plugin, &resaved.stream));
  EXPECT_EQ(chunkOfClapState(resaved.bytes), chunk);

  Lv2Instance lv2(48000, 256);
  ASSERT_NE(lv2.instance, nullptr);
  ASSERT_TRUE(lv2.restoreState({{kChunkKey, chunk}}));
  copyPortValues(clap, lv2);
  expectSameSound(clap, lv2);
}

// Every instance starts at its own rate at the same moment, so the
// per-rate tables are built while others read theirs.
TEST_F(CrossFormat, SixteenInstancesOnThreadsKeepTheirOwnPitch) {
  const double rates[] = {22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000,
                          24000, 16000, 64000, 44100, 48000, 96000, 11025, 192000};
  std::vector<std::unique_ptr<ClapInstance>> instances;
  for (int i = 0; i < 16; ++i) instances.push_back(std::make_unique<ClapInstance>());
  std::vector<double> measured(16, 0.0);
  std::vector<std::thread> threads;
  for (int i = 0; i < 16; ++i) {
    threads.emplace_back([&, i] {
      ClapInstance& clap = *instances[static_cast<size_t>(i)];
      const double rate = rates[i];
      if (!clap.activate(rate, 512)) return;
      for (auto [param, value] : {std::pair{kPower, 1.0}, {kVoltage, 1.0}, {kWarmUp, 2.0},
                                  {kOsc1Range, 3.0}, {kOsc1Waveform, double(VCO::kTriangular)}, {kOsc1Volume, 0.5}, {kCutoff, 1.0}})
        clap.in.add(paramEvent(0, idOf(param), value));
      clap.in.add(noteEvent(CLAP_EVENT_NOTE_ON, 0, static_cast<int16_t>(50 + i), 0.8));
      std::vector<double> out;
      const long frames = static_cast<long>(rate * 0.6);
      for (long done = 0; done < frames; done += 512) {
        clap.process(512);
        out.insert(out.end(), clap.left.begin(), clap.left.end());
      }
      measured[static_cast<size_t>(i)] = testutil::measureFrequency(out, rate, static_cast<size_t>(rate / 10));
    });
  }
  for (auto& t : threads) t.join();
  for (int i = 0; i < 16; ++i) {
    const double expected = testutil::frequencyOfPitch((50 + i) * 128);
    EXPECT_NEAR(measured[static_cast<size_t>(i)], expected, expected * 1e-3) << "rate " << rates[i];
  }
}
