// Where the view puts things, as the second mode's steps rely on it: the
// tiles a triangle can send fragments to, against a pixel-by-pixel cast of
// the triangle, with corners at infinity, behind the eye and cut by a plane;
// which triangles surely face the eye; and the near plane's rectangle.
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

// Whether the ray through the pixel's centre meets the closed triangle in
// front of the near plane and on the kept side of the plane: the one point
// of the triangle whose clip coordinates are proportional to (x, y, ., 1).
bool castPixel(const ScreenTiles& tiles, const double corners[3][4], int px, int py) {
  const double x = 2.0 * (px + 0.5) / tiles.width - 1.0;
  const double y = 2.0 * (py + 0.5) / tiles.height - 1.0;
  const double* m = tiles.clipFromModel;
  double clip[3][4];
  for (int n = 0; n < 3; ++n)
    for (int row = 0; row < 4; ++row)
      clip[n][row] = m[row] * corners[n][0] + m[4 + row] * corners[n][1] +
                     m[8 + row] * corners[n][2] + m[12 + row] * corners[n][3];
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
  double at[4] = {0, 0, 0, 0}, model[4] = {0, 0, 0, 0};
  for (int n = 0; n < 3; ++n)
    for (int k = 0; k < 4; ++k) {
      at[k] += weights[n] * clip[n][k];
      model[k] += weights[n] * corners[n][k];
    }
  const double kept = tiles.keep[0] * model[0] + tiles.keep[1] * model[1] +
                      tiles.keep[2] * model[2] + tiles.keep[3] * model[3];
  return at[3] > 0.0 && at[2] + at[3] >= 0.0 && kept >= 0.0;
}

TEST(ScreenTiles, EveryPixelATriangleCoversLiesInAReachedTile) {
  std::mt19937 random(3);
  std::uniform_real_distribution<double> place(-8.0, 8.0), unit(-1.0, 1.0);
  long covered = 0, tilesReached = 0, tilesInAll = 0, surelyFront = 0;
  for (int trial = 0; trial < 1500; ++trial) {
    // An eye near the origin, turned about y, with or without a far plane.
    double projection[16], view[16] = {}, clip[16];
    perspective(45.0, 1.5, 1.0, trial % 2 == 0 ? 100.0 : 1e12, projection);
    const double turn = unit(random);
    view[0] = std::cos(turn), view[8] = std::sin(turn), view[5] = 1.0;
    view[2] = -std::sin(turn), view[10] = std::cos(turn), view[15] = 1.0;
    view[12] = unit(random), view[14] = unit(random) - 3.0;
    clipFromModel(projection, view, clip);
    ScreenTiles tiles;
    startScreenTiles(tiles, 100, 70, clip);
    if (trial % 3 == 0)
      for (double& k : tiles.keep) k = unit(random);
    double corners[3][4];
    for (auto& corner : corners) {
      const bool atInfinity = unit(random) > 0.4;
      for (int k = 0; k < 3; ++k) corner[k] = atInfinity ? unit(random) : place(random);
      corner[3] = atInfinity ? 0.0 : 1.0;
    }
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
        if (castPixel(tiles, corners, px, py)) {
          ++covered;
          ASSERT_TRUE(reached) << "trial " << trial << ", pixel " << px << ", " << py;
        }
      }
    for (uint8_t r : tiles.reached) tilesReached += r;
    tilesInAll += static_cast<long>(tiles.reached.size());

    // Surely front-facing: every corner in front of the eye, and the window's
    // signed area positive.
    if (clearlyFacesFront(tiles, corners)) {
      ++surelyFront;
      double wx[3], wy[3];
      for (int n = 0; n < 3; ++n) {
        double c[4];
        for (int row = 0; row < 4; ++row)
          c[row] = clip[row] * corners[n][0] + clip[4 + row] * corners[n][1] +
                   clip[8 + row] * corners[n][2] + clip[12 + row] * corners[n][3];
        ASSERT_GT(c[3], 0.0) << "trial " << trial;
        wx[n] = c[0] / c[3];
        wy[n] = c[1] / c[3];
      }
      EXPECT_GT((wx[1] - wx[0]) * (wy[2] - wy[0]) - (wx[2] - wx[0]) * (wy[1] - wy[0]), 0.0)
          << "trial " << trial;
    }
  }
  EXPECT_GT(covered, 1000000);
  EXPECT_LT(tilesReached, tilesInAll / 2) << "the tiles should not take in everything";
  EXPECT_GT(surelyFront, 100);
}

TEST(NearRectangle, LiesWhereTheStartViewMeetsItsNearPlane) {
  // gluPerspective(45, 4 / 3, 15, 1000), the eye at (0, 0, 200) looking down -z.
  double projection[16], view[16] = {}, clip[16];
  perspective(45.0, 4.0 / 3.0, 15.0, 1000.0, projection);
  view[0] = view[5] = view[10] = view[15] = 1.0;
  view[14] = -200.0;
  clipFromModel(projection, view, clip);
  double corners[4][3];
  ASSERT_TRUE(nearRectangle(clip, corners));
  const double halfHeight = 15.0 * std::tan(22.5 * 3.14159265358979323846 / 180.0);
  const double expected[4][3] = {{-halfHeight * 4 / 3, -halfHeight, 185},
                                 {halfHeight * 4 / 3, -halfHeight, 185},
                                 {halfHeight * 4 / 3, halfHeight, 185},
                                 {-halfHeight * 4 / 3, halfHeight, 185}};
  for (int n = 0; n < 4; ++n)
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(corners[n][k], expected[n][k], 1e-9) << n << k;
  const double flat[16] = {};
  EXPECT_FALSE(nearRectangle(flat, corners));
}

}  // namespace
