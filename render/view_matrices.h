// What the frame needs to know of its view beyond drawing with it: the one
// matrix from model to clip coordinates, and the rectangle the near plane
// cuts from the view, where clipping starts every eye ray the GL counts along.
// Arithmetic only; no OpenGL calls. Matrices are column-major, as GL keeps them.
#pragma once

// out = projection x modelview
void clipFromModel(const double projection[16], const double modelview[16], double out[16]);

// The near plane's rectangle in model coordinates: the corners at (-1, -1),
// (1, -1), (1, 1) and (-1, 1) of the normalised view on the near plane, in
// that order. False where the matrix has no inverse, or a corner comes out
// at infinity or not finite.
bool nearRectangle(const double clipFromModel[16], double corners[4][3]);
