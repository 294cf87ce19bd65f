// The tiles a triangle can send fragments to, as the second mode's steps
// rely on them, against a pixel-by-pixel cast of the triangle, with corners
// at infinity, behind the eye and cut by a plane.
#include "render/screen_tiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "render/view_matrices.h"

namespace {

// gluPerspective(fovy, aspect, near, far) as column-major numbers.
void perspective(double fovy, double aspect, double nearPlane, double farPlane, double m[16]) {
  const double f = 1.0 / std::tan(fovy * 3.14159265358979323846 / 360.0);
  for (int i = 0; i < 16; ++i) m[i] = 0.0;
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
  m[11] = -1.0;
  m[14] = 2.0 * farPlane * nearPlane / (nearPlane - farPlane);
}

void toClip(const ScreenTiles& tiles, const double corners[3][4], double clip[3][4]) {
  const double* m = tiles.clipFromModel;
  for (int n = 0; n < 3; ++n)
    for (int row = 0; row < 4; ++row)
      clip[n][row] = m[row] * corners[n][0] + m[4 + row] * corners[n][1] +
                     m[8 + row] * corners[n][2] + m[12 + row] * corners[n][3];
}

// Whether the ray through the pixel's centre meets the closed triangle in
// front of the near plane and on the kept side of the plane: the one point
// of the triangle whose clip coordinates are proportional to (x, y, ., 1).
bool castPixel(const ScreenTiles& tiles, const double corners[3][4], const double clip[3][4],
               int px, int py) {
  const double x = 2.0 * (px + 0.5) / tiles.width - 1.0;
  const double y = 2.0 * (py + 0.5) / tiles.height - 1.0;
  double a[3], b[3];
  for (int n = 0; n < 3; ++n) {
    a[n] = clip[n][0] - x * clip[n][3];
    b[n] = clip[n][1] - y * clip[n][3];
  }
  double weights[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                       a[0] * b[1] - a[1] * b[0]};
  const double sum = weights[0] + weights[1] + weights[2];
  if (sum < 0.0)
    for (double& w : weights) w = -w;
  if (weights[0] < 0.0 || weights[1] < 0.0 || weights[2] < 0.0 || sum == 0.0) return false;
  double at[4] = {0, 0, 0, 0}, kept = 0.0;
  for (int n = 0; n < 3; ++n)
    for (int k = 0; k < 4; ++k) {
      at[k] += weights[n] * clip[n][k];
      kept += weights[n] * corners[n][k] * tiles.keep[k];
    }
  return at[3] > 0.0 && at[2] + at[3] >= 0.0 && kept >= 0.0;
}

TEST(ScreenTiles, EveryPixelATriangleCoversLiesInAReachedTile) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> place(-8.0, 8.0), unit(-1.0, 1.0);
  long covered = 0, tilesReached = 0, tilesInAll = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    // An eye near the origin, turned about y, with or without a far plane.
    double projection[16], view[16] = {}, clipMatrix[16];
    perspective(45.0, 1.5, 1.0, trial % 2 == 0 ? 100.0 : 1e12, projection);
    const double turn = unit(random);
    view[0] = std::cos(turn), view[8] = std::sin(turn), view[5] = 1.0;
    view[2] = -std::sin(turn), view[10] = std::cos(turn), view[15] = 1.0;
    view[12] = unit(random), view[14] = unit(random) - 3.0;
    clipFromModel(projection, view, clipMatrix);
    ScreenTiles tiles;
    startScreenTiles(tiles, 100, 70, clipMatrix);
    if (trial % 3 == 0)
      for (double& k : tiles.keep) k = unit(random);
    double corners[3][4];
    for (auto& corner : corners) {
      const bool atInfinity = unit(random) > 0.4;
      for (int k = 0; k < 3; ++k) corner[k] = atInfinity ? unit(random) : place(random);
      corner[3] = atInfinity ? 0.0 : 1.0;
    }
    double clip[3][4];
    toClip(tiles, corners, clip);
    reachTriangle(tiles, corners);
    std::vector<PixelRect> rects;
    reachedRects(tiles, rects);
    for (int py = 0; py < tiles.height; ++py)
      for (int px = 0; px < tiles.width; ++px) {
        const bool reached = tiles.reached[static_cast<size_t>(py / screenTileSize * tiles.columns +
                                                               px / screenTileSize)] != 0;
        int inRects = 0;
        for (const PixelRect& r : rects)
          inRects += px >= r.x0 && px < r.x1 && py >= r.y0 && py < r.y1;
        ASSERT_EQ(inRects, reached ? 1 : 0) << "trial " << trial << ", pixel " << px << ", " << py;
        if (castPixel(tiles, corners, clip, px, py)) {
          ++covered;
          ASSERT_TRUE(reached) << "trial " << trial << ", pixel " << px << ", " << py;
        }
      }
    for (uint8_t r : tiles.reached) tilesReached += r;
    tilesInAll += static_cast<long>(tiles.reached.size());

  }
  EXPECT_GT(covered, 1000000);
  EXPECT_LT(tilesReached, tilesInAll / 2) << "the tiles should not take in everything";
}

}  // namespace
