// The sides of a mesh's shadow volume: for the current light, each silhouette
// edge is stretched away from the light into a quad and sent to OpenGL as two
// triangles, without caps (draw). For the mode that counts from behind the
// surface the same object also gives the volume closed (closed_volume.cpp):
// sides reaching infinity, the light cap and the cap at infinity, built from
// the faces alone, not from the edge list. The object borrows the mesh's
// vertex, edge and face arrays and owns none of them; of its own it keeps a
// table of the faces' edges, made once when the arrays are set, and which
// faces face the light it was last asked about.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "assets/scene.h"

class ShadowVolume {
 public:
  ShadowVolume();

  void setExtrusionLength(float length);
  void setVertexArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);
  void setEdgeArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);
  // Only the closed volume reads faces; draw does not need them.
  void setFaceArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);

  // out = from + factor x (through - from)
  static void extrudePoint(const Vec3& from, const Vec3& through, Vec3& out, float factor);

  // Emits glColor3f and glVertex3f calls only; the caller has opened
  // glBegin(GL_TRIANGLES) and closes it. Emits nothing until both arrays are
  // set; passes over records naming a vertex outside 0 .. vertex count - 1.
  // Always returns true.
  bool draw(float lightX, float lightY, float lightZ, float eyeX, float eyeY, float eyeZ,
            bool frontFaces) const;
  // The silhouette edges draw extrudes, those of both passes, as pairs of
  // ends in ends (emptied first), for showing the volume; no OpenGL calls.
  void silhouette(float lightX, float lightY, float lightZ, float eyeX, float eyeY, float eyeZ,
                  std::vector<Vec3>& ends) const;

  // The closed volume, for a light at (lightX, lightY, lightZ): what each
  // face that faces the light hides, to infinity, all of them together (far
  // corners sent with w = 0). Each call emits glVertex3f / glVertex4f only,
  // between the caller's glBegin(GL_TRIANGLES) and glEnd, no colour; every
  // triangle is wound counter-clockwise seen from outside the volume. Emits
  // nothing until the vertex and face arrays are both set. A face with its
  // corners exactly in a line, or naming a vertex outside the array, or with
  // a coordinate that is not finite, casts nothing: it is neither cap nor side.
  //
  // Sides: on each edge (its ends found by position), as many quads from the
  // edge to infinity as there are faces facing the light that run it one way
  // beyond those that run it the other way, each closing the caps of those
  // left over; none where they cancel. frontFaces picks the quads whose
  // outside the eye sees (those a ray from the eye enters the volume by), or
  // the others.
  bool drawClosedSides(float lightX, float lightY, float lightZ, float eyeX, float eyeY,
                       float eyeZ, bool frontFaces) const;
  // The faces that face the light, where they are, wound as the mesh winds them.
  bool drawLightCap(float lightX, float lightY, float lightZ) const;
  // The same faces pushed to infinity away from the light, wound the other
  // way: seen from any eye they face away, so a ray only ever leaves by them.
  bool drawDarkCap(float lightX, float lightY, float lightZ) const;

  // What the three draws above send, for code that needs to know where the
  // volume lies without drawing it. A side of the closed volume: the edge
  // p -> q as the lit faces left over run it, and how many sides go there.
  struct ClosedSide {
    Vec3 p;
    Vec3 q;
    int32_t count;
  };
  // One flag per face, 1 where it casts and faces the light.
  const std::vector<uint8_t>& facesLitBy(float lightX, float lightY, float lightZ) const;
  const std::vector<ClosedSide>& closedSides(float lightX, float lightY, float lightZ) const;
  // A face's corners; false where it names a vertex outside the array.
  bool faceCorners(int32_t face, Vec3 corners[3]) const;

  float extrusionLength;
  bool hasVertexArray;
  const uint8_t* vertexArray;
  int32_t vertexArrayCount;
  int32_t vertexArrayStride;
  bool hasEdgeArray;
  const uint8_t* edgeArray;
  int32_t edgeArrayCount;
  int32_t edgeArrayStride;
  bool hasFaceArray;
  const uint8_t* faceArray;
  int32_t faceArrayCount;
  int32_t faceArrayStride;

  // The closed volume's edge table, made from the vertex and face arrays by
  // findVolumeEdges. Each edge of a face that casts, once per pair of end
  // positions, named by the vertices of one face that has it, low before
  // high in the order of their positions; its faces are those of faceTurns
  // from the previous edge's turnsEnd up to its own.
  struct VolumeEdge {
    int32_t low;
    int32_t high;
    size_t turnsEnd;
  };
  // A face on an edge: +1 where it runs the edge low -> high, -1 high -> low.
  struct FaceTurn {
    int32_t face;
    int32_t turn;
  };
  std::vector<VolumeEdge> volumeEdges;
  std::vector<FaceTurn> faceTurns;
  std::vector<uint8_t> castingFaces;  // one per face, 1 where it casts
  // Which faces face litLight, and the sides they leave: worked out once for
  // all the calls of a frame. litSides has room for every edge from the start.
  mutable std::vector<uint8_t> litFaces;
  mutable std::vector<ClosedSide> litSides;
  mutable Vec3 litLight;
  mutable bool litKnown;
};

// Remakes volume's edge table from its vertex and face arrays (empty unless
// both are set), sorting the faces' edges once; setVertexArray and
// setFaceArray call it.
void findVolumeEdges(ShadowVolume& volume);
