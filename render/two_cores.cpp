// A thread per call: the frame hands over work in two parts a few times when
// the light moves and not at all while nothing moves, so keeping a thread
// waiting in between would buy little.
#include "render/two_cores.h"

#include <system_error>
#include <thread>

void onTwoCores(const std::function<void(int part)>& work) {
  std::thread first;
  try {
    first = std::thread(work, 0);
  } catch (const std::system_error&) {
    work(0);
  }
  work(1);
  if (first.joinable()) first.join();
}
