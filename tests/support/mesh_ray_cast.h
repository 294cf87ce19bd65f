// The CPU ray cast over any mesh with its vertex normals computed, by brute
// force over its faces: for sample points of a client area, the face the eye
// sees there (front sides only, the nearest), whether any face lies between
// that point and the light (a face with its corners in a line hides nothing),
// and the per-vertex shade interpolated. Faces are grouped by shared
// vertices, so a change of group is a change of surface where the shade may
// jump. Only bounds tests stand in for a spatial index, so
// it is meant for a coarse grid of a few tens of thousands of samples, not
// every pixel of a big mesh. The start projection, as in shadow_ray_cast.h.
#pragma once

#include <cstdint>
#include <vector>

#include "assets/scene.h"
#include "support/shadow_ray_cast.h"

struct MeshSight {
  int32_t group = -1;  // the face group seen, -1 nothing
  bool marker = false;  // the light marker, drawn over everything
  bool shadowed = false;
  double shade = 0.0;
};

struct MeshSample {
  int x = 0;  // the pixel, x right, y up
  int y = 0;
  MeshSight sight;
  bool nearBoundary = false;  // a grid neighbour sees another group, shadow or the marker
};

// Every `step`th pixel in x and y, rows bottom to top, cast through the
// pixels' centres.
std::vector<MeshSample> castMeshGrid(const Mesh& mesh, const Camera& camera, const Vec3d& light,
                                     int step);

// A picture of the start view judged at the samples against the ray cast:
// each sample on a surface, away from a change of surface or shadow, where
// the shade puts lit and shadowed (shade + 0.12 and 0.52 shade + 0.12, no
// texture) at least four green steps apart, counts as shadowed when its green
// is below halfway between the two. The picture holds 5-6-5 values, rows top
// to bottom.
struct PictureJudgement {
  long judged = 0;
  long inShadow = 0;  // by the ray cast
  long agreeing = 0;
  long withBlue = 0;  // judged pixels with any blue
  double agreementPercent() const {
    return judged == 0 ? 0.0 : 100.0 * static_cast<double>(agreeing) / static_cast<double>(judged);
  }
};
PictureJudgement judgePicture(const std::vector<MeshSample>& samples,
                              const std::vector<uint32_t>& picture, int width, int height);
