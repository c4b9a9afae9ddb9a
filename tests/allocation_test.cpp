// SPDX-License-Identifier: ISC
// The audio thread never allocates: every allocation of the process is
// counted while thousands of blocks with dense MIDI are processed.
// (Its own test program, since it replaces the global operator new.)
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine_phrase.h"
#include "instrument/factory_bank.h"

namespace {
std::atomic<bool> countAllocations{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(size_t size) {
  if (countAllocations.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

using testutil::Engine;

TEST(EngineBlocks, AudioThreadNeverAllocates) {
  Engine e(48000, 256);
  testutil::busyPatch(e);
  e.set(kNoiseType, 1);
  std::vector<IMidiMsg> dense;
  for (int i = 0; i < 256; i += 2) {
    dense.push_back(IMidiMsg::noteOn(i, 36 + (i * 7) % 48, 100));
    dense.push_back(IMidiMsg::controlChange(i + 1, (i / 2) % 100, i % 128));
    dense.push_back(IMidiMsg::pitchWheel(i + 1, (i * 64) % 16384));
    dense.push_back(IMidiMsg::noteOff(i + 1, 36 + ((i + 6) * 7) % 48));
  }
  dense.push_back(IMidiMsg::controlChange(100, 64, 127));
  e.w().midiLearn.ccMap[20] = kCutoff;  // a learned controller calls back into the host
  std::vector<float> left(256), right(256);
  e.host->process(dense.data(), static_cast<int>(dense.size()), left.data(), right.data(), 256);
  e.callbacks.record = false;
  allocations = 0;
  countAllocations = true;
  for (int block = 0; block < 4000; ++block)
    e.host->process(dense.data(), static_cast<int>(dense.size()), left.data(), right.data(), 256);
  countAllocations = false;
  EXPECT_EQ(allocations.load(), 0);
}

// What the editor queues (a program, "Initialize Settings", the wheels, MIDI
// learn, a reloaded controller map) is applied on the audio thread without
// allocating; the requests themselves are made outside the counted blocks.
TEST(EngineBlocks, ApplyingTheEditorsChangesNeverAllocates) {
  Engine e(48000, 256);
  testutil::busyPatch(e);
  e.w().ModifyCurrentPreset("Queued");
  ProgramImage opaque, values;
  ASSERT_TRUE(e.w().ReadProgramFile(e.w().MakeProgramFile(0), opaque));
  values.count = kNumParams;
  for (int i = 0; i < kNumParams; ++i) values.values[i] = 0.25f;
  std::vector<float> left(256), right(256);
  const IMidiMsg note = IMidiMsg::noteOn(0, 48, 100);
  e.host->process(&note, 1, left.data(), right.data(), 256);
  e.callbacks.record = false;
  long counted = 0;
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(e.w().requestProgram(round % 2 ? opaque : values));
    ASSERT_TRUE(e.w().requestInitialize());
    ASSERT_TRUE(e.w().requestPitchBend(round / 20.0));
    ASSERT_TRUE(e.w().requestModWheel(round / 20.0));
    ASSERT_TRUE(e.w().requestMidiLearn(round % 2 == 0));
    e.w().reloadConfig();  // without a configuration file nothing is queued
    allocations = 0;
    countAllocations = true;
    e.host->process(&note, 1, left.data(), right.data(), 256);
    countAllocations = false;
    counted += allocations.load();
  }
  EXPECT_EQ(counted, 0);
  EXPECT_DOUBLE_EQ(e.view().pitchBend(), 19 / 20.0);  // the last request was taken
}

// A factory program chosen by Program Change, by the editor or by the host is
// applied at a block boundary without allocating.
TEST(EngineBlocks, FactoryProgramsApplyWithoutAllocating) {
  Engine e(48000, 256);
  std::vector<float> left(256), right(256);
  e.callbacks.record = false;
  long counted = 0;
  for (int round = 0; round < 40; ++round) {
    const IMidiMsg events[] = {IMidiMsg::noteOn(0, 48, 100), IMidiMsg(10, 0xC0, round % FactoryBank::count(), 0)};
    if (round % 3 == 0) {
      ASSERT_TRUE(e.w().requestFactoryProgram((round * 7) % FactoryBank::count()));
    }
    allocations = 0;
    countAllocations = true;
    e.host->process(events, 2, left.data(), right.data(), 256);
    e.host->process(nullptr, 0, left.data(), right.data(), 256);
    countAllocations = false;
    counted += allocations.load();
  }
  EXPECT_EQ(counted, 0);
  EXPECT_EQ(e.view().lastFactoryProgram(), 39 % FactoryBank::count());
}
