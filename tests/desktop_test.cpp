// SPDX-License-Identifier: ISC
// Opening the maker's site: xdg-open is started without a shell, with the
// address as its only argument; other schemes are refused. A stand-in
// xdg-open on PATH records what it was given.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/desktop.h"

namespace {

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wobblytone-desktop-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  }
  void TearDown() override {
    setenv("PATH", oldPath.c_str(), 1);
    std::filesystem::remove_all(folder);
  }
  void installOpener() {
    const std::string script = folder + "/xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" << folder << "/opened.tmp'\nmv '" << folder
                          << "/opened.tmp' '" << folder << "/opened'\n";
    chmod(script.c_str(), 0755);
    setenv("PATH", (folder + ":" + oldPath).c_str(), 1);
  }
  std::string opened() {
    for (int i = 0; i < 500; ++i) {
      std::ifstream in(folder + "/opened");
      if (in) return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
  }
  std::string folder, oldPath;
};

}  // namespace

TEST_F(Desktop, OpensTheAddressAsOneArgument) {
  installOpener();
  const std::string url = "https://marlpitmusic.com/music/vst.html?a=1&b=$(touch x) 'q'";
  EXPECT_TRUE(openWithDesktop(url));
  EXPECT_EQ(opened(), "1|" + url);
  EXPECT_FALSE(std::filesystem::exists(folder + "/x"));
}

TEST_F(Desktop, RefusesOtherSchemesAndReportsAMissingOpener) {
  installOpener();
  EXPECT_FALSE(openWithDesktop("file:///etc/passwd"));
  EXPECT_FALSE(openWithDesktop("javascript:alert(1)"));
  EXPECT_FALSE(openWithDesktop("https://a.example/\nrm"));
  EXPECT_FALSE(openWithDesktop(""));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(folder + "/opened"));

  setenv("PATH", folder.c_str(), 1);
  std::filesystem::remove(folder + "/xdg-open");
  EXPECT_FALSE(openWithDesktop("https://marlpitmusic.com"));
}
