// A one-button message box for fatal start-up problems. The text goes to
// standard error first, which is all there is when no display can be opened.
//
// The box lives in a child process of our own, which the kernel ends when
// the program dies, by SIGKILL too, so no box outlives the program. While it
// is up the program waits for it and for close signals (SIGINT, SIGTERM,
// SIGHUP): a close signal takes the box down and returns at once, spent on
// the box, so that the failure being shown ends the program as the answer
// would have.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/sdl/close_signals.h"
#include "platform/sdl/window_table.h"
#include "platform/sdl/x11_message_box.h"

namespace {

[[noreturn]] void runBoxProcess(pid_t parent, const char* title, const char* text) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(1);  // the program died before the request took
  forgetCloseSignals();
  _exit(runX11MessageBox(title, text) ? 0 : 1);
}

// Until the box ends (its end of the pipe closes) or a close signal comes.
void waitForBox(pid_t box, int boxAlive) {
  pollfd waits[2] = {{boxAlive, POLLIN, 0}, {closeSignalFd(), POLLIN, 0}};
  nfds_t count = closeSignalFd() >= 0 ? 2 : 1;
  for (;;) {
    int ready = poll(waits, count, -1);
    if (takeCloseSignal()) {
      kill(box, SIGKILL);
      break;
    }
    if (ready < 0 && errno != EINTR) break;
    if (ready > 0 && waits[0].revents != 0) break;
  }
  while (waitpid(box, nullptr, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

void showMessageBox(const char* title, const char* text) {
  if (!startVideo()) {
    std::fprintf(stderr, "%s: %s\n%s: %s\n", title, text, title, noDisplayReason().c_str());
    return;
  }
  std::fprintf(stderr, "%s: %s\n", title, text);
  std::fflush(stderr);
  int boxAlive[2];
  if (pipe2(boxAlive, O_CLOEXEC) != 0) return;
  pid_t parent = getpid();
  pid_t box = fork();
  if (box == 0) {
    close(boxAlive[0]);
    runBoxProcess(parent, title, text);
  }
  close(boxAlive[1]);
  if (box > 0) waitForBox(box, boxAlive[0]);
  close(boxAlive[0]);
}
