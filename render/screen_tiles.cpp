// The tiles of the viewport that triangles reach. Each triangle is cut by
// the keep plane, goes to clip space and is cut to the view (the four sides
// and the near plane), all in homogeneous coordinates, so that corners at
// infinity and corners behind the eye are cut as a GL cuts them. Nothing
// lies past the far plane of a projection without one, and with a far plane
// leaving it uncut only reaches more. What is left, a convex polygon, is
// walked tile row by tile row: its x extent within each row, a pixel wider
// on every side, marks the tiles. That pixel absorbs the GL's own rounding,
// which is far below it.
#include "render/screen_tiles.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

constexpr double slack = 1.0;       // pixels added round every triangle
constexpr int mostCorners = 3 + 6;  // a triangle cut by six planes

// Homogeneous coordinates, in model or clip space.
struct Clip {
  double x;
  double y;
  double z;
  double w;
};

// Keeps the part of the polygon where a x + b y + c z + d w >= 0.
int cutPolygon(const Clip* in, int count, Clip* out, const double (&plane)[4]) {
  const auto side = [&plane](const Clip& v) {
    return plane[0] * v.x + plane[1] * v.y + plane[2] * v.z + plane[3] * v.w;
  };
  int kept = 0;
  for (int n = 0; n < count; ++n) {
    const Clip& p = in[n];
    const Clip& q = in[(n + 1) % count];
    const double dp = side(p);
    const double dq = side(q);
    if (dp >= 0.0) out[kept++] = p;
    if ((dp >= 0.0) != (dq >= 0.0)) {
      const double t = dp / (dp - dq);
      out[kept++] = {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y), p.z + t * (q.z - p.z),
                     p.w + t * (q.w - p.w)};
    }
  }
  return kept;
}

Clip toClip(const ScreenTiles& tiles, const Clip& v) {
  const double* m = tiles.clipFromModel;
  double clip[4];
  for (int row = 0; row < 4; ++row)
    clip[row] = m[row] * v.x + m[4 + row] * v.y + m[8 + row] * v.z + m[12 + row] * v.w;
  return {clip[0], clip[1], clip[2], clip[3]};
}

Clip fromArray(const double v[4]) { return {v[0], v[1], v[2], v[3]}; }

int tileOf(double pixel, int count) {
  const double tile = std::floor(pixel / screenTileSize);
  if (tile < 0.0) return 0;
  if (tile > count - 1) return count - 1;
  return static_cast<int>(tile);
}

}  // namespace

void startScreenTiles(ScreenTiles& tiles, int width, int height, const double clipFromModel[16]) {
  tiles.width = std::max(width, 0);
  tiles.height = std::max(height, 0);
  tiles.columns = (tiles.width + screenTileSize - 1) / screenTileSize;
  tiles.rows = (tiles.height + screenTileSize - 1) / screenTileSize;
  std::copy(clipFromModel, clipFromModel + 16, tiles.clipFromModel);
  const double keepAll[4] = {0.0, 0.0, 0.0, 1.0};
  std::copy(keepAll, keepAll + 4, tiles.keep);
  tiles.reached.assign(static_cast<size_t>(tiles.columns) * static_cast<size_t>(tiles.rows), 0);
}

void reachEveryTile(ScreenTiles& tiles) {
  std::fill(tiles.reached.begin(), tiles.reached.end(), uint8_t{1});
}

