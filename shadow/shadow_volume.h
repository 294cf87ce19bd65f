// The sides of a mesh's shadow volume for the first shadow mode: for the
// current light, each edge on the mesh's silhouette is stretched away from
// the light into a quad of two triangles, without caps. Geometry only: the
// triangles go into an array that the frame sends; nothing here calls OpenGL.
//
// Finding the silhouette visits every edge record and depends on the light
// alone (findSilhouette); sorting its quads into the two passes by the eye's
// side visits the silhouette only (draw). So a frame finds the silhouette
// once for both passes, and again only when the light moves.
//
// The object borrows the mesh's vertex, edge and face arrays and owns none
// of them. Of its own it keeps the closed volume's edge table
// (closed_volume.h), made once when the arrays are set.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"
#include "shadow/closed_volume.h"
#include "shadow/two_parts.h"

// An edge record on the silhouette seen from the light, with the plane
// through the light and the edge.
struct SilhouetteEdge {
  Vec3 a;              // vertex0
  Vec3 b;              // vertex1
  Vec3 normal;         // (a - light) x (b - light)
  float planeAtLight;  // normal . light
  int32_t meshSide;    // the side of the plane both third vertices lie on: +1 or -1
};

class ShadowVolume {
 public:
  ShadowVolume();

  void setExtrusionLength(float length);
  void setVertexArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);
  void setEdgeArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);
  // Only the closed volume reads faces; the open one does not need them.
  void setFaceArray(const void* base, int32_t count, int32_t stride, int32_t byteOffset);

  // out = from + factor x (through - from)
  static void extrudePoint(const Vec3& from, const Vec3& through, Vec3& out, float factor);

  // The records whose edge lies on the silhouette seen from the light (both
  // faces at the edge on one side of the plane through the light and the
  // edge), in record order; silhouette is emptied first. Nothing until both
  // arrays are set; records naming a vertex outside 0 .. vertex count - 1
  // are passed over. The records are visited in two halves, as run runs them.
  void findSilhouette(float lightX, float lightY, float lightZ,
                      std::vector<SilhouetteEdge>& silhouette,
                      const TwoParts& run = oneAfterTheOther) const;
  // One pass's quads, from the silhouette found for the same light: of the
  // edges whose plane misses the eye, those whose outer side the eye sees
  // (frontFaces) or the others, each appended to triangles as (A, B, A') and
  // (A', B', B), A' and B' pushed away from the light by the extrusion
  // length. Always returns true.
  bool draw(float lightX, float lightY, float lightZ, float eyeX, float eyeY, float eyeZ,
            bool frontFaces, const std::vector<SilhouetteEdge>& silhouette,
            std::vector<Vec3>& triangles) const;

  // A face's corners; false where it names a vertex outside the array or
  // the face array is not set.
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

  ClosedVolumeTable closedTable;
  // Different after every set-up call, across all volumes, so that what was
  // made from the arrays can tell whether they are still the same.
  uint64_t arraysSerial;
};
