// Work over a range split in two parts, the first half and the second, so
// that a caller with two cores can run them at once. The geometry never
// starts a thread itself: it is handed a runner that runs work(0) and
// work(1), one after the other or side by side, and returns when both are
// done. Each part writes only its own half of an output, or output of its
// own that the caller joins in order, so the result is the same either way.
#pragma once

#include <cstddef>
#include <functional>

using TwoParts = std::function<void(const std::function<void(int part)>& work)>;

// The runner without a second thread.
inline void oneAfterTheOther(const std::function<void(int part)>& work) {
  work(0);
  work(1);
}

// Part 0 is [0, count / 2), part 1 the rest.
inline size_t partBegin(size_t count, int part) { return part == 0 ? 0 : count / 2; }
inline size_t partEnd(size_t count, int part) { return part == 0 ? count / 2 : count; }
