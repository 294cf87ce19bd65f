// The sides of a mesh's shadow volume: for the current light, each silhouette
// edge is stretched away from the light into a quad and sent to OpenGL as two
// triangles, without caps (draw). For the mode that counts from behind the
// surface the same object also gives the volume closed (closed_volume.cpp):
// sides reaching infinity, the light cap and the cap at infinity. The object
// borrows the mesh's vertex, edge and face arrays and owns none of them; it
// keeps only one flag per edge record of its own (listedTwice).
#pragma once

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

  // The closed volume, for a light at (lightX, lightY, lightZ): the boundary
  // of the faces that face the light, as one volume reaching to infinity
  // (far corners sent with w = 0). Each call emits glVertex3f / glVertex4f
  // only, between the caller's glBegin(GL_TRIANGLES) and glEnd, no colour;
  // every triangle is wound counter-clockwise seen from outside the volume.
  // Emits nothing until the vertex, edge and face arrays are all set.
  //
  // Sides: one quad per edge between a face that faces the light and one that
  // does not or that is missing (an edge with one face), from the edge to
  // infinity. frontFaces picks the quads whose outside the eye sees (those a
  // ray from the eye enters the volume by), or the others.
  bool drawClosedSides(float lightX, float lightY, float lightZ, float eyeX, float eyeY,
                       float eyeZ, bool frontFaces) const;
  // The faces that face the light, where they are, wound as the mesh winds them.
  bool drawLightCap(float lightX, float lightY, float lightZ) const;
  // The same faces pushed to infinity away from the light, wound the other
  // way: seen from any eye they face away, so a ray only ever leaves by them.
  bool drawDarkCap(float lightX, float lightY, float lightZ) const;

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
  // One flag per edge record, made when the edge array is set (from the
  // vertex array set before it, as the start-up sets them):
  // 1 where the edge's other face has a record of its own (the two faces use
  // separate vertices at the same positions), so that the closed volume sends
  // such an edge's side once, not once from each record.
  std::vector<uint8_t> listedTwice;
};

// Fills volume.listedTwice from its vertex and edge arrays (empty unless both
// are set). Sorts the records once; setEdgeArray calls it.
void findEdgesListedTwice(ShadowVolume& volume);
