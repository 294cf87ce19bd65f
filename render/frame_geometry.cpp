// The frame's geometry, made again only where its inputs changed (see
// frame_geometry.h). Every input the parts depend on is compared once here;
// a part whose inputs changed is marked unknown, whatever the mode, and the
// parts the mode in force needs are made when unknown. So switching modes
// never finds a part made for another light.
//
// The second mode's plan: counting from the eye is right when no lit face
// reaches the pyramid between the light and the near plane's rectangle (a
// pixel's width round it counts as reaching); then the volume is cut off past
// the mesh's farthest point, and the steps after the count keep to the tiles
// the sides seen from outside reach. Only those sides take a pixel below 1.0
// (each way in multiplies it by 0.52, each way out by 2, and 2 x 1.0 stays
// 1.0), so everywhere else the count left 1.0 and the steps leave it so.
#include "render/frame_geometry.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/navigation.h"
#include "render/point_light.h"
#include "render/two_cores.h"
#include "render/view_matrices.h"
#include "shadow/volume_reach.h"

FrameGeometry theFrameGeometry;

namespace {

constexpr float lightRadius = 210.0f;
constexpr float lightColour = 0.7f;

bool same(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

FrameInputs readInputs(const Mesh* mesh, const ShadowVolume* volume, bool secondMode) {
  FrameInputs inputs;
  if (mesh != nullptr) {
    inputs.mesh = mesh;
    inputs.vertices = mesh->vertices;
    inputs.normals = mesh->vertexNormals;
    inputs.faces = mesh->faces;
    inputs.vertexCount = mesh->vertices == nullptr ? 0 : std::max(mesh->vertexCount, 0);
    inputs.faceCount = mesh->faces == nullptr ? 0 : std::max(mesh->faceCount, 0);
  }
  if (volume != nullptr) {
    inputs.volume = volume;
    inputs.volumeSerial = volume->arraysSerial;
    inputs.extrusionLength = volume->extrusionLength;
  }
  inputs.light = lightPosition;
  inputs.eye = Vec3{eyeX(), eyeY(), eyeZ()};
  inputs.secondMode = secondMode ? 1 : 0;
  glGetDoublev(GL_PROJECTION_MATRIX, inputs.projection);
  glGetDoublev(GL_MODELVIEW_MATRIX, inputs.modelview);
  glGetIntegerv(GL_VIEWPORT, inputs.viewport);
  return inputs;
}

void findFaceIndices(FrameGeometry& geometry, const FrameInputs& in) {
  geometry.soundFaces.clear();
  bool allSound = true;
  for (int32_t f = 0; f < in.faceCount && allSound; ++f)
    for (int32_t corner : in.faces[f].corner) allSound = allSound && corner >= 0 && corner < in.vertexCount;
  if (allSound) {
    // Three non-negative int32_t a face, as the GL reads unsigned ones.
    geometry.faceIndices = reinterpret_cast<const uint32_t*>(in.faces);
    geometry.faceIndexCount = 3 * in.faceCount;
    return;
  }
  for (int32_t f = 0; f < in.faceCount; ++f) {
    const Face& face = in.faces[f];
    bool sound = true;
    for (int32_t corner : face.corner) sound = sound && corner >= 0 && corner < in.vertexCount;
    if (!sound) continue;
    for (int32_t corner : face.corner) geometry.soundFaces.push_back(static_cast<uint32_t>(corner));
  }
  geometry.faceIndices = geometry.soundFaces.data();
  geometry.faceIndexCount = static_cast<int32_t>(geometry.soundFaces.size());
}

// Each vertex once: its colour depends on its normal, its position and the
// light alone, so a vertex several faces share gets one colour for all.
void shadeVertices(FrameGeometry& geometry, const FrameInputs& in) {
  setLightPosition(in.light.x, in.light.y, in.light.z, lightRadius);
  setLightColour(lightColour, lightColour, lightColour);
  setLightAmbient(0.0f, 0.0f, 0.0f);
  if (in.normals == nullptr) {
    geometry.colours.clear();
    return;
  }
  const size_t count = static_cast<size_t>(in.vertexCount);
  geometry.colours.resize(count);
  onTwoCores([&](int part) {
    for (size_t v = partBegin(count, part); v < partEnd(count, part); ++v) {
      const Vec3& n = in.normals[v];
      const Vec3& p = in.vertices[v];
      Vec3& c = geometry.colours[v];
      shadeVertex(n.x, n.y, n.z, p.x, p.y, p.z, c.x, c.y, c.z);
    }
  });
}

// The plane, in model coordinates, beyond which (seen from the eye) no
// vertex of the mesh lies, with a little room. Counted from the eye, what
// lies past it can only reach pixels where no surface is: the background,
// which is made white in the end anyway. False for a mesh without vertices.
bool planeBeyondTheMesh(const FrameInputs& in, double plane[4]) {
  const double* m = in.modelview;
  double farthest[2] = {-HUGE_VAL, -HUGE_VAL};
  const size_t count = static_cast<size_t>(in.vertexCount);
  onTwoCores([&](int part) {
    double found = -HUGE_VAL;
    for (size_t i = partBegin(count, part); i < partEnd(count, part); ++i) {
      const Vec3& v = in.vertices[i];
      found = std::max(found, -(m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14]));
    }
    farthest[part] = found;
  });
  const double beyondAll = std::max(farthest[0], farthest[1]);
  if (!std::isfinite(beyondAll)) return false;
  const double beyond = beyondAll + 1e-3 * (std::fabs(beyondAll) + 1.0);
  plane[0] = m[2];
  plane[1] = m[6];
  plane[2] = m[10];
  plane[3] = m[14] + beyond;
  return true;
}

// The tiles the sides seen from outside reach, the triangles shared between
// both cores, each marking tiles of its own; the two are joined after.
void reachTheSides(FrameGeometry& geometry) {
  const std::vector<Vec4>& sides = geometry.closedFront;
  const size_t count = sides.size() / 3;
  ScreenTiles second = geometry.tiles;
  onTwoCores([&](int part) {
    ScreenTiles& tiles = part == 0 ? geometry.tiles : second;
    for (size_t t = partBegin(count, part); t < partEnd(count, part); ++t) {
      double corners[3][4];
      for (int n = 0; n < 3; ++n) {
        const Vec4& v = sides[3 * t + static_cast<size_t>(n)];
        corners[n][0] = v.x;
        corners[n][1] = v.y;
        corners[n][2] = v.z;
        corners[n][3] = v.w;
      }
      reachTriangle(tiles, corners);
    }
  });
  for (size_t n = 0; n < second.reached.size(); ++n) geometry.tiles.reached[n] |= second.reached[n];
}

bool countingFromTheEyeIsRight(const FrameGeometry& geometry, const ShadowVolume& volume) {
  const ScreenTiles& tiles = geometry.tiles;
  double rectangle[4][3];
  if (!nearRectangle(tiles.clipFromModel, rectangle)) return false;
  const double diagonal =
      std::hypot(rectangle[2][0] - rectangle[0][0], rectangle[2][1] - rectangle[0][1],
                 rectangle[2][2] - rectangle[0][2]);
  const double pixels = std::max(std::hypot(tiles.width, tiles.height), 1.0);
  return !volumeReachesRectangle(volume, geometry.closed, rectangle, diagonal / pixels);
}

void planTheCount(FrameGeometry& geometry, const FrameInputs& in) {
  double clip[16];
  clipFromModel(in.projection, in.modelview, clip);
  startScreenTiles(geometry.tiles, in.viewport[2], in.viewport[3], clip);
  geometry.countFromTheEye = true;
  geometry.cutBeyondMesh = false;
  if (in.volume != nullptr && in.mesh != nullptr) {
    geometry.countFromTheEye = countingFromTheEyeIsRight(geometry, *in.volume);
    if (geometry.countFromTheEye) {
      geometry.cutBeyondMesh = planeBeyondTheMesh(in, geometry.beyondMesh);
      if (geometry.cutBeyondMesh)
        std::copy(geometry.beyondMesh, geometry.beyondMesh + 4, geometry.tiles.keep);
      reachTheSides(geometry);
    } else {
      reachEveryTile(geometry.tiles);
    }
  }
  reachedRects(geometry.tiles, geometry.rects);
}

void findVolumes(FrameGeometry& geometry, const FrameInputs& now, const ShadowVolume* volume,
                 bool secondMode);

}  // namespace

