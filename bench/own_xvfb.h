// A private Xvfb for the benchmarks that draw: a display number of its own,
// 16 bits deep like the target machines, so they need no desktop.
#pragma once

#include <sys/types.h>

// Starts the server and points DISPLAY at it; -1 when it did not start.
pid_t startOwnXvfb();
void stopOwnXvfb(pid_t server);
