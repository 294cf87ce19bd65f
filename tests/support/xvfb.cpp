// Starts Xvfb with -displayfd so the server picks a free display number and
// reports it once it accepts connections.
#include "support/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

XvfbEnvironment::XvfbEnvironment(std::string screen) : screen_(std::move(screen)) {}

void XvfbEnvironment::SetUp() {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_ = fork();
  ASSERT_GE(pid_, 0);
  if (pid_ == 0) {
    close(fds[0]);
    int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    dup2(devNull, 2);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen_.c_str(),
           "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  while (poll(&wait, 1, 20000) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start";
  setenv("DISPLAY", (":" + number).c_str(), 1);
}

void XvfbEnvironment::TearDown() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
}

testing::Environment* useOwnXvfb(const std::string& screen) {
  return testing::AddGlobalTestEnvironment(new XvfbEnvironment(screen));
}
