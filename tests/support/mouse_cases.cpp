// Mouse cases (see mouse_cases.h).
#include "support/mouse_cases.h"

#include <algorithm>
#include <cmath>

const MouseCase mouseCases[6] = {
    {"left drag right: Delete in turn mode for 10 frames", 1, 50, 0, 1, -10, 0, 0, 0},
    {"left drag up: End for 8 frames", 1, 0, -40, 0, 8, 0, 0, 0},
    {"left drag let go outside, back unheld: Delete for 32 frames", 1, 160, 0, 1, -32, 0, 0, 0},
    {"right drag: Page Down for 4 frames, Home for 2", 3, 40, -20, 0, 0, 0, 8, 4},
    {"wheel forward 3 notches: Up for 30 frames", 4, 3, 0, 0, 0, 30, 0, 0},
    {"wheel back 2 notches: Down for 20 frames", 5, 2, 0, 0, 0, -20, 0, 0},
};

void makeMouseCase(X11Client& client, Window window, const MouseCase& c) {
  int width = 0, height = 0;
  windowSize(client, window, width, height);
  const int x = width - 100, y = height / 2;
  movePointer(client, window, x, y);
  for (int press = 0; press < (c.button >= 4 ? c.dx : 1); ++press) {
    pressButton(client, c.button, true);
    if (c.button < 4) movePointer(client, window, x + c.dx, y + c.dy);
    pressButton(client, c.button, false);
  }
  movePointer(client, window, x, y);
}

// Coordinate r of where the matrix puts model point p.
static double eye(const ViewAndLight& v, const Vec3& p, int r) {
  return double{v.m[r]} * p.x + double{v.m[r + 4]} * p.y + double{v.m[r + 8]} * p.z + v.m[r + 12];
}

double distanceFromKeys(const MouseCase& c, const ViewAndLight& before, const ViewAndLight& after) {
  const double turn = c.degrees * M_PI / 180.0;
  const int i = (c.axis + 1) % 3, j = (c.axis + 2) % 3;
  const Vec3 fixed[4] = {{0, 0, 0}, {100, 0, 0}, {0, 100, 0}, {0, 0, 100}};
  double worst = 0.0;
  for (int k = -1; k < 4; ++k) {  // the light, then points fixed in the model
    const Vec3& p = k < 0 ? before.light : fixed[k];
    double keys[3] = {k < 0 ? c.lightRight : 0.0, k < 0 ? c.lightUp : 0.0, c.nearer};
    keys[c.axis] += eye(before, p, c.axis);
    keys[i] += std::cos(turn) * eye(before, p, i) - std::sin(turn) * eye(before, p, j);
    keys[j] += std::sin(turn) * eye(before, p, i) + std::cos(turn) * eye(before, p, j);
    const Vec3& q = k < 0 ? after.light : fixed[k];
    for (int r = 0; r < 3; ++r) worst = std::max(worst, std::abs(eye(after, q, r) - keys[r]));
  }
  return worst;
}
