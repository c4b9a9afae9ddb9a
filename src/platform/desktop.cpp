// SPDX-License-Identifier: ISC
#include "platform/desktop.h"

#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>

namespace {

bool allowedAddress(const std::string& url) {
  for (const char* scheme : {"http://", "https://", "mailto:"})
    if (url.rfind(scheme, 0) == 0) return url.find_first_of("\r\n") == std::string::npos;
  return false;
}

}  // namespace

bool openWithDesktop(const std::string& url) {
  if (!allowedAddress(url)) return false;
  // Everything the children use is ready before the fork: after it only
  // async-signal-safe calls are made. The intermediate child exits at once,
  // so the browser is nobody's child here and leaves no zombie.
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  int ready[2];
  if (pipe2(ready, O_CLOEXEC) != 0) return false;
  const pid_t child = fork();
  if (child < 0) {
    close(ready[0]);
    close(ready[1]);
    return false;
  }
  if (child == 0) {
    close(ready[0]);
    setsid();
    const pid_t opener = fork();
    if (opener == 0) {
      execvp(argv[0], const_cast<char* const*>(argv));
      // Tell the waiting parent that xdg-open could not be started.
      const char failed = 1;
      (void)!write(ready[1], &failed, 1);
      _exit(127);
    }
    _exit(opener < 0 ? 1 : 0);
  }
  close(ready[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // The write end closes on a successful exec (close-on-exec) or after a
  // failure report; a byte means failure.
  char failed = 0;
  const bool reported = read(ready[0], &failed, 1) == 1;
  close(ready[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !reported;
}