void reachTriangle(ScreenTiles& tiles, const double corners[3][4]) {
  if (tiles.reached.empty()) return;
  Clip polygon[2][mostCorners];
  Clip model[3] = {fromArray(corners[0]), fromArray(corners[1]), fromArray(corners[2])};
  int count = cutPolygon(model, 3, polygon[0], tiles.keep);
  for (int n = 0; n < count; ++n) polygon[0][n] = toClip(tiles, polygon[0][n]);
  const double planes[5][4] = {
      {1, 0, 0, 1}, {-1, 0, 0, 1}, {0, 1, 0, 1}, {0, -1, 0, 1}, {0, 0, 1, 1}};
  int from = 0;
  for (const auto& plane : planes) {
    if (count == 0) return;
    count = cutPolygon(polygon[from], count, polygon[1 - from], plane);
    from = 1 - from;
  }
  if (count == 0) return;

  double x[mostCorners], y[mostCorners];
  for (int n = 0; n < count; ++n) {
    const Clip& c = polygon[from][n];
    x[n] = (c.x / c.w + 1.0) * 0.5 * tiles.width;
    y[n] = (c.y / c.w + 1.0) * 0.5 * tiles.height;
    // Only a corner at infinity straight across the view, or a value that is
    // not finite, lands here; where it goes is unknown, so it goes everywhere.
    if (!(c.w > 0.0) || !std::isfinite(x[n]) || !std::isfinite(y[n])) {
      reachEveryTile(tiles);
      return;
    }
  }
  const double lowest = *std::min_element(y, y + count);
  const double highest = *std::max_element(y, y + count);
  for (int row = tileOf(lowest - slack, tiles.rows); row <= tileOf(highest + slack, tiles.rows);
       ++row) {
    const double bottom = row * screenTileSize - slack;
    const double top = (row + 1) * screenTileSize + slack;
    double left = HUGE_VAL, right = -HUGE_VAL;
    for (int n = 0; n < count; ++n) {
      const int next = (n + 1) % count;
      const double x0 = x[n], y0 = y[n], x1 = x[next], y1 = y[next];
      if ((y0 < bottom && y1 < bottom) || (y0 > top && y1 > top)) continue;
      double from0 = 0.0, to1 = 1.0;  // the part of the edge within the row
      if (y0 != y1) {
        const double tBottom = (bottom - y0) / (y1 - y0);
        const double tTop = (top - y0) / (y1 - y0);
        from0 = std::max(0.0, std::min(tBottom, tTop));
        to1 = std::min(1.0, std::max(tBottom, tTop));
      }
      for (const double t : {from0, to1}) {
        const double at = x0 + t * (x1 - x0);
        left = std::min(left, at);
        right = std::max(right, at);
      }
    }
    if (left > right) continue;
    const size_t first = static_cast<size_t>(row) * static_cast<size_t>(tiles.columns);
    for (int column = tileOf(left - slack, tiles.columns);
         column <= tileOf(right + slack, tiles.columns); ++column)
      tiles.reached[first + static_cast<size_t>(column)] = 1;
  }
}

void reachedRects(const ScreenTiles& tiles, std::vector<PixelRect>& rects) {
  rects.clear();
  size_t previousRow = 0;
  for (int row = 0; row < tiles.rows; ++row) {
    const size_t thisRow = rects.size();
    const uint8_t* reached = tiles.reached.data() + static_cast<size_t>(row) * tiles.columns;
    for (int column = 0; column < tiles.columns;) {
      if (reached[column] == 0) {
        ++column;
        continue;
      }
      const int first = column;
      while (column < tiles.columns && reached[column] != 0) ++column;
      rects.push_back({first * screenTileSize, row * screenTileSize,
                       std::min(column * screenTileSize, tiles.width),
                       std::min((row + 1) * screenTileSize, tiles.height)});
    }
    // A row reached as the one below it was makes those rectangles taller.
    bool same = rects.size() - thisRow == thisRow - previousRow && thisRow > previousRow;
    for (size_t n = 0; same && n < thisRow - previousRow; ++n)
      same = rects[previousRow + n].x0 == rects[thisRow + n].x0 &&
             rects[previousRow + n].x1 == rects[thisRow + n].x1;
    if (same) {
      for (size_t n = previousRow; n < thisRow; ++n)
        rects[n].y1 = rects[n + thisRow - previousRow].y1;
      rects.resize(thisRow);
    } else {
      previousRow = thisRow;
    }
  }
}
