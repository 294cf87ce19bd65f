// Runs one of the built programs as a child process, in a folder of the
// test's choice, with its standard output and error kept in memory.
#pragma once

#include <string>
#include <vector>

struct ChildProcess {
  int pid = -1;
  int outputFd = -1;  // the child's standard output and error, merged
  std::string output;
};

// withoutVariables are removed from the child's environment.
bool startProgram(ChildProcess& child, const std::string& program, const std::string& folder,
                  const std::vector<std::string>& withoutVariables = {});
// The same with arguments: command[0] is the program, looked up on PATH
// when it has no slash.
bool startCommand(ChildProcess& child, const std::vector<std::string>& command,
                  const std::string& folder,
                  const std::vector<std::string>& withoutVariables = {});
// Waits up to timeoutMs for the child to end; its exit code, or -1 on timeout
// (the child is then killed) or when it died of a signal.
int waitForExit(ChildProcess& child, int timeoutMs);
// Reads whatever the child has written so far into child.output.
void collectOutput(ChildProcess& child);
void signalProgram(ChildProcess& child, int signal);
// The processor time the child takes over the next milliseconds, as a share
// of one core (1.0: one core busy throughout). Under Wine the Windows program
// runs in the process Wine was started as.
double coreShare(const ChildProcess& child, int milliseconds);
// Runs a command in folder to its end: its exit code as waitForExit gives it,
// with what it wrote in `output`.
int runCommand(const std::vector<std::string>& command, std::string& output,
               int timeoutMs = 60000, const std::string& folder = "/");
