// SPDX-License-Identifier: ISC
// Finding the resources from a module's own file and from the paths hosts
// hand over, on real folders laid out as the bundles are.
#include "platform/resource_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class BundleLayouts : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/wobblytone-bundles-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

  std::string folder(const std::string& relative) {
    const std::string path = root + "/" + relative;
    std::system(("mkdir -p '" + path + "'").c_str());
    return path;
  }
  std::string file(const std::string& relative) {
    const std::string path = root + "/" + relative;
    std::system(("mkdir -p \"$(dirname '" + path + "')\"").c_str());
    if (FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
    return path;
  }
  std::string root;
};

}  // namespace

TEST_F(BundleLayouts, EachFormatFindsItsResourcesFromItsModule) {
  const std::string clap = file("clap/Wobblytone.clap");
  const std::string clapResources = folder("clap/Wobblytone-resources") + "/";
  EXPECT_EQ(resourceFolderOfModule(clap), clapResources);

  const std::string lv2 = file("lv2/Wobblytone.lv2/Wobblytone_dsp.so");
  EXPECT_EQ(resourceFolderOfModule(lv2), "");  // no resources/ yet
  const std::string lv2Resources = folder("lv2/Wobblytone.lv2/resources") + "/";
  EXPECT_EQ(resourceFolderOfModule(lv2), lv2Resources);

  const std::string vst3 = file("vst3/Wobblytone.vst3/Contents/x86_64-linux/Wobblytone.so");
  const std::string vst3Resources = folder("vst3/Wobblytone.vst3/resources") + "/";
  EXPECT_EQ(resourceFolderOfModule(vst3), vst3Resources);

  const std::string app = file("bin/wobblytone");
  EXPECT_EQ(resourceFolderOfModule(app), "");
  const std::string appResources = folder("bin/resources") + "/";
  EXPECT_EQ(resourceFolderOfModule(app), appResources);
  EXPECT_EQ(resourceFolderOfModule(""), "");
}

// CLAP hosts differ: some pass the .clap file, others the folder holding it.
// LV2 and VST3 hosts pass the bundle, with or without a trailing slash.
TEST_F(BundleLayouts, HostPathsOfEveryShapeLeadToTheSameResources) {
  const std::string clap = file("clap/Wobblytone.clap");
  const std::string clapResources = folder("clap/Wobblytone-resources") + "/";
  EXPECT_EQ(resourceFolderOfHostPath(clap), clapResources);
  EXPECT_EQ(resourceFolderOfHostPath(root + "/clap"), clapResources);
  EXPECT_EQ(resourceFolderOfHostPath(root + "/clap/"), clapResources);

  const std::string lv2Resources = folder("lv2/Wobblytone.lv2/resources") + "/";
  EXPECT_EQ(resourceFolderOfHostPath(root + "/lv2/Wobblytone.lv2/"), lv2Resources);
  const std::string vst3Resources = folder("vst3/Wobblytone.vst3/resources") + "/";
  EXPECT_EQ(resourceFolderOfHostPath(root + "/vst3/Wobblytone.vst3"), vst3Resources);

  EXPECT_EQ(resourceFolderOfHostPath(root + "/missing"), "");
  EXPECT_EQ(resourceFolderOfHostPath(folder("empty")), "");
  EXPECT_EQ(resourceFolderOfHostPath(""), "");
}

TEST(LoadedModule, IsThisProgramsOwnFile) {
  const std::string self = loadedModulePath();
  ASSERT_FALSE(self.empty());
  struct stat mine {
  }, found{};
  ASSERT_EQ(stat("/proc/self/exe", &mine), 0);
  ASSERT_EQ(stat(self.c_str(), &found), 0);
  EXPECT_EQ(mine.st_ino, found.st_ino);
}

TEST(ResourceEnvironment, GetsATrailingSlash) {
  setenv("WOBBLYTONE_RESOURCES", "/opt/wobbly", 1);
  EXPECT_EQ(resourceFolderFromEnvironment(), "/opt/wobbly/");
  setenv("WOBBLYTONE_RESOURCES", "", 1);
  EXPECT_EQ(resourceFolderFromEnvironment(), "");
  unsetenv("WOBBLYTONE_RESOURCES");
}
