// SPDX-License-Identifier: ISC
// wobblytone-make-clips OUTPUT_FOLDER: writes the five sound clips into
// OUTPUT_FOLDER, creating it and any missing parents. The build runs it; on
// bad arguments or a failure it says why on stderr and exits with 2.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "clip_generator.h"

namespace {

// Creates `path` and its missing parents, like mkdir -p. Folders get mode
// 0775 less the umask, so the user's umask decides as it does for any tool.
bool makeFolders(const std::string& path, std::string& error) {
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string part = path.substr(0, end);
    if (::mkdir(part.c_str(), 0775) != 0) {
      struct stat info;
      if (errno != EEXIST) {
        error = "cannot create folder " + part + ": " + std::strerror(errno);
        return false;
      }
      if (::stat(part.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = part + " exists but is not a folder";
        return false;
      }
    }
    if (end == std::string::npos) return true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '\0') {
    std::fprintf(stderr, "usage: wobblytone-make-clips OUTPUT_FOLDER\n");
    return 2;
  }
  std::string error;
  if (!makeFolders(argv[1], error) || !writeClipFiles(argv[1], error)) {
    std::fprintf(stderr, "wobblytone-make-clips: %s\n", error.c_str());
    return 2;
  }
  return 0;
}
