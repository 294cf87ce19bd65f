// Client-side arrays, one draw call each (see send_arrays.h). The triangles
// and their corners are those the frame would send one vertex at a time, in
// the same order, so the picture is the same to the bit.
#include "render/send_arrays.h"

#include <GL/gl.h>

namespace {

template <typename Vertex>
void sendArray(GLenum mode, const std::vector<Vertex>& vertices) {
  if (vertices.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(static_cast<GLint>(sizeof(Vertex) / sizeof(float)), GL_FLOAT, 0, vertices.data());
  glDrawArrays(mode, 0, static_cast<GLsizei>(vertices.size()));
  glDisableClientState(GL_VERTEX_ARRAY);
}

// Kept from frame to frame, so that the rectangles allocate nothing once grown.
std::vector<Vec3> theRectCorners;

}  // namespace

void sendTriangles(const std::vector<Vec3>& vertices) { sendArray(GL_TRIANGLES, vertices); }
void sendTriangles(const std::vector<Vec4>& vertices) { sendArray(GL_TRIANGLES, vertices); }
void sendLines(const std::vector<Vec3>& vertices) { sendArray(GL_LINES, vertices); }
void sendLines(const std::vector<Vec4>& vertices) { sendArray(GL_LINES, vertices); }

void sendIndexedTriangles(const void* vertices, int stride, const uint32_t* indices,
                          int32_t indexCount, const Vec3* colours, const TexCoord* texCoords) {
  if (vertices == nullptr || indices == nullptr || indexCount <= 0) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, stride, vertices);
  if (colours != nullptr) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, 0, colours);
  }
  if (texCoords != nullptr) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
  }
  glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, indices);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

void sendIndexedTriangles(const std::vector<Vec4>& vertices, const std::vector<uint32_t>& indices) {
  if (vertices.empty() || indices.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(4, GL_FLOAT, 0, vertices.data());
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT,
                 indices.data());
  glDisableClientState(GL_VERTEX_ARRAY);
}

void sendRects(const std::vector<PixelRect>& rects, float z) {
  theRectCorners.clear();
  for (const PixelRect& r : rects) {
    const float x0 = static_cast<float>(r.x0), y0 = static_cast<float>(r.y0);
    const float x1 = static_cast<float>(r.x1), y1 = static_cast<float>(r.y1);
    theRectCorners.insert(theRectCorners.end(),
                          {{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}});
  }
  sendArray(GL_QUADS, theRectCorners);
}
