// SPDX-License-Identifier: ISC
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/byte_chunk.h"
#include "framework/headless_host.h"
#include "framework/midi.h"
#include "framework/plugin_base.h"
#include "framework/wdl_string.h"

TEST(MidiMsg, TypeOnlyForChannelStatusBytes) {
  EXPECT_EQ(IMidiMsg(0, 0x93, 60, 100).StatusMsg(), IMidiMsg::kNoteOn);
  EXPECT_EQ(IMidiMsg(0, 0xEF, 0, 64).StatusMsg(), IMidiMsg::kPitchWheel);
  EXPECT_EQ(IMidiMsg(0, 0xF8, 0, 0).StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(IMidiMsg(0, 0x40, 0, 0).StatusMsg(), IMidiMsg::kNone);
  EXPECT_EQ(IMidiMsg::pitchWheel(0, 16383).mData2, 0x7F);
}

TEST(MidiQueue, KeepsOffsetOrderAndArrivalOrderForEqualOffsets) {
  IMidiQueueBase<IMidiMsg> q(2);
  q.Add(IMidiMsg(10, 0x90, 1, 1));
  q.Add(IMidiMsg(5, 0x90, 2, 1));
  q.Add(IMidiMsg(10, 0x90, 3, 1));  // grows past the first size
  q.Add(IMidiMsg(0, 0x90, 4, 1));
  std::vector<int> order;
  while (!q.Empty()) {
    order.push_back(q.Peek().mData1);
    q.Remove();
  }
  EXPECT_EQ(order, (std::vector<int>{4, 2, 1, 3}));
}

TEST(MidiQueue, FlushCountsWaitingOffsetsFromTheNextSlice) {
  IMidiQueueBase<IMidiMsg> q(8);
  q.Add(IMidiMsg(3, 0x90, 1, 1));
  q.Add(IMidiMsg(50, 0x90, 2, 1));
  q.Remove();
  q.Flush(44);
  ASSERT_EQ(q.ToDo(), 1);
  EXPECT_EQ(q.Peek().mOffset, 6);
}

TEST(MidiQueue, ReusesItsStorageAndGrowsOnlyForABacklog) {
  IMidiQueueBase<IMidiMsg> q(4);
  for (int round = 0; round < 100; ++round) {
    for (int i = 0; i < 3; ++i) q.Add(IMidiMsg(i, 0x90, 1, 1));
    for (int i = 0; i < 3; ++i) q.Remove();
  }
  EXPECT_EQ(q.GetSize(), 4);
  for (int i = 0; i < 100; ++i) q.Add(IMidiMsg(i, 0x90, 1, 1));
  EXPECT_EQ(q.GetSize(), 128);
  EXPECT_EQ(q.ToDo(), 100);
}

TEST(ByteChunk, ReadsStayInsideTheChunk) {
  IByteChunk chunk;
  const double value = 0.25;
  const uint8_t flag = 1;
  EXPECT_EQ(chunk.Put(&flag), 1);
  EXPECT_EQ(chunk.Put(&value), 9);
  double back = 0;
  EXPECT_EQ(chunk.Get(&back, 1), 9);
  EXPECT_EQ(back, 0.25);
  EXPECT_EQ(chunk.Get(&back, 2), -1);
  EXPECT_EQ(chunk.Get(&back, -1), -1);
  EXPECT_EQ(chunk.Get(&back, 1 << 30), -1);
}

TEST(WdlString, FormatsAndCuts) {
  WDL_String s;
  s.SetFormatted(1023, "%s/%s", "/home/x/Music", "MarlpitMusic");
  EXPECT_STREQ(s.Get(), "/home/x/Music/MarlpitMusic");
  s.Append("/wobblytone.ini");
  EXPECT_EQ(s.GetLength(), 41);
  s.SetFormatted(4, "%f", 0.5);
  EXPECT_STREQ(s.Get(), "0.50");
  s.Set("abcdef", 3);
  EXPECT_STREQ(s.Get(), "abc");
}

namespace {

struct RecordingHost : IHostCallbacks {
  std::vector<std::pair<int, double>> changes;
  int programChanges = 0;
  void informHostOfParamChange(int idx, double value) override { changes.emplace_back(idx, value); }
  void informHostOfProgramChange() override { ++programChanges; }
};

// A plug-in that records what the framework calls, and keeps its two
// parameters as its whole state.
class RecordingPlugin : public IPluginBase {
 public:
  explicit RecordingPlugin(const InstanceInfo& info) : IPluginBase(info, config()) {
    GetParam(0)->InitEnum("Switch", 0, {"Off", "On"});
    GetParam(1)->InitDouble("Level", 0.5, 0, 1, 0.01);
  }
  static Config config() {
    Config c;
    c.nParams = 2;
    return c;
  }
  void OnReset() override { calls.push_back("reset " + std::to_string(GetBlockSize())); }
  void OnParamChange(int idx, EParamSource source) override {
    calls.push_back("param " + std::to_string(idx) + " from " + std::to_string(source));
  }
  void OnParamChangeUI(int idx, EParamSource) override { calls.push_back("ui " + std::to_string(idx)); }
  void ProcessMidiMsg(const IMidiMsg& msg) override { calls.push_back("midi " + std::to_string(msg.mOffset)); }
  void ProcessBlock(double**, double** outputs, int nFrames) override {
    for (int i = 0; i < nFrames; ++i) outputs[0][i] = outputs[1][i] = 0.5;
    calls.push_back("block " + std::to_string(nFrames));
  }
  bool SerializeState(IByteChunk& chunk) const override {
    for (int i = 0; i < 2; ++i) {
      const double v = GetParam(i)->Value();
      chunk.Put(&v);
    }
    return true;
  }
  int UnserializeState(const IByteChunk& chunk, int pos) override {
    for (int i = 0; i < 2 && pos >= 0; ++i) {
      double v = 0;
      pos = chunk.Get(&v, pos);
      if (pos >= 0) GetParam(i)->Set(v);
    }
    OnParamReset(kPresetRecall);
    return pos;
  }
  std::vector<std::string> calls;
};

}  // namespace

TEST(PluginBase, HostSideAndEditorSideSettersInformTheHost) {
  RecordingHost host;
  RecordingPlugin plugin({&host, "", {}});
  plugin.SetParameterValue(1, 0.7);
  plugin.SendParameterValueFromUI(0, 1.0);
  EXPECT_EQ(plugin.GetParam(1)->Value(), 0.7);
  EXPECT_EQ(plugin.GetParam(0)->Value(), 1);
  ASSERT_EQ(host.changes.size(), 2u);
  EXPECT_EQ(host.changes[0], std::make_pair(1, 0.7));
  EXPECT_EQ(plugin.calls, (std::vector<std::string>{"param 1 from 1", "param 0 from 3"}));
}

TEST(PluginBase, PresetSlotTakesAndRestoresTheState) {
  RecordingHost host;
  RecordingPlugin plugin({&host, "", {}});
  plugin.MakeDefaultPreset("Wobblytone", 1);
  EXPECT_STREQ(plugin.GetPresetName(0), "Wobblytone");
  plugin.GetParam(1)->Set(0.9);
  plugin.ModifyCurrentPreset("Init");
  EXPECT_STREQ(plugin.GetPresetName(0), "Init");
  plugin.GetParam(1)->Set(0.1);
  plugin.ModifyCurrentPreset();
  EXPECT_STREQ(plugin.GetPresetName(0), "Init");
  plugin.GetParam(1)->Set(0.5);
  plugin.calls.clear();
  EXPECT_TRUE(plugin.RestorePreset(0));
  EXPECT_EQ(plugin.GetParam(1)->Value(), 0.1);
  EXPECT_EQ(host.programChanges, 1);
  EXPECT_EQ(plugin.calls, (std::vector<std::string>{"param 0 from 2", "ui 0", "param 1 from 2", "ui 1"}));
  EXPECT_FALSE(plugin.RestorePreset(3));
  EXPECT_STREQ(plugin.GetPresetName(3), "");
}

TEST(HeadlessHost, DeliversMidiInTimeOrderBeforeTheBlock) {
  RecordingPlugin plugin({});
  HeadlessHost host(plugin);
  host.prepare(48000, 64);
  const IMidiMsg events[] = {IMidiMsg(30, 0x90, 1, 1), IMidiMsg(2, 0x90, 2, 1), IMidiMsg(30, 0x80, 3, 0)};
  std::vector<float> left(64), right(64);
  host.process(events, 3, left.data(), right.data(), 64);
  EXPECT_EQ(plugin.calls,
            (std::vector<std::string>{"reset 64", "midi 2", "midi 30", "midi 30", "block 64"}));
  EXPECT_EQ(left[63], 0.5f);
}

TEST(HeadlessHost, LargerBlockEnlargesTheBuffersAndResetsFirst) {
  RecordingPlugin plugin({});
  HeadlessHost host(plugin);
  host.prepare(48000, 16);
  std::vector<float> left(100), right(100);
  host.process(nullptr, 0, left.data(), right.data(), 100);
  EXPECT_EQ(plugin.calls, (std::vector<std::string>{"reset 16", "reset 100", "block 100"}));
  EXPECT_EQ(right[99], 0.5f);
}