void prepareFrameGeometry(FrameGeometry& geometry, const Mesh* mesh, const ShadowVolume* volume,
                          bool secondMode) {
  const FrameInputs now = readInputs(mesh, volume, secondMode);
  const FrameInputs& was = geometry.madeFrom;
  const bool meshChanged = !geometry.made || now.mesh != was.mesh || now.vertices != was.vertices ||
                           now.normals != was.normals || now.faces != was.faces ||
                           now.vertexCount != was.vertexCount || now.faceCount != was.faceCount;
  const bool volumeChanged = meshChanged || now.volume != was.volume ||
                             now.volumeSerial != was.volumeSerial ||
                             now.extrusionLength != was.extrusionLength;
  const bool lightMoved = volumeChanged || !same(now.light, was.light);
  const bool eyeMoved = lightMoved || !same(now.eye, was.eye);
  const bool viewChanged =
      eyeMoved || std::memcmp(now.projection, was.projection, sizeof now.projection) != 0 ||
      std::memcmp(now.modelview, was.modelview, sizeof now.modelview) != 0 ||
      std::memcmp(now.viewport, was.viewport, sizeof now.viewport) != 0;
  FrameGeometry::Known& known = geometry.known;
  if (meshChanged) known.faces = false;
  if (lightMoved) known.colours = known.silhouette = known.closed = false;
  if (eyeMoved) known.openSides = known.closedSides = false;
  if (viewChanged) known.plan = false;
  geometry.madeFrom = now;
  geometry.made = true;

  if (!known.faces) findFaceIndices(geometry, now);
  known.faces = true;
  // The colours and the volume are each worked out on both cores: at the
  // top of the frame the GL has finished the last one, so both are free
  // (the renderer draws on both once the passes start).
  if (!known.colours) shadeVertices(geometry, now);
  known.colours = true;
  findVolumes(geometry, now, volume, secondMode);
}

