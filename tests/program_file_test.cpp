// SPDX-License-Identifier: ISC
// Program files on a real file system: layout, round trips between
// instances, refusals of foreign or damaged files, and the file-name rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine_harness.h"

using testutil::Engine;

namespace {

std::vector<uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

class ProgramFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wobblytone-fxp-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string dir;
};

}  // namespace

TEST_F(ProgramFiles, SavedFileLayout) {
  Engine e;
  e.w().ModifyCurrentPreset("Bass");
  const std::string path = dir + "/bass.fxp";
  ASSERT_TRUE(e.w().SavePresetAsFXP(path.c_str()));
  const auto bytes = readBytes(path);
  ASSERT_EQ(bytes.size(), 506u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
  EXPECT_EQ(bytes[7], 506 & 0xFF);
  EXPECT_EQ(bytes[6], 506 >> 8);
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FPCh");
  EXPECT_EQ(bytes[15], 1);
  EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "Wbtn");
  EXPECT_EQ(bytes[22] * 256 + bytes[23], 815);
  EXPECT_EQ(bytes[27], 46);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 28)), "Bass");
  EXPECT_EQ(bytes[58] * 256 + bytes[59], 446);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 60, bytes.begin() + 68),
            (std::vector<uint8_t>{'t', 'f', 'f', 'p', 0, 0, 1, 0}));
  IByteChunk state;
  e.w().SerializeState(state);
  EXPECT_EQ(0, std::memcmp(bytes.data() + 68, state.GetData(), 438));
}

TEST_F(ProgramFiles, ALoadedProgramGivesAnotherInstanceTheSameState) {
  Engine a(44100, 64, 1), b(44100, 64, 2);
  a.set(kCutoff, 0.31);
  a.set(kGlide, 1);
  a.w().ModifyCurrentPreset("A long name that is cut at twenty-eight");
  const std::string path = dir + "/a.fxp";
  ASSERT_TRUE(a.w().SavePresetAsFXP(path.c_str()));
  ASSERT_TRUE(b.w().LoadPresetFromFXP(path.c_str()));
  IByteChunk sa, sb;
  a.w().SerializeState(sa);
  b.w().SerializeState(sb);
  EXPECT_TRUE(sa == sb);
  EXPECT_EQ(b.value(kCutoff), 0.31);
  EXPECT_STREQ(b.w().GetPresetName(0), "A long name that is cut at t");
}

// The editor's road: the file is read on its thread, changing nothing, and
// the program is applied before the next block, the host told every value.
TEST_F(ProgramFiles, AProgramReadForTheAudioThreadWaitsForTheNextBlock) {
  Engine a(44100, 64, 1), b(44100, 64, 2);
  a.set(kCutoff, 0.31);
  a.w().ModifyCurrentPreset("Queued");
  const std::string path = dir + "/queued.fxp";
  ASSERT_TRUE(a.w().SavePresetAsFXP(path.c_str()));
  ProgramImage program;
  ASSERT_TRUE(b.w().ReadProgramFromFXP(path.c_str(), program));
  EXPECT_FALSE(b.w().ReadProgramFromFXP((dir + "/none.fxp").c_str(), program));
  ASSERT_TRUE(b.w().ReadProgramFromFXP(path.c_str(), program));
  ASSERT_TRUE(b.w().requestProgram(program));
  EXPECT_STREQ(b.w().GetPresetName(0), "Queued");
  EXPECT_NE(b.value(kCutoff), 0.31);
  b.callbacks.changes.clear();
  b.render(64);
  EXPECT_EQ(b.value(kCutoff), 0.31);
  std::vector<bool> told(kNumParams, false);
  for (auto [idx, normalized] : b.callbacks.changes) {
    told[static_cast<size_t>(idx)] = true;
    EXPECT_EQ(normalized, b.w().GetParam(idx)->GetNormalized()) << idx;
  }
  EXPECT_EQ(std::count(told.begin(), told.end(), true), kNumParams);
}

