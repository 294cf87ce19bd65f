// The runner for work in two parts (shadow/two_parts.h) that puts part 0 on
// a second thread and part 1 on the calling one. Where no thread can be
// started, both run on the calling one.
#pragma once

#include "shadow/two_parts.h"

void onTwoCores(const std::function<void(int part)>& work);
