// The CPU ray cast the frame tests judge pictures by: for every pixel of a
// client area, which surface of the box-over-receiver scene (box_scene.h) the
// eye sees there, whether the light reaches that point past the box, and the
// per-vertex shade the frame's light gives it, interpolated. The projection is
// the start-up one, gluPerspective(45, width / height, 15, 1000); the view is
// any the camera describes. Only that scene: one box as the only caster, the
// receiver found by its grid, the light marker drawn over everything.
#pragma once

#include <vector>

#include "assets/scene.h"
#include "support/box_scene.h"

struct Vec3d {
  double x;
  double y;
  double z;
};

Vec3d operator-(const Vec3d& a, const Vec3d& b);
Vec3d operator+(const Vec3d& a, const Vec3d& b);
Vec3d operator*(double s, const Vec3d& a);
double dot(const Vec3d& a, const Vec3d& b);
Vec3d cross(const Vec3d& a, const Vec3d& b);
Vec3d widen(const Vec3& v);

// The view in model coordinates, the eye and the eye's axes, and the client
// area the projection was set up for.
struct Camera {
  Vec3d eye;
  Vec3d right;
  Vec3d up;
  Vec3d back;
  int width;
  int height;
};

// The start view at the client size: the eye at (0, 0, 200) looking down -Z.
Camera startCamera(int width, int height);

// The eye's ray through a point of the window (x right, y up, in pixels).
Vec3d rayDirection(const Camera& camera, double x, double yUp);
// Where a point lands in the window (x right, y up, in pixels).
void projectPoint(const Camera& camera, const Vec3d& p, double& x, double& yUp);

// The vertex colour the frame's light gives, written out on its own:
// 0.7 (k - 0.1) 1.1 (1 - d^2 / 210^2) where k > 0.1 and d < 210, else 0,
// with k taken against the vector from the light to the vertex.
double expectedVertexShade(const Vec3& normal, const Vec3& position, const Vec3d& light);

// Moller-Trumbore; weights of the three corners where the ray meets the
// triangle's front (counter-clockwise) side, or either side.
bool hitTriangle(const Vec3d& origin, const Vec3d& direction, const Vec3d& a, const Vec3d& b,
                 const Vec3d& c, double& t, double weights[3], bool frontOnly = true);

// The segment from p to the light passes through the box's inside.
bool boxBlocksLight(const Vec3d& p, const Vec3d& light, const BoxAndLight& box);

// The ray meets the light marker, a tetrahedron around the light, on either side.
bool hitsMarker(const Vec3d& origin, const Vec3d& direction, const Vec3d& light);

constexpr int markerSurface = 7;

// What the ray cast finds behind one point of the window.
struct Sight {
  int surface = -1;  // 0 the receiver, 1 to 6 the box's faces, 7 the marker, -1 nothing
  bool shadowed = false;
  double shade = 0.0;  // the per-vertex shade interpolated at the point seen
  double distance = 0.0;  // to that point, in lengths of rayDirection's ray
};

// The mesh is the box-over-receiver one with its vertex normals computed.
Sight castRay(const Mesh& mesh, const Camera& camera, const BoxAndLight& box, double x,
              double yUp);

struct PixelTruth {
  Sight sight;
  double spread = 0.0;  // how far the shade moves within half a pixel
  bool nearBoundary = false;
};

// The ray cast for every pixel, rows bottom to top, with the pixels within
// two of a change of surface or of shadow marked.
std::vector<PixelTruth> castEveryPixel(const Mesh& mesh, const Camera& camera,
                                       const BoxAndLight& box);

// A program's picture of the scene's start view, untextured, against the ray
// cast at the picture's size. picture: 5-6-5 values as the window shows them,
// rows top to bottom. Each receiver pixel away from an edge of the shadow is
// judged shadowed or lit by its green, halfway between the two values the
// shading formula gives there (lit shade + 0.12, shadowed 0.52 shade + 0.12).
// Each pixel away from an outline where the ray meets the scene must be drawn:
// not white, the clear colour, which the shaded scene never is there (the
// background may be grey, where the first mode's volumes pass the far plane).
struct PictureAgreement {
  long judged = 0;
  long inShadow = 0;  // by the ray cast
  long agreeing = 0;
  double leastGap = 63.0;  // green steps between lit and shadowed, the least judged
  long covered = 0;        // pixels where the ray meets the scene
  long drawn = 0;          // of those, not white
};
PictureAgreement judgeStartPicture(const std::vector<uint32_t>& picture, int width, int height,
                                   const BoxAndLight& scene);
