// SPDX-License-Identifier: ISC
// Child processes for the tests that start real components: a JACK server,
// the standalone app, a virtual X display. Each is stopped when its owner
// goes, however the test ends.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace testutil {

// Starts a program with its output in `log`.
inline pid_t spawn(const std::vector<std::string>& args, const std::string& log) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::freopen(log.c_str(), "w", stdout);
    std::freopen(log.c_str(), "a", stderr);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

inline void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// A child process that is stopped whatever way the test ends.
struct Child {
  explicit Child(pid_t pid = -1) : pid(pid) {}
  ~Child() { stop(pid); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t pid;
};

// A virtual X display of the test's own: Xvfb picks a free display number
// and reports it through a pipe.
class VirtualDisplay {
 public:
  bool start(const std::string& log, const std::string& screen = "1280x800x24") {
    int report[2];
    if (pipe(report) != 0) return false;
    pid = fork();
    if (pid == 0) {
      close(report[0]);
      std::freopen(log.c_str(), "w", stdout);
      std::freopen(log.c_str(), "a", stderr);
      const std::string fd = std::to_string(report[1]);
      execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(report[1]);
    // Xvfb writes the number and then a line feed, possibly in two writes:
    // read up to the line feed, and keep the pipe open while Xvfb runs (a
    // write into a closed pipe makes it give up).
    reportFd = report[0];
    std::string number;
    char c;
    while (read(reportFd, &c, 1) == 1 && c != '\n') number += c;
    if (number.empty()) return false;
    name = ":" + number;
    return true;
  }
  ~VirtualDisplay() {
    stop(pid);
    if (reportFd >= 0) close(reportFd);
  }
  int reportFd = -1;
  std::string name;
  pid_t pid = -1;
};

}  // namespace testutil
