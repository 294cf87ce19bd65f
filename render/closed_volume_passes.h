// The shadow passes of the second mode (F2): the mesh's closed shadow volume
// counted in the colour buffer, from the eye forward where that is right and
// from behind the surface otherwise, and the count turned into the same mask
// as the first mode leaves: 1.0 where lit, 0.52 in shadow.
#pragma once

#include <cstdint>

#include "render/frame_geometry.h"
#include "shadow/shadow_volume.h"

// Draws the passes of the closed volume the geometry holds for volume over
// the geometry's mesh, under the projection without a far plane and the view
// the frame has set up, after the depth pass. Leaves depth writes and culling
// off, blending on, the depth test on with GL_LESS, and both matrices as it
// found them.
void closedVolumeShadowPasses(const FrameGeometry& geometry, const ShadowVolume* volume);

// How many frames counted each way since the start.
struct ClosedVolumeCounts {
  int64_t fromTheEye = 0;
  int64_t fromBehind = 0;
};
extern ClosedVolumeCounts theClosedVolumeCounts;
