// One complete frame: drawn, swapped, captioned, and the held keys applied.
#pragma once

#include "platform/platform.h"

void renderFrame(WindowHandle window);
