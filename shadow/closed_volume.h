// The closed shadow volume, for the mode that counts from behind the surface
// as well as from the eye: the faces that face the light (the light cap), the
// same faces pushed to infinity and turned round (the dark cap), and the
// sides from the edges to infinity, far corners with w = 0. Built from the
// faces alone, not from the edge list, so it is closed on any triangle mesh.
//
// The mesh's part, the edge table, is made once when the shadow volume's
// arrays are set. The light's part (which faces face it, the sides they
// leave, both caps) is made by findClosedVolume whenever the light moves;
// the eye's part (which sides it sees from outside) by closedSideTriangles.
// Geometry only: the results are arrays the frame sends; no OpenGL calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/scene.h"
#include "shadow/two_parts.h"

class ShadowVolume;

// A homogeneous point: (x, y, z, 1), or (dx, dy, dz, 0) for the point at
// infinity in that direction. Arrays of Vec4 are packed 16 bytes apart.
struct Vec4 {
  float x;
  float y;
  float z;
  float w;
};

// The faces' edges, each pair of end positions once, in the order of their
// positions; made from the vertex and face arrays by findVolumeEdges.
struct ClosedVolumeTable {
  // An edge named by the vertices of one face that has it, low before high
  // in the order of their positions; its faces are turns[previous edge's
  // turnsEnd .. turnsEnd).
  struct VolumeEdge {
    int32_t low;
    int32_t high;
    uint32_t turnsEnd;
  };
  std::vector<VolumeEdge> edges;
  // A face on an edge: face x 2, plus 1 where it runs the edge high -> low
  // rather than low -> high.
  std::vector<uint32_t> turns;
  std::vector<uint8_t> casting;  // one per face: 1 where it casts
  // The bounds of the casting faces' corners, per run of facesPerBox faces,
  // for tests that can pass over a whole run at once; empty where none casts.
  struct Box {
    Vec3 low;
    Vec3 high;
  };
  static constexpr int32_t facesPerBox = 64;
  std::vector<Box> boxes;
};

// Remakes volume's edge table from its vertex and face arrays (empty unless
// both are set); the shadow volume's setVertexArray and setFaceArray call it.
void findVolumeEdges(ShadowVolume& volume);

// A side of the closed volume: the edge p -> q as the lit faces left over run
// it, and how many sides go there.
struct ClosedSide {
  Vec3 p;
  Vec3 q;
  int32_t count;
};

// The closed volume for one light.
struct ClosedVolume {
  Vec3 light{0.0f, 0.0f, 0.0f};
  std::vector<uint8_t> litFaces;  // one per face: 1 where it casts and faces the light
  std::vector<ClosedSide> sides;
  // The lit faces' corners as indices into the vertex array, in the mesh's
  // order and winding: the same vertices as the depth pass sends, so the
  // cap lands on exactly the depths it stored.
  std::vector<uint32_t> lightCap;
  // The same faces wound the other way, as indices into atInfinity: seen
  // from any eye they face away, so a ray only ever leaves by them. Only
  // a count from behind the surface meets them, so they are found apart
  // (findDarkCap), and only where needed.
  std::vector<uint32_t> darkCap;
  std::vector<Vec4> atInfinity;  // per vertex: the point at infinity away from the light
  bool darkCapFound = false;
};

// Fills closed for the light: the faces that face it, the sides they leave
// on each edge (as many quads there as faces run it one way beyond those that
// run it the other way, none where they cancel) and the light cap. A face with its
// corners exactly in a line, naming a vertex outside the array or with a
// coordinate that is not finite casts nothing: it is neither cap nor side.
// Everything empty until the vertex and face arrays are both set. Faces,
// vertices and edges are visited in two halves, as run runs them.
void findClosedVolume(const ShadowVolume& volume, const Vec3& light, ClosedVolume& closed,
                      const TwoParts& run = oneAfterTheOther);
// Adds the dark cap to a closed volume that findClosedVolume filled.
void findDarkCap(const ShadowVolume& volume, ClosedVolume& closed,
                 const TwoParts& run = oneAfterTheOther);

// The sides of one facing, as triangles appended to triangles: those whose
// outside the eye sees (frontFaces; a ray from the eye enters the volume by
// them), or the others. Every triangle is wound counter-clockwise seen from
// outside the volume; sides whose plane holds the eye are left out.
void closedSideTriangles(const ClosedVolume& closed, const Vec3& eye, bool frontFaces,
                         std::vector<Vec4>& triangles);
