// SPDX-License-Identifier: ISC
#include "platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace userFolders {

std::string homeOf(const char* environment, const char* passwordDatabase) {
  if (environment && *environment) return environment;
  // Only an absolute folder: a relative one would put files wherever the
  // host happens to run.
  if (passwordDatabase && passwordDatabase[0] == '/') return passwordDatabase;
  return "";
}

std::string home() {
  const char* environment = std::getenv("HOME");
  if (environment && *environment) return environment;
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return homeOf(nullptr, nullptr);
  return homeOf(nullptr, found->pw_dir);
}

namespace {

std::string expand(std::string value) {
  const std::string h = home();
  if (value.rfind("$HOME", 0) == 0) value = h + value.substr(5);
  else if (value.rfind("${HOME}", 0) == 0) value = h + value.substr(7);
  else if (!value.empty() && value[0] == '~') value = h + value.substr(1);
  return value;
}

}  // namespace

std::string music() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  const std::string h = home();
  if ((!configHome || !*configHome) && h.empty()) return "";
  const std::string dirsFile =
      (configHome && *configHome ? std::string(configHome) : h + "/.config") + "/user-dirs.dirs";
  std::ifstream in(dirsFile);
  std::string line;
  while (std::getline(in, line)) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 14, "XDG_MUSIC_DIR=") != 0) continue;
    std::string value = line.substr(start + 14);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r')) value.pop_back();
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    value = expand(value);
    if (!value.empty() && value[0] == '/') return value;
  }
  return h.empty() ? std::string() : h + "/Music";
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool makeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
    const std::string part = path.substr(0, pos);
    if (!part.empty() && mkdir(part.c_str(), 0775) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) break;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace userFolders
