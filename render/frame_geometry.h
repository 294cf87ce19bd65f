// What the frame sends, worked out on the CPU from the mesh, the light and the
// view, and kept with what it was made from: the mesh's faces as indices, the
// vertex colours, the open volume's sides, the closed volume with its caps and
// sides, and how the second mode counts and over which part of the window.
// Each part depends on some of the inputs only (the colours on the light, the
// silhouette on the light, its passes on the eye too, the second mode's plan
// on the whole view), so prepareFrameGeometry compares the inputs once at the
// top of the frame and makes again only the parts whose inputs changed:
// while nothing moves, a frame works nothing out. No geometry is sent here;
// the GL is only asked for the matrices and the viewport.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"
#include "render/screen_tiles.h"
#include "shadow/closed_volume.h"
#include "shadow/shadow_volume.h"

// What the geometry was made from.
struct FrameInputs {
  const Mesh* mesh = nullptr;
  const Vec3* vertices = nullptr;
  const Vec3* normals = nullptr;
  const Face* faces = nullptr;
  int32_t vertexCount = 0;
  int32_t faceCount = 0;
  const ShadowVolume* volume = nullptr;
  uint64_t volumeSerial = 0;
  float extrusionLength = 0.0f;
  Vec3 light{0.0f, 0.0f, 0.0f};
  Vec3 eye{0.0f, 0.0f, 0.0f};
  uint8_t secondMode = 0;
  // The view the passes draw with, as the GL holds it (the second mode's
  // projection without a far plane, when in that mode).
  double projection[16] = {};
  double modelview[16] = {};
  int viewport[4] = {};
};

struct FrameGeometry {
  FrameInputs madeFrom;
  bool made = false;
  // Which parts are up to date with madeFrom.
  struct Known {
    bool faces = false;
    bool facesInView = false;
    bool colours = false;
    bool silhouette = false;
    bool openSides = false;
    bool closed = false;
    bool closedSides = false;
    bool plan = false;
  } known;

  // The mesh's faces as vertex indices, three a face: the mesh's own array,
  // or where some face names a vertex outside the array, the sound faces.
  const uint32_t* faceIndices = nullptr;
  int32_t faceIndexCount = 0;
  std::vector<uint32_t> soundFaces;
  // Of those, in the same order, the faces that can put a fragment on the
  // window in this view: the mesh's passes send these. A face left out would
  // have covered no pixel's centre, or shown the eye its back, which the
  // passes cull, so leaving it out changes no pixel; at a million faces most
  // faces are smaller than a pixel and cover none.
  std::vector<uint32_t> facesInView;
  std::vector<uint8_t> usedVertices;  // 1 for each vertex of those faces

  // Per vertex, lit by the light; empty without normals. Only the vertices
  // the passes use are shaded: the others are never read.
  std::vector<Vec3> colours;

  // The first mode: the silhouette for the light, and the quads of its two
  // passes for the eye, as triangles.
  std::vector<SilhouetteEdge> silhouette;
  std::vector<Vec3> frontSides;
  std::vector<Vec3> backSides;

  // The second mode: the closed volume for the light, its sides seen from
  // outside and from inside by the eye, as triangles, and the count's plan.
  ClosedVolume closed;
  std::vector<Vec4> closedFront;
  std::vector<Vec4> closedBack;
  bool countFromTheEye = true;
  // Counted from the eye, the volume is cut off past the mesh's farthest
  // point: this plane keeps what lies nearer (a x + b y + c z + d >= 0).
  bool cutBeyondMesh = false;
  double beyondMesh[4] = {};
  ScreenTiles tiles;             // where the count can have left a pixel below 1.0
  std::vector<PixelRect> rects;  // those tiles as rectangles
};

extern FrameGeometry theFrameGeometry;

// Reads the inputs (the mesh and shadow volume the frame draws, the light,
// the eye, the mode and the view in force) and brings geometry up to date
// with them.
void prepareFrameGeometry(FrameGeometry& geometry, const Mesh* mesh, const ShadowVolume* volume,
                          bool secondMode);
