// Emits the side quads of a mesh's shadow volume for one light and one pass:
// silhouette edges (both faces at the edge on one side of the plane through
// the light and the edge) are extruded away from the light, and the eye's side
// of that plane picks the pass. Only glColor3f and glVertex3f are called; the
// caller owns glBegin/glEnd and all render state. No caps, no stencil.
// Vertices and edge records are read at the strides given; a record naming a
// vertex outside the vertex array is passed over rather than read.
#include "shadow/shadow_volume.h"

#include <GL/gl.h>

#include <cstddef>
#include <cstring>

namespace {

// The volume's grey: the shadow passes' blend factors turn it into the
// darkening of a shadowed pixel.
constexpr float shadowGrey = 0.52f;

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

bool namesVertex(int32_t index, int32_t vertexCount) {
  return index >= 0 && index < vertexCount;
}

bool hasArrays(const ShadowVolume& volume) {
  return volume.hasVertexArray && volume.hasEdgeArray && volume.vertexArray != nullptr &&
         volume.edgeArray != nullptr;
}

// Calls visit(A, B, seenFromOutside) for each record whose edge lies on the
// silhouette seen from the light, with a plane that misses the eye:
// seenFromOutside when the eye is on the side of that plane away from the
// mesh, where the quad shows its outer side.
template <typename Visit>
void forEachSilhouetteEdge(const ShadowVolume& volume, const Vec3& light, const Vec3& eye,
                           Visit visit) {
  if (!hasArrays(volume)) {
    return;
  }
  // Records and vertices may be interleaved with other data, so neither is
  // assumed to be aligned for its type.
  const auto vertexAt = [&volume](int32_t index) {
    Vec3 v;
    std::memcpy(&v, volume.vertexArray + static_cast<ptrdiff_t>(index) * volume.vertexArrayStride,
                sizeof v);
    return v;
  };
  const int32_t vertexCount = volume.vertexArrayCount;
  for (int32_t k = 0; k < volume.edgeArrayCount; ++k) {
    Edge edge;
    std::memcpy(&edge, volume.edgeArray + static_cast<ptrdiff_t>(k) * volume.edgeArrayStride,
                sizeof edge);
    if (edge.apex < 0 || edge.neighbourApex < 0) {
      continue;
    }
    if (!namesVertex(edge.vertex0, vertexCount) || !namesVertex(edge.vertex1, vertexCount) ||
        !namesVertex(edge.apex, vertexCount) || !namesVertex(edge.neighbourApex, vertexCount)) {
      continue;
    }
    const Vec3 a = vertexAt(edge.vertex0);
    const Vec3 b = vertexAt(edge.vertex1);
    const Vec3 c = vertexAt(edge.apex);
    const Vec3 d = vertexAt(edge.neighbourApex);

    const Vec3 u{a.x - light.x, a.y - light.y, a.z - light.z};
    const Vec3 w{b.x - light.x, b.y - light.y, b.z - light.z};
    const Vec3 n{u.y * w.z - u.z * w.y, u.z * w.x - u.x * w.z, u.x * w.y - u.y * w.x};
    const float planeAtLight = dot(n, light);

    const int sideC = sign(dot(n, c) - planeAtLight);
    const int sideD = sign(dot(n, d) - planeAtLight);
    if (sideC == 0 || sideC != sideD) {
      continue;
    }
    const int sideE = sign(dot(n, eye) - planeAtLight);
    if (sideE == 0) {
      continue;
    }
    visit(a, b, sideE != sideC);
  }
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
      litLight{0.0f, 0.0f, 0.0f},
      litKnown(false) {}

void ShadowVolume::setExtrusionLength(float length) { extrusionLength = length; }

void ShadowVolume::setVertexArray(const void* base, int32_t count, int32_t stride,
                                  int32_t byteOffset) {
  vertexArray = base == nullptr ? nullptr : static_cast<const uint8_t*>(base) + byteOffset;
  vertexArrayCount = count;
  vertexArrayStride = stride;
  hasVertexArray = true;
  findVolumeEdges(*this);
}

void ShadowVolume::setEdgeArray(const void* base, int32_t count, int32_t stride,
                                int32_t byteOffset) {
  edgeArray = base == nullptr ? nullptr : static_cast<const uint8_t*>(base) + byteOffset;
  edgeArrayCount = count;
  edgeArrayStride = stride;
  hasEdgeArray = true;
}

void ShadowVolume::setFaceArray(const void* base, int32_t count, int32_t stride,
                                int32_t byteOffset) {
  faceArray = base == nullptr ? nullptr : static_cast<const uint8_t*>(base) + byteOffset;
  faceArrayCount = count;
  faceArrayStride = stride;
  hasFaceArray = true;
  findVolumeEdges(*this);
}

void ShadowVolume::extrudePoint(const Vec3& from, const Vec3& through, Vec3& out, float factor) {
  out.x = from.x + factor * (through.x - from.x);
  out.y = from.y + factor * (through.y - from.y);
  out.z = from.z + factor * (through.z - from.z);
}

bool ShadowVolume::draw(float lightX, float lightY, float lightZ, float eyeX, float eyeY,
                        float eyeZ, bool frontFaces) const {
  const Vec3 light{lightX, lightY, lightZ};
  forEachSilhouetteEdge(*this, light, Vec3{eyeX, eyeY, eyeZ},
                        [&](const Vec3& a, const Vec3& b, bool seenFromOutside) {
                          if (seenFromOutside != frontFaces) {
                            return;
                          }
                          Vec3 farA;
                          Vec3 farB;
                          extrudePoint(light, a, farA, extrusionLength);
                          extrudePoint(light, b, farB, extrusionLength);
                          glColor3f(shadowGrey, shadowGrey, shadowGrey);
                          glVertex3f(a.x, a.y, a.z);
                          glVertex3f(b.x, b.y, b.z);
                          glVertex3f(farA.x, farA.y, farA.z);
                          glVertex3f(farA.x, farA.y, farA.z);
                          glVertex3f(farB.x, farB.y, farB.z);
                          glVertex3f(b.x, b.y, b.z);
                        });
  return true;
}

void ShadowVolume::silhouette(float lightX, float lightY, float lightZ, float eyeX, float eyeY,
                              float eyeZ, std::vector<Vec3>& ends) const {
  ends.clear();
  forEachSilhouetteEdge(*this, Vec3{lightX, lightY, lightZ}, Vec3{eyeX, eyeY, eyeZ},
                        [&ends](const Vec3& a, const Vec3& b, bool) {
                          ends.push_back(a);
                          ends.push_back(b);
                        });
}
