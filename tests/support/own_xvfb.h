// A private Xvfb for programs that draw, tests and benchmarks alike: a display
// number of its own, 16 bits deep like the target machines by default, so
// they need no desktop and several can run side by side. No test framework
// here: the benchmarks use it too.
#pragma once

#include <sys/types.h>

#include <string>

// Starts the server and points DISPLAY at it; -1 when it did not start.
pid_t startOwnXvfb(const std::string& screen = "1024x768x16");
void stopOwnXvfb(pid_t server);
