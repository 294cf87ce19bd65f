// The frame rate in the window caption, refreshed every ten frames.
#pragma once

#include <cstdint>

#include "platform/platform.h"

extern float frameCounter;
extern uint32_t startTime;
extern float framesPerSecond;

void updateFrameRateCaption(WindowHandle window);
// Shows name after the rate ("24.500000 - shadow mask"), at once and at every
// refresh; a null name gives back the rate alone.
void nameFrameStepInCaption(WindowHandle window, const char* name);
// Shows a saved file's name after the rate and the part's name, in the same
// way; a null name takes it off again.
void nameSavedFileInCaption(WindowHandle window, const char* name);
