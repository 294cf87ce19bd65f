// Whether a mesh's closed shadow volume reaches a rectangle, such as the part
// of the near plane the view sees. A lit face's volume holds the points
// beyond it as seen from the light, so it meets the rectangle exactly when the
// face meets the pyramid between the light and the rectangle; the test runs
// on those pyramids, face by face. It answers on the side of "reaches": a
// face that touches the pyramid, or comes within rounding of it, reaches it.
// Geometry only; no OpenGL calls.
#pragma once

#include "assets/scene.h"
#include "shadow/closed_volume.h"
#include "shadow/shadow_volume.h"

// Closed sets, corners in double precision: the pyramid's base is a convex
// quadrilateral, corners in order round it. True unless some axis shows a gap
// of more than `margin` between the two.
bool triangleMeetsPyramid(const double triangle[3][3], const double apex[3],
                          const double base[4][3], double margin);

// Whether some face of the volume that faces closed's light meets the
// pyramid between the light and the rectangle, counting anything within
// `margin` as meeting it, or within the rounding of the coordinates involved.
bool volumeReachesRectangle(const ShadowVolume& volume, const ClosedVolume& closed,
                            const double rectangle[4][3], double margin);
