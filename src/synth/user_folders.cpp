// SPDX-License-Identifier: ISC
#include "user_folders.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

namespace userFolders {

std::string home() {
  const char* h = std::getenv("HOME");
  return h ? h : "";
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
  const std::string dirsFile =
      (configHome && *configHome ? std::string(configHome) : home() + "/.config") + "/user-dirs.dirs";
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
  return home() + "/Music";
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
