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
    for (int32_t corner : in.faces[f].corner)
      allSound = allSound && corner >= 0 && corner < in.vertexCount;
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

// A face sends no fragment when no pixel's centre lies within its bounds in
// the window: every sample it could cover lies within them. That is decided
// from window coordinates worked out here in double precision from the
// matrices the GL holds, which the GL's own single-precision ones (snapped
// to a 256th of a pixel) miss by far less than the margin. Only a face whose
// corners all lie between the near and far planes, and not far outside the
// view, is judged: no clipping changes its shape, and its coordinates stay
// small. Any other face is kept.
constexpr double sampleMargin = 1.0 / 32.0;  // pixels
constexpr double judgedBeyondView = 4.0;     // how far out, in view widths

struct WindowPoint {
  float x;  // NaN where the vertex is not surely in view
  float y;
};

// The window shows the face's back beyond doubt: counter-clockwise is the
// front, and the signed area is negative by more than the margin takes
// along the whole outline.
bool clearlyBack(const WindowPoint& a, const WindowPoint& b, const WindowPoint& c) {
  const double abx = double{b.x} - a.x, aby = double{b.y} - a.y;
  const double acx = double{c.x} - a.x, acy = double{c.y} - a.y;
  const double twiceArea = abx * acy - acx * aby;
  if (!(twiceArea < 0.0)) return false;
  const double bcx = double{c.x} - b.x, bcy = double{c.y} - b.y;
  const double outline = std::sqrt(abx * abx + aby * aby) + std::sqrt(acx * acx + acy * acy) +
                         std::sqrt(bcx * bcx + bcy * bcy);
  return twiceArea < -2.0 * sampleMargin * outline;
}

void findFacesInView(FrameGeometry& geometry, const FrameInputs& in) {
  double clip[16];
  clipFromModel(in.projection, in.modelview, clip);
  const double left = in.viewport[0], bottom = in.viewport[1];
  const double width = in.viewport[2], height = in.viewport[3];
  const size_t vertexCount = static_cast<size_t>(in.vertexCount);
  // Kept only while the faces are judged: at a million faces, megabytes.
  std::vector<WindowPoint> points(vertexCount);
  const size_t faceCount = static_cast<size_t>(geometry.faceIndexCount / 3);
  std::vector<uint32_t> secondHalf;
  onTwoCores([&](int part) {
    for (size_t i = partBegin(vertexCount, part); i < partEnd(vertexCount, part); ++i) {
      const Vec3& v = in.vertices[i];
      double c[4];
      for (int row = 0; row < 4; ++row)
        c[row] = clip[row] * v.x + clip[4 + row] * v.y + clip[8 + row] * v.z + clip[12 + row];
      const double reach = judgedBeyondView * c[3];
      const bool judged = c[3] > 0.0 && c[2] >= -c[3] && c[2] <= c[3] && std::fabs(c[0]) <= reach &&
                          std::fabs(c[1]) <= reach;
      points[i] = judged
                      ? WindowPoint{static_cast<float>(left + (c[0] / c[3] + 1.0) * 0.5 * width),
                                    static_cast<float>(bottom + (c[1] / c[3] + 1.0) * 0.5 * height)}
                      : WindowPoint{NAN, NAN};
    }
  });
  // Whether a pixel centre (n + 0.5) lies in [low, high], n from first to last.
  const auto holdsCentre = [](double low, double high, double first, double last) {
    const double from = std::max(std::ceil(low - sampleMargin - 0.5), first);
    const double to = std::min(std::floor(high + sampleMargin - 0.5), last);
    return from <= to;
  };
  onTwoCores([&](int part) {
    std::vector<uint32_t>& kept = part == 0 ? geometry.facesInView : secondHalf;
    kept.clear();
    for (size_t f = partBegin(faceCount, part); f < partEnd(faceCount, part); ++f) {
      const uint32_t* corner = geometry.faceIndices + 3 * f;
      const WindowPoint& a = points[corner[0]];
      const WindowPoint& b = points[corner[1]];
      const WindowPoint& c = points[corner[2]];
      const bool judged = !std::isnan(a.x) && !std::isnan(b.x) && !std::isnan(c.x);
      if (!judged || (holdsCentre(std::min({a.x, b.x, c.x}), std::max({a.x, b.x, c.x}), left,
                                  left + width - 1.0) &&
                      holdsCentre(std::min({a.y, b.y, c.y}), std::max({a.y, b.y, c.y}), bottom,
                                  bottom + height - 1.0) &&
                      !clearlyBack(a, b, c)))
        kept.insert(kept.end(), corner, corner + 3);
    }
  });
  geometry.facesInView.insert(geometry.facesInView.end(), secondHalf.begin(), secondHalf.end());
  geometry.usedVertices.assign(vertexCount, 0);
  for (uint32_t v : geometry.facesInView) geometry.usedVertices[v] = 1;
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
  const uint8_t* used = geometry.usedVertices.data();
  onTwoCores([&](int part) {
    for (size_t v = partBegin(count, part); v < partEnd(count, part); ++v) {
      if (used[v] == 0) continue;
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
      meshChanged || std::memcmp(now.projection, was.projection, sizeof now.projection) != 0 ||
      std::memcmp(now.modelview, was.modelview, sizeof now.modelview) != 0 ||
      std::memcmp(now.viewport, was.viewport, sizeof now.viewport) != 0;
  FrameGeometry::Known& known = geometry.known;
  if (meshChanged) known.faces = false;
  if (viewChanged) known.facesInView = false;
  if (lightMoved || viewChanged) known.colours = false;
  if (lightMoved) known.silhouette = known.closed = false;
  if (eyeMoved) known.openSides = known.closedSides = false;
  if (eyeMoved || viewChanged) known.plan = false;
  geometry.madeFrom = now;
  geometry.made = true;

  if (!known.faces) findFaceIndices(geometry, now);
  if (!known.facesInView) findFacesInView(geometry, now);
  known.faces = known.facesInView = true;
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
