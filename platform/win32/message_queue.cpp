// The message queue on Win32: PeekMessage with PM_REMOVE (never waits),
// WaitMessage, TranslateMessage, DispatchMessage and PostQuitMessage, passed
// straight on.
#include "platform/platform.h"

bool peekMessage(Message& message) {
  return PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) != 0;
}

void waitMessage() { WaitMessage(); }

void translateMessage(const Message& message) { TranslateMessage(&message); }

intptr_t dispatchMessage(const Message& message) { return DispatchMessageA(&message); }

void postQuitMessage(int exitCode) { PostQuitMessage(exitCode); }
