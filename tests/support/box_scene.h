// The synthetic shadow scene both frame tests draw: a closed box floating over
// a finely tessellated receiver in z = 0, as one mesh, in memory or written as
// a 3D Studio file for a program to start from. Only geometry: no normals, no
// mapping coordinates, no material.
//
// The colour-buffer shadow test is exact for an eye outside the volume as long
// as no eye ray leaves the volume and enters it again before reaching the
// surface. For one convex caster the volume (all points beyond the caster as
// seen from the light) is itself convex, so an eye ray crosses its boundary at
// most twice: in through a side quad that faces the eye, or in through the
// caster's lit side, which hides whatever lies behind it, and out through a
// side quad that faces away. So the box may float: the gap under it is inside
// its volume, and a ray to the receiver that passes under the box enters by a
// front quad and, if it reaches lit receiver, leaves by a back quad. (A
// non-convex caster with a gap, such as an L-block held above the receiver,
// is where a ray can leave one arm's volume and enter the other's; the bundled
// scene avoids that by standing its block on the wall.) The receiver is flat,
// so none of its inner edges is on a silhouette and its border edges have one
// face only; its vertices lie nowhere near the box's, so the edge list never
// pairs faces of the two.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"

constexpr float receiverLeft = -80.0f;
constexpr float receiverNear = -60.0f;
constexpr float receiverCell = 2.5f;
constexpr int receiverColumns = 64;
constexpr int receiverRows = 56;
// The receiver's faces come first in the mesh, the box's twelve after them.
constexpr int32_t receiverFaceCount = 2 * receiverColumns * receiverRows;

// Where the box is and where the light.
struct BoxAndLight {
  Vec3 low;
  Vec3 high;
  Vec3 light;
};

// The start light and a box over the receiver's middle: from the start eye,
// straight above, the shadow falls away from the light, partly hidden by the box.
constexpr BoxAndLight startBoxAndLight{
    {-12.0f, 0.0f, 18.0f}, {12.0f, 16.0f, 28.0f}, {20.0f, 20.0f, 70.0f}};

// The receiver's triangles, counter-clockwise seen from +Z.
void addReceiver(std::vector<Vec3>& vertices, std::vector<Face>& faces);
// Eight shared corners, so every edge has its two faces; each face is counter-
// clockwise seen from outside, as two triangles.
void addBox(std::vector<Vec3>& vertices, std::vector<Face>& faces, const Vec3& low,
            const Vec3& high);

// A main chunk, an editor chunk and one named triangle mesh with these
// vertices and faces; at most 65535 vertices, as the format counts them.
std::vector<uint8_t> sceneFileBytes(const std::vector<Vec3>& vertices,
                                    const std::vector<Face>& faces);

// One named triangle mesh of a scene file; a mapped one gets mapping
// coordinates (x / 64, y / 64).
struct SceneObject {
  const char* name;
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
  bool mapped;
};
std::vector<uint8_t> sceneFileBytes(const std::vector<SceneObject>& objects);