TEST_F(ProgramFiles, ForeignOrDamagedFilesAreRefusedAndChangeNothing) {
  Engine a, b;
  const std::string good = dir + "/good.fxp";
  a.set(kCutoff, 0.2);
  ASSERT_TRUE(a.w().SavePresetAsFXP(good.c_str()));
  const auto bytes = readBytes(good);
  auto variant = [&](auto change) {
    auto v = bytes;
    change(v);
    return v;
  };
  const std::vector<std::vector<uint8_t>> bad = {
      variant([](auto& v) { v[0] = 'X'; }),                    // magic
      variant([](auto& v) { v[15] = 2; }),                     // format version
      variant([](auto& v) { v[16] = 'Q'; }),                   // plug-in id
      variant([](auto& v) { v[8] = 'F', v[9] = 'B'; }),        // a bank, not a program
      variant([](auto& v) { v.resize(40); }),                  // truncated in the header
      variant([](auto& v) { v[57] = 0x10; }),                  // chunk size past the end
      variant([](auto& v) { v.resize(58); }),                  // no room for the chunk size
      variant([](auto& v) { v[8] = 'F', v[9] = 'x', v[10] = 'C', v[11] = 'k', v[27] = 200; }),  // count > params
      variant([](auto& v) { v[8] = 'F', v[9] = 'x', v[10] = 'C', v[11] = 'k', v.resize(100); }),  // count > data
      {},
  };
  for (size_t i = 0; i < bad.size(); ++i) {
    const std::string path = dir + "/bad" + std::to_string(i) + ".fxp";
    writeBytes(path, bad[i]);
    EXPECT_FALSE(b.w().LoadPresetFromFXP(path.c_str())) << i;
    EXPECT_EQ(b.value(kCutoff), 1.0) << i;
  }
  EXPECT_FALSE(b.w().LoadPresetFromFXP((dir + "/missing.fxp").c_str()));
}

TEST_F(ProgramFiles, ParameterListProgramsSetNormalizedValuesAndKeepTheFlags) {
  Engine e;
  const EngineView::BrokenKeys keys = e.view().brokenKeys();
  std::vector<uint8_t> f = {'C', 'c', 'n', 'K', 0, 0, 0, 0, 'F', 'x', 'C', 'k', 0, 0, 0, 1, 'W', 'b', 't', 'n',
                            0, 0, 3, 47, 0, 0, 0, 46};
  f.resize(56, 0);
  for (int i = 0; i < 46; ++i) {
    const float n = i == kCutoff ? 0.25f : i == kGlideTime ? 0.5f : 0.0f;
    uint32_t raw;
    std::memcpy(&raw, &n, 4);
    for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<uint8_t>(raw >> s));
  }
  const std::string path = dir + "/list.fxp";
  writeBytes(path, f);
  ASSERT_TRUE(e.w().LoadPresetFromFXP(path.c_str()));
  EXPECT_EQ(e.value(kCutoff), 0.25);
  EXPECT_DOUBLE_EQ(e.value(kGlideTime), 0.0625);
  EXPECT_EQ(e.value(kMainOut), 0);
  EXPECT_EQ(keys, e.view().brokenKeys());
}

TEST_F(ProgramFiles, AFailedSaveLeavesTheOldFile) {
  Engine e;
  EXPECT_FALSE(e.w().SavePresetAsFXP((dir + "/no/folder/x.fxp").c_str()));
  EXPECT_FALSE(e.w().SavePresetAsFXP(""));
}

TEST(ProgramPaths, FileNamesAndFolders) {
  char name[] = "A/B:C?";
  Synth::replaceIllegalFileChar(name);
  EXPECT_STREQ(name, "A_B_C_");
  char all[] = "\"*/:<>?\\|ok";
  Synth::replaceIllegalFileChar(all);
  EXPECT_STREQ(all, "_________ok");
  const struct {
    const char* path;
    const char* folder;
  } cases[] = {{"/x/y/song.fxp", "/x/y"}, {"/song.fxp", ""}, {"song.fxp", ""}, {"a", ""},
               {"C:\\Programs\\a.fxp", "C:\\Programs"}, {"/Users/x/Programs/[file name is ignored]", "/Users/x/Programs"}};
  for (const auto& c : cases) {
    WDL_String folder, path(c.path);
    Synth::makeNewFilePath(folder, path);
    EXPECT_STREQ(folder.Get(), c.folder) << c.path;
  }
}
