// SPDX-License-Identifier: ISC
// The per-user configuration file and MIDI learn, each test in a home
// folder of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine_harness.h"
#include "platform/user_folders.h"

using testutil::Engine;
using testutil::midiAt;

namespace {

class Configuration : public ::testing::Test {
 protected:
  void SetUp() override {
    oldHome = std::getenv("HOME");
    oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    char pattern[] = "/tmp/wobblytone-config-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home = pattern;
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  }
  void TearDown() override {
    setenv("HOME", oldHome.c_str(), 1);
    setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    std::filesystem::remove_all(home);
  }
  std::string configFile() const { return home + "/Music/MarlpitMusic/wobblytone.ini"; }
  void writeConfig(const std::string& text, const std::string& path = "") {
    const std::string file = path.empty() ? configFile() : path;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    std::ofstream(file) << text;
  }
  std::string readConfig() const {
    std::ifstream in(configFile());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string home, oldHome, oldConfig;
};

}  // namespace

TEST_F(Configuration, FirstStartCreatesAnEmptyFileAndKeepsTheDefaults) {
  const mode_t mask = umask(022);
  umask(mask);
  Engine e;
  EXPECT_TRUE(std::filesystem::exists(configFile()));
  EXPECT_EQ(std::filesystem::file_size(configFile()), 0u);
  EXPECT_STREQ(e.w().configFile.iniPath.Get(), configFile().c_str());
  EXPECT_EQ(e.w().configFile.windowScale, 0.5f);
  EXPECT_STREQ(e.w().configFile.programPath.Get(), home.c_str());
  EXPECT_FALSE(e.w().configFile.midiThru);
  EXPECT_FALSE(e.w().configFile.ignoreProgramChange);
  for (int cc : e.w().midiLearn.ccMap) EXPECT_EQ(cc, -1);
  const mode_t after = umask(022);
  umask(after);
  EXPECT_EQ(after, mask);  // the host's file-creation mask is left alone
}

TEST_F(Configuration, TheMusicFolderOfTheUserDirsFileIsUsed) {
  writeConfig("XDG_MUSIC_DIR=\"$HOME/Songs\"\n", home + "/.config/user-dirs.dirs");
  Engine e;
  EXPECT_STREQ(e.w().configFile.iniPath.Get(), (home + "/Songs/MarlpitMusic/wobblytone.ini").c_str());
}

TEST_F(Configuration, AFileAtTheOlderLocationIsCopiedAndApplied) {
  const std::string older = home + "/Library/Application Support/MarlpitMusic/wobblytone.ini";
  writeConfig("[Editor]\nScale=1.000000\n\n[MIDI Control]\nCC7=12\n\n", older);
  Engine e;
  EXPECT_EQ(e.w().configFile.windowScale, 1.0f);
  EXPECT_EQ(e.w().midiLearn.ccMap[7], kModMix);
  EXPECT_EQ(readConfig(), "[Editor]\nScale=1.000000\n\n[MIDI Control]\nCC7=12\n\n");
}

TEST_F(Configuration, MalformedValuesFallBackAsTheyShould) {
  writeConfig(
      "[Editor]\nScale=abc\n[MIDI Global]\nMIDI Thru=True\nIgnore Program Change=true\n"
      "[MIDI Control]\nCC7=x\nCC8=0\nCC9=99\nCC10=  12 \nCC11=\n");
  Engine e;
  EXPECT_EQ(e.w().configFile.windowScale, 0.5f);
  EXPECT_FALSE(e.w().configFile.midiThru);
  EXPECT_TRUE(e.w().configFile.ignoreProgramChange);
  EXPECT_EQ(e.w().midiLearn.ccMap[7], -1);
  EXPECT_EQ(e.w().midiLearn.ccMap[8], kPower);
  EXPECT_EQ(e.w().midiLearn.ccMap[9], 99);
  EXPECT_EQ(e.w().midiLearn.ccMap[10], 12);
  // A binding outside the parameters never acts, and is saved back unchanged.
  e.render(100, {midiAt(0, IMidiMsg::controlChange(0, 9, 127))});
  e.w().saveConfig(Synth::ConfigPart::everything);
  EXPECT_NE(readConfig().find("CC9=99\n"), std::string::npos);

  writeConfig("[Editor]\nScale=-1\n");
  Engine negative;
  EXPECT_EQ(negative.w().configFile.windowScale, 0.5f);
}

TEST_F(Configuration, SavingWritesOnlyWhatWasAskedFor) {
  Engine e;
  e.w().configFile.windowScale = 0.70710677f;
  e.w().configFile.midiThru = true;
  e.w().saveConfig(Synth::ConfigPart::windowScale);
  EXPECT_EQ(readConfig(), "[Editor]\nScale=0.707107\n\n");
  e.w().saveConfig(Synth::ConfigPart::midiThru);
  EXPECT_NE(readConfig().find("MIDI Thru=true"), std::string::npos);
  EXPECT_EQ(readConfig().find("Ignore Program Change"), std::string::npos);
}

TEST_F(Configuration, SavingWithoutBindingsEmptiesTheControllerSection) {
  writeConfig("[MIDI Control]\nCC3=5\n");
  Engine e;
  EXPECT_EQ(e.w().midiLearn.ccMap[3], 5);
  e.w().midiLearn.ccMap[3] = -1;
  e.w().saveConfig(Synth::ConfigPart::everything);
  EXPECT_NE(readConfig().find("[MIDI Control]\n\n"), std::string::npos);
  EXPECT_EQ(readConfig().find("CC3"), std::string::npos);
}

TEST_F(Configuration, ALongProgramFolderSurvivesAReload) {
  Engine e;
  WDL_String folder((home + "/a/very/long/folder/name/for/programs/that/goes/on/and/on/beyond/sixty-three").c_str());
  ASSERT_GT(folder.GetLength(), 63);
  e.w().storeProgramPath(&folder);
  Engine again;
  EXPECT_STREQ(again.w().configFile.programPath.Get(), folder.Get());
}

TEST_F(Configuration, LearnBindsMovesAndIsSavedOnlyOnRequest) {
  Engine e;
  e.w().midiLearn.doMidiLearn(true);
  e.set(kCutoff, 0.4);
  e.render(100, {midiAt(e.now, IMidiMsg::controlChange(0, 74, 64))});
  EXPECT_EQ(e.w().midiLearn.ccMap[74], kCutoff);
  EXPECT_FALSE(e.w().midiLearn.midiLearnActive);
  EXPECT_EQ(e.value(kCutoff), 0.4);  // the learning controller changed nothing
  // The controller first, then the knob: the binding moves to 75.
  e.w().midiLearn.doMidiLearn(true);
  e.render(100, {midiAt(e.now, IMidiMsg::controlChange(0, 75, 1))});
  e.set(kCutoff, 0.5);
  EXPECT_EQ(e.w().midiLearn.ccMap[74], -1);
  EXPECT_EQ(e.w().midiLearn.ccMap[75], kCutoff);
  EXPECT_EQ(readConfig(), "");  // learning writes nothing
  e.w().saveConfig(Synth::ConfigPart::everything);
  EXPECT_NE(readConfig().find("CC75=37\n"), std::string::npos);
  // Switching the learn switch off cancels a waiting learn.
  e.w().midiLearn.doMidiLearn(true);
  e.w().midiLearn.doMidiLearn(false);
  e.set(kEmphasis, 0.5);
  EXPECT_EQ(e.w().midiLearn.ccMap[75], kCutoff);
}

TEST_F(Configuration, UnlearnRemovesEveryControllerOfAParameter) {
  writeConfig("[MIDI Control]\nCC74=37\nCC75=37\nCC76=38\n");
  Engine e;
  e.w().midiLearn.doMidiUnlearn(true);
  e.set(kCutoff, 0.2);
  EXPECT_EQ(e.w().midiLearn.ccMap[74], -1);
  EXPECT_EQ(e.w().midiLearn.ccMap[75], -1);
  EXPECT_EQ(e.w().midiLearn.ccMap[76], kEmphasis);
  EXPECT_FALSE(e.w().midiLearn.midiLearnActive);
  e.w().midiLearn.doMidiUnlearn(true);
  e.render(100, {midiAt(e.now, IMidiMsg::controlChange(0, 76, 0))});
  EXPECT_EQ(e.w().midiLearn.ccMap[76], -1);
}

// Only a scale the corner could have set is taken from the file; one that
// is not a number, infinite or beyond 2 leaves the default, and saving then
// writes the scale in use, not the one that was refused.
TEST_F(Configuration, AScaleOutsideTheCornersRangeIsNotTaken) {
  for (const char* value : {"inf", "nan", "3", "2.5", "0"}) {
    SCOPED_TRACE(value);
    writeConfig(std::string("[Editor]\nScale=") + value + "\n");
    Engine e;
    EXPECT_EQ(e.w().configFile.windowScale, 0.5f);
    e.w().saveConfig(Synth::ConfigPart::windowScale);
    EXPECT_NE(readConfig().find("Scale=0.500000\n"), std::string::npos) << readConfig();
  }
  writeConfig("[Editor]\nScale=2\n");
  Engine largest;
  EXPECT_EQ(largest.w().configFile.windowScale, 2.0f);
}

// With HOME unset or empty the home folder comes from the password
// database; with neither there is no home, and nothing is written at the
// file system's root.
TEST(UserFolders, HomeFallsBackToThePasswordDatabaseThenToNothing) {
  EXPECT_EQ(userFolders::homeOf("/home/a", "/home/b"), "/home/a");
  EXPECT_EQ(userFolders::homeOf("", "/home/b"), "/home/b");
  EXPECT_EQ(userFolders::homeOf(nullptr, "/home/b"), "/home/b");
  EXPECT_EQ(userFolders::homeOf(nullptr, ""), "");
  EXPECT_EQ(userFolders::homeOf(nullptr, "relative"), "");
  EXPECT_EQ(userFolders::homeOf(nullptr, nullptr), "");

  const char* saved = std::getenv("HOME");
  const std::string old = saved ? saved : "";
  unsetenv("HOME");
  const std::string fromDatabase = userFolders::home();
  setenv("HOME", "", 1);
  EXPECT_EQ(userFolders::home(), fromDatabase);
  EXPECT_TRUE(fromDatabase.empty() || fromDatabase[0] == '/') << fromDatabase;
  setenv("HOME", old.c_str(), 1);
}
