// Matrix products and the near plane's rectangle. Each corner is the model
// point that the matrix takes to the corner of the normalised view on the
// near plane (z = -1), found by solving the matrix's linear system with
// partial pivoting, in double precision.
#include "render/view_matrices.h"

#include <cmath>
#include <utility>

void clipFromModel(const double projection[16], const double modelview[16], double out[16]) {
  for (int column = 0; column < 4; ++column)
    for (int row = 0; row < 4; ++row) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += projection[k * 4 + row] * modelview[column * 4 + k];
      out[column * 4 + row] = sum;
    }
}

namespace {

// Solves m x = b; false where m has no inverse.
bool solve(const double m[16], const double b[4], double x[4]) {
  double a[4][5];
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) a[row][column] = m[column * 4 + row];
    a[row][4] = b[row];
  }
  for (int pivot = 0; pivot < 4; ++pivot) {
    int best = pivot;
    for (int row = pivot + 1; row < 4; ++row)
      if (std::fabs(a[row][pivot]) > std::fabs(a[best][pivot])) best = row;
    if (!(std::fabs(a[best][pivot]) > 0.0)) return false;
    std::swap(a[pivot], a[best]);
    for (int row = pivot + 1; row < 4; ++row) {
      const double factor = a[row][pivot] / a[pivot][pivot];
      for (int column = pivot; column < 5; ++column) a[row][column] -= factor * a[pivot][column];
    }
  }
  for (int row = 3; row >= 0; --row) {
    double sum = a[row][4];
    for (int column = row + 1; column < 4; ++column) sum -= a[row][column] * x[column];
    x[row] = sum / a[row][row];
  }
  return true;
}

}  // namespace

bool nearRectangle(const double clipFromModel[16], double corners[4][3]) {
  const double at[4][2] = {{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}};
  for (int n = 0; n < 4; ++n) {
    const double clip[4] = {at[n][0], at[n][1], -1.0, 1.0};
    double model[4];
    if (!solve(clipFromModel, clip, model) || !(std::fabs(model[3]) > 0.0)) return false;
    for (int axis = 0; axis < 3; ++axis) {
      corners[n][axis] = model[axis] / model[3];
      if (!std::isfinite(corners[n][axis])) return false;
    }
  }
  return true;
}
