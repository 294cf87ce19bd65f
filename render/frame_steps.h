// The frame a pass at a time (F4): which part of the frame is on view, the
// depth buffer shown in grey after the depth pass, the render state a frame
// cut short leaves for the next one, and the part's name in the caption.
// The passes know nothing of it; the frame looks at the step between them.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// In the order F4 steps through them; each "after" shows the colour buffer as
// that pass leaves it, except the depth pass's, which shows the depth buffer.
enum FrameStep : uint8_t {
  wholeFrame,
  afterDepthPass,
  afterShadowPasses,  // the shadow mask: white, and 0.52 grey in shadow
  afterLitPass,
  afterAmbientPass,
  afterTexturePass,
  frameStepCount
};

// Draws the depth buffer of the width x height client area over the colour
// buffer as grey levels: near dark, far light, nothing drawn white. Reads the
// projection in force to tell distances.
void showDepthBuffer(int width, int height);
// Leaves the render state as the whole frame leaves it, which the next
// frame's passes count on (the ambient pass turns the depth test off and the
// texture pass turns it on again).
void endCutFrame();
// Writes the name of the part on view into the caption when it changed.
void captionFrameStep(WindowHandle window);
