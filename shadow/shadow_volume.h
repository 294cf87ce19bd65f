// The sides of a mesh's shadow volume: for the current light, each silhouette
// edge is stretched away from the light into a quad and sent to OpenGL as two
// triangles. No caps are drawn. The object borrows the mesh's vertex and edge
// arrays; it owns neither.
#pragma once

#include <cstdint>

#include "assets/scene.h"

class ShadowVolume {
 public:
  ShadowVolume();

  void setExtrusionLength(float length);
  void setVertexArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);
  void setEdgeArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);

  // out = from + factor x (through - from)
  static void extrudePoint(const Vec3& from, const Vec3& through, Vec3& out, float factor);

  // Emits glColor3f and glVertex3f calls only; the caller has opened
  // glBegin(GL_TRIANGLES) and closes it. Emits nothing until both arrays are
  // set; passes over records naming a vertex outside 0 .. vertex count - 1.
  // Always returns true.
  bool draw(float lightX, float lightY, float lightZ, float eyeX, float eyeY, float eyeZ,
            bool frontFaces) const;

  float extrusionLength;
  bool hasVertexArray;
  const uint8_t* vertexArray;
  int32_t vertexArrayCount;
  int32_t vertexArrayStride;
  bool hasEdgeArray;
  const uint8_t* edgeArray;
  int32_t edgeArrayCount;
  int32_t edgeArrayStride;
};
