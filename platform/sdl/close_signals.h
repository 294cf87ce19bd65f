// SIGINT, SIGTERM and SIGHUP as close requests, shared by the files of this
// folder only. The handlers only note the signal; the message queue turns it
// into WM_CLOSE, and a message box that is up gives way to it.
#pragma once

// Installs the handlers once; SDL is told to install none of its own.
void watchCloseSignals();
// True once for each noted close request (several signals before it is taken
// count as one).
bool takeCloseSignal();
// Readable whenever a close signal has come since the last takeCloseSignal,
// so a wait can include it in a poll; -1 before watchCloseSignals.
int closeSignalFd();
// For a child process: the three signals back to their default action and
// the wake-up pipe closed.
void forgetCloseSignals();
