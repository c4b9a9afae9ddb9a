// SPDX-License-Identifier: ISC
// What this process writes to standard error while a capture lives: a
// plug-in in normal use (load, play, state, editor) should write nothing.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

namespace testutil {

class StderrCapture {
 public:
  StderrCapture() {
    std::fflush(stderr);
    file = std::tmpfile();
    saved = dup(STDERR_FILENO);
    if (file && saved >= 0) dup2(fileno(file), STDERR_FILENO);
  }
  ~StderrCapture() {
    restore();
    if (file) std::fclose(file);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Ends the capture and returns what was written.
  std::string text() {
    restore();
    std::string written;
    if (!file) return written;
    std::rewind(file);
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) written.append(buffer, n);
    return written;
  }

 private:
  void restore() {
    if (saved < 0) return;
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    saved = -1;
  }
  std::FILE* file = nullptr;
  int saved = -1;
};

}  // namespace testutil
