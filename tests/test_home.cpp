// SPDX-License-Identifier: ISC
// Every test program runs with a fresh, empty home folder of its own, so that
// the instrument's configuration file is created there and never in the
// home of whoever runs the tests.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct TemporaryHome {
  TemporaryHome() {
    char pattern[] = "/tmp/wobblytone-home-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    path = pattern;
    setenv("HOME", path.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path + "/.config").c_str(), 1);
  }
  ~TemporaryHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

TemporaryHome home;

}  // namespace
