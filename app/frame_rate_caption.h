// The frame rate in the window caption, refreshed every ten frames.
#pragma once

#include <cstdint>

#include "platform/platform.h"

extern float frameCounter;
extern uint32_t startTime;
extern float framesPerSecond;

void updateFrameRateCaption(WindowHandle window);
