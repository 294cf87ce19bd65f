// The shadow passes of the second mode (F2): the mesh's closed shadow volume
// counted in the colour buffer, from the eye forward where that is right and
// from behind the surface otherwise, and the count turned into the same mask
// as the first mode leaves: 1.0 where lit, 0.52 in shadow.
#pragma once

#include <cstdint>

#include "assets/scene.h"

// Draws the passes for theShadowVolume over mesh (the depth pass's mesh),
// under the projection without a far plane and the view the frame has set
// up, after the depth pass. Leaves depth writes and culling off, blending
// on, the depth test on with GL_LESS, and both matrices as it found them.
void closedVolumeShadowPasses(const Mesh* mesh);

// How many frames counted each way since the start.
struct ClosedVolumeCounts {
  int64_t fromTheEye = 0;
  int64_t fromBehind = 0;
};
extern ClosedVolumeCounts theClosedVolumeCounts;
