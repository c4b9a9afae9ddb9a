// SPDX-License-Identifier: ISC
// Finding the resource folder from a module or a host's path.
#include "platform/resource_folder.h"

#include <dlfcn.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The folder part of a path ("." for a bare name), without a trailing '/'.
std::string parentOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderIfPresent(const std::string& folder) { return isFolder(folder) ? folder + "/" : std::string(); }

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string resourceFolderFromEnvironment() {
  const char* env = std::getenv("WOBBLYTONE_RESOURCES");
  if (!env || !*env) return "";
  const std::string path = env;
  return path.back() == '/' ? path : path + "/";
}

std::string resourceFolderOfModule(const std::string& modulePath) {
  if (modulePath.empty()) return "";
  const std::string folder = parentOf(modulePath);
  if (endsWith(modulePath, ".clap")) return folderIfPresent(folder + "/Wobblytone-resources");
  if (endsWith(folder, ".lv2")) return folderIfPresent(folder + "/resources");
  const std::string contents = parentOf(folder);
  if (baseNameOf(contents) == "Contents" && endsWith(parentOf(contents), ".vst3"))
    return folderIfPresent(parentOf(contents) + "/resources");
  return folderIfPresent(folder + "/resources");
}

std::string resourceFolderOfHostPath(const std::string& path) {
  if (path.empty()) return "";
  const std::string given = withoutTrailingSlashes(path);
  if (isFile(given)) return resourceFolderOfModule(given);
  if (!isFolder(given)) return "";
  if (std::string bundle = folderIfPresent(given + "/resources"); !bundle.empty()) return bundle;
  return folderIfPresent(given + "/Wobblytone-resources");
}

std::string loadedModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&loadedModulePath), &info) != 0 && info.dli_fname && *info.dli_fname) {
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved)) return resolved;
  }
  // The main program's own entry may carry no usable name.
  char exe[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  return n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
}
