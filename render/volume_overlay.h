// The shadow volume shown over the frame (F3): drawn after the frame's
// passes, in the depth they left, under the projection the frame drew with.
#pragma once

#include "render/frame_geometry.h"

// secondMode: the volume as the second shadow mode builds it, closed, with
// both caps; otherwise the open sides the first mode draws. Both as the
// frame's geometry holds them.
void drawVolumeOverlay(const FrameGeometry& geometry, bool secondMode);