namespace {

// The volume the mode in force needs, for the light and the eye.
void findVolumes(FrameGeometry& geometry, const FrameInputs& now, const ShadowVolume* volume,
                 bool secondMode) {
  FrameGeometry::Known& known = geometry.known;
  const Vec3& light = now.light;
  const Vec3& eye = now.eye;
  if (!secondMode) {
    if (volume == nullptr) {
      geometry.frontSides.clear();
      geometry.backSides.clear();
      return;
    }
    if (!known.silhouette)
      volume->findSilhouette(light.x, light.y, light.z, geometry.silhouette, onTwoCores);
    if (!known.openSides) {
      geometry.frontSides.clear();
      geometry.backSides.clear();
      volume->draw(light.x, light.y, light.z, eye.x, eye.y, eye.z, true, geometry.silhouette,
                   geometry.frontSides);
      volume->draw(light.x, light.y, light.z, eye.x, eye.y, eye.z, false, geometry.silhouette,
                   geometry.backSides);
    }
    known.silhouette = known.openSides = true;
    return;
  }
  if (volume != nullptr && !known.closed)
    findClosedVolume(*volume, light, geometry.closed, onTwoCores);
  if (volume != nullptr && !known.closedSides) {
    geometry.closedFront.clear();
    geometry.closedBack.clear();
    closedSideTriangles(geometry.closed, eye, true, geometry.closedFront);
    closedSideTriangles(geometry.closed, eye, false, geometry.closedBack);
  }
  if (!known.plan) planTheCount(geometry, now);
  known.closed = known.closedSides = known.plan = volume != nullptr;
  // Only a count from behind the surface, and the view of the volume, take
  // the cap at infinity.
  if (volume != nullptr && !geometry.closed.darkCapFound &&
      (!geometry.countFromTheEye || showVolume != 0))
    findDarkCap(*volume, geometry.closed, onTwoCores);
}

}  // namespace
