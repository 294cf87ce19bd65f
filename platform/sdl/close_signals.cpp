// Close signals (SIGINT, SIGTERM, SIGHUP) noted by a handler of our own rather
// than SDL's, because SDL knows no SIGHUP and its quit event cannot reach a
// wait that is not pumping events. A handler does no more than set a flag and
// write a byte to a non-blocking pipe, both safe in a signal handler.
#include "platform/sdl/close_signals.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

const int closeSignals[] = {SIGINT, SIGTERM, SIGHUP};
volatile sig_atomic_t closeNoted = 0;
int wakeFds[2] = {-1, -1};

void noteCloseSignal(int) {
  int savedErrno = errno;
  closeNoted = 1;
  if (wakeFds[1] >= 0) {
    char byte = 1;
    // A full pipe already wakes any waiter.
    if (write(wakeFds[1], &byte, 1) < 0) {
    }
  }
  errno = savedErrno;
}

}  // namespace

void watchCloseSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  if (pipe2(wakeFds, O_NONBLOCK | O_CLOEXEC) != 0) wakeFds[0] = wakeFds[1] = -1;
  struct sigaction action {};
  action.sa_handler = noteCloseSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : closeSignals) sigaction(signal, &action, nullptr);
}

bool takeCloseSignal() {
  if (wakeFds[0] >= 0) {
    char drain[64];
    while (read(wakeFds[0], drain, sizeof drain) > 0) {
    }
  }
  if (closeNoted == 0) return false;
  closeNoted = 0;
  return true;
}

int closeSignalFd() { return wakeFds[0]; }

void forgetCloseSignals() {
  for (int signal : closeSignals) ::signal(signal, SIG_DFL);
  for (int& fd : wakeFds) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}
