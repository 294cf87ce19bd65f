// Which parts of the viewport a set of triangles can send fragments to, in
// square tiles, worked out on the CPU from the same matrices the GL draws
// with: a full-viewport step that changes only pixels some triangle drew on
// can be drawn over those tiles alone. The answer errs on the side of "can":
// each triangle is clipped to the view and its rows and columns widened by
// a pixel, so every pixel the GL rasterises lies in a marked tile. Triangles
// may have corners at infinity (w = 0). Arithmetic only; no OpenGL calls.
#pragma once

#include <cstdint>
#include <vector>

constexpr int screenTileSize = 16;

struct ScreenTiles {
  int width = 0;  // the viewport, in pixels
  int height = 0;
  int columns = 0;
  int rows = 0;
  double clipFromModel[16] = {};  // projection x modelview, column-major as GL keeps them
  // A plane in model coordinates that cuts the triangles as a GL clip plane
  // would: what lies where a x + b y + c z + d w < 0 is left out.
  double keep[4] = {0.0, 0.0, 0.0, 1.0};
  std::vector<uint8_t> reached;  // one per tile, rows from the bottom as GL counts them
};

// A rectangle of pixels: x0 <= x < x1, y0 <= y < y1, from the bottom left.
struct PixelRect {
  int x0;
  int y0;
  int x1;
  int y1;
};

// Starts with no tile reached and nothing cut away; reached keeps its
// storage from call to call.
void startScreenTiles(ScreenTiles& tiles, int width, int height, const double clipFromModel[16]);
void reachEveryTile(ScreenTiles& tiles);
// Corners in model coordinates, homogeneous: (x, y, z, 1), or (dx, dy, dz, 0)
// for the point at infinity in that direction.
void reachTriangle(ScreenTiles& tiles, const double corners[3][4]);
// The reached tiles, runs along each row joined into one rectangle each,
// clipped to the viewport.
void reachedRects(const ScreenTiles& tiles, std::vector<PixelRect>& rects);
