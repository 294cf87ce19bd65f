// The millisecond clock: a monotonic count that wraps as an unsigned 32-bit
// number, as callers must expect of it.
#include <chrono>

#include "platform/platform.h"

uint32_t timeGetTime() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
