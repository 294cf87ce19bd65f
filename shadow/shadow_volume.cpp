// The open shadow volume's sides: silhouette edges (both faces at the edge on
// one side of the plane through the light and the edge) are extruded away from
// the light, and the eye's side of that plane picks the pass. No caps, no
// stencil, no OpenGL: the quads go into the caller's array as triangles.
// Vertices and edge records are read at the strides given; a record naming a
// vertex outside the vertex array is passed over rather than read.
#include "shadow/shadow_volume.h"

#include <cstddef>
#include <cstring>

namespace {

int sign(float value) {
  if (value > 0.0f) {
    return 1;
  }
  if (value < 0.0f) {
    return -1;
  }
  return 0;
}

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

bool namesVertex(int32_t index, int32_t vertexCount) { return index >= 0 && index < vertexCount; }

uint64_t nextSerial() {
  static uint64_t last = 0;
  return ++last;
}

bool hasArrays(const ShadowVolume& volume) {
  return volume.hasVertexArray && volume.hasEdgeArray && volume.vertexArray != nullptr &&
         volume.edgeArray != nullptr;
}

// Records and vertices may be interleaved with other data, so neither is
// assumed to be aligned for its type.
Vec3 vertexAt(const ShadowVolume& volume, int32_t index) {
  Vec3 v;
  std::memcpy(&v, volume.vertexArray + static_cast<ptrdiff_t>(index) * volume.vertexArrayStride,
              sizeof v);
  return v;
}

}  // namespace

ShadowVolume::ShadowVolume()
    : extrusionLength(10000.0f),
      hasVertexArray(false),
      vertexArray(nullptr),
      vertexArrayCount(0),
      vertexArrayStride(0),
      hasEdgeArray(false),
      edgeArray(nullptr),
      edgeArrayCount(0),
      edgeArrayStride(0),
      hasFaceArray(false),
      faceArray(nullptr),
      faceArrayCount(0),
      faceArrayStride(0),
      arraysSerial(nextSerial()) {}

void ShadowVolume::setExtrusionLength(float length) { extrusionLength = length; }

void ShadowVolume::setVertexArray(const void* base, int32_t count, int32_t stride,
                                  int32_t byteOffset) {
  vertexArray = base == nullptr ? nullptr : static_cast<const uint8_t*>(base) + byteOffset;
  vertexArrayCount = count;
  vertexArrayStride = stride;
  hasVertexArray = true;
  arraysSerial = nextSerial();
  findVolumeEdges(*this);
}

void ShadowVolume::setEdgeArray(const void* base, int32_t count, int32_t stride,
                                int32_t byteOffset) {
  edgeArray = base == nullptr ? nullptr : static_cast<const uint8_t*>(base) + byteOffset;
  edgeArrayCount = count;
  edgeArrayStride = stride;
  hasEdgeArray = true;
  arraysSerial = nextSerial();
}

void ShadowVolume::setFaceArray(const void* base, int32_t count, int32_t stride,
                                int32_t byteOffset) {
  faceArray = base == nullptr ? nullptr : static_cast<const uint8_t*>(base) + byteOffset;
  faceArrayCount = count;
  faceArrayStride = stride;
  hasFaceArray = true;
  arraysSerial = nextSerial();
  findVolumeEdges(*this);
}

void ShadowVolume::extrudePoint(const Vec3& from, const Vec3& through, Vec3& out, float factor) {
  out.x = from.x + factor * (through.x - from.x);
  out.y = from.y + factor * (through.y - from.y);
  out.z = from.z + factor * (through.z - from.z);
}

void ShadowVolume::findSilhouette(float lightX, float lightY, float lightZ,
                                  std::vector<SilhouetteEdge>& silhouette,
                                  const TwoParts& run) const {
  silhouette.clear();
  if (!hasArrays(*this) || edgeArrayCount <= 0) {
    return;
  }
  const Vec3 light{lightX, lightY, lightZ};
  const int32_t vertexCount = vertexArrayCount;
  std::vector<SilhouetteEdge> secondHalf;
  run([&](int part) {
    std::vector<SilhouetteEdge>& found = part == 0 ? silhouette : secondHalf;
    const size_t count = static_cast<size_t>(edgeArrayCount);
    for (size_t k = partBegin(count, part); k < partEnd(count, part); ++k) {
      Edge edge;
      std::memcpy(&edge, edgeArray + static_cast<ptrdiff_t>(k) * edgeArrayStride, sizeof edge);
      if (edge.apex < 0 || edge.neighbourApex < 0) {
        continue;
      }
      if (!namesVertex(edge.vertex0, vertexCount) || !namesVertex(edge.vertex1, vertexCount) ||
          !namesVertex(edge.apex, vertexCount) || !namesVertex(edge.neighbourApex, vertexCount)) {
        continue;
      }
      const Vec3 a = vertexAt(*this, edge.vertex0);
      const Vec3 b = vertexAt(*this, edge.vertex1);
      const Vec3 u{a.x - light.x, a.y - light.y, a.z - light.z};
      const Vec3 w{b.x - light.x, b.y - light.y, b.z - light.z};
      const Vec3 n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
      const float planeAtLight = dot(n, light);
      const int sideC = sign(dot(n, vertexAt(*this, edge.apex)) - planeAtLight);
      if (sideC == 0 || sideC != sign(dot(n, vertexAt(*this, edge.neighbourApex)) - planeAtLight)) {
        continue;
      }
      found.push_back({a, b, n, planeAtLight, sideC});
    }
  });
  silhouette.insert(silhouette.end(), secondHalf.begin(), secondHalf.end());
}

bool ShadowVolume::draw(float lightX, float lightY, float lightZ, float eyeX, float eyeY,
                        float eyeZ, bool frontFaces, const std::vector<SilhouetteEdge>& silhouette,
                        std::vector<Vec3>& triangles) const {
  const Vec3 light{lightX, lightY, lightZ};
  const Vec3 eye{eyeX, eyeY, eyeZ};
  for (const SilhouetteEdge& edge : silhouette) {
    const int sideE = sign(dot(edge.normal, eye) - edge.planeAtLight);
    // Seen from outside when the eye is on the side away from the mesh.
    if (sideE == 0 || (sideE != edge.meshSide) != frontFaces) {
      continue;
    }
    Vec3 farA;
    Vec3 farB;
    extrudePoint(light, edge.a, farA, extrusionLength);
    extrudePoint(light, edge.b, farB, extrusionLength);
    triangles.insert(triangles.end(), {edge.a, edge.b, farA, farA, farB, edge.b});
  }
  return true;
}
