// SPDX-License-Identifier: ISC
#include "adapters/offline/wav_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

ReplacingWavFile::ReplacingWavFile(std::string targetPath, int sampleRate)
    : target(std::move(targetPath)), rate(sampleRate) {}

ReplacingWavFile::~ReplacingWavFile() {
  if (file) sf_close(file);
  if (!committed && !temporary.empty()) ::unlink(temporary.c_str());
}

bool ReplacingWavFile::open(std::string& error) {
  // A name of our own in the target's folder (so that the rename stays on
  // one file system), made with O_EXCL: the mode follows the user's mask.
  const std::string stem = folderOf(target) + "/." + baseNameOf(target) + ".part-" + std::to_string(::getpid());
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = stem + "-" + std::to_string(attempt);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = "cannot write " + target + ": " + std::strerror(errno);
    temporary.clear();
    return false;
  }
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
  if (!file) {
    ::close(fd);
    error = "cannot write " + target + ": " + sf_strerror(nullptr);
    return false;
  }
  return true;
}

bool ReplacingWavFile::write(const float* mono, int count) {
  if (!file || count < 0) return false;
  interleaved.resize(static_cast<size_t>(count) * 2);
  for (int i = 0; i < count; ++i) interleaved[2 * static_cast<size_t>(i)] = interleaved[2 * static_cast<size_t>(i) + 1] = mono[i];
  if (sf_writef_float(file, interleaved.data(), count) != count) return false;
  frames += count;
  return true;
}

bool ReplacingWavFile::commit(std::string& error) {
  if (!file) {
    error = "writing " + target + " failed";
    return false;
  }
  sf_write_sync(file);
  const int closed = sf_close(file);
  file = nullptr;
  if (closed != 0) {
    error = "writing " + target + " failed: " + sf_error_number(closed);
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    error = "cannot put the new file in place of " + target + ": " + std::strerror(errno);
    return false;
  }
  committed = true;
  return true;
}
