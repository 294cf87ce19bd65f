// Child processes for tests (see process.h).
#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

bool startProgram(ChildProcess& child, const std::string& program, const std::string& folder,
                  const std::vector<std::string>& withoutVariables) {
  return startCommand(child, {program}, folder, withoutVariables);
}

bool startCommand(ChildProcess& child, const std::vector<std::string>& command,
                  const std::string& folder, const std::vector<std::string>& withoutVariables) {
  if (command.empty()) return false;
  std::vector<char*> arguments;
  for (const std::string& argument : command)
    arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0) return false;
  child.pid = fork();
  if (child.pid < 0) return false;
  if (child.pid == 0) {
    close(fds[0]);
    dup2(fds[1], 1);
    dup2(fds[1], 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    for (const std::string& variable : withoutVariables) unsetenv(variable.c_str());
    execvp(arguments[0], arguments.data());
    _exit(127);
  }
  close(fds[1]);
  child.outputFd = fds[0];
  fcntl(child.outputFd, F_SETFL, O_NONBLOCK);
  return true;
}

void collectOutput(ChildProcess& child) {
  char buffer[4096];
  for (;;) {
    ssize_t got = read(child.outputFd, buffer, sizeof buffer);
    if (got <= 0) break;
    child.output.append(buffer, static_cast<size_t>(got));
  }
}

int waitForExit(ChildProcess& child, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    collectOutput(child);
    pid_t done = waitpid(child.pid, &status, WNOHANG);
    if (done == child.pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child.pid, SIGKILL);
      waitpid(child.pid, &status, 0);
      collectOutput(child);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  collectOutput(child);
  close(child.outputFd);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void signalProgram(ChildProcess& child, int signal) { kill(child.pid, signal); }

double coreShare(const ChildProcess& child, int milliseconds) {
  // User and system clock ticks, from /proc; the name in the line may hold
  // spaces and parentheses, so the fields are counted from its end.
  auto ticks = [&child] {
    std::ifstream file("/proc/" + std::to_string(child.pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::istringstream fields(stat.substr(std::min(stat.size(), stat.rfind(')') + 1)));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
  };
  const long before = ticks();
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  return static_cast<double>(ticks() - before) / static_cast<double>(sysconf(_SC_CLK_TCK)) /
         (milliseconds / 1000.0);
}

int runCommand(const std::vector<std::string>& command, std::string& output, int timeoutMs,
               const std::string& folder) {
  ChildProcess child;
  output.clear();
  if (!startCommand(child, command, folder)) return -1;
  const int code = waitForExit(child, timeoutMs);
  output = child.output;
  return code;
}
