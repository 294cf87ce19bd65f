// The box-over-receiver scene (see box_scene.h).
#include "support/box_scene.h"

#include "support/chunk_writer.h"

void addReceiver(std::vector<Vec3>& vertices, std::vector<Face>& faces) {
  const int32_t first = static_cast<int32_t>(vertices.size());
  auto index = [first](int i, int j) { return first + j * (receiverColumns + 1) + i; };
  for (int j = 0; j <= receiverRows; ++j)
    for (int i = 0; i <= receiverColumns; ++i)
      vertices.push_back({receiverLeft + receiverCell * static_cast<float>(i),
                          receiverNear + receiverCell * static_cast<float>(j), 0.0f});
  for (int j = 0; j < receiverRows; ++j)
    for (int i = 0; i < receiverColumns; ++i) {
      faces.push_back({{index(i, j), index(i + 1, j), index(i + 1, j + 1)}});
      faces.push_back({{index(i, j), index(i + 1, j + 1), index(i, j + 1)}});
    }
}

void addBox(std::vector<Vec3>& vertices, std::vector<Face>& faces, const Vec3& low,
            const Vec3& high) {
  const int32_t first = static_cast<int32_t>(vertices.size());
  for (int corner = 0; corner < 8; ++corner)
    vertices.push_back({(corner & 1) ? high.x : low.x, (corner & 2) ? high.y : low.y,
                        (corner & 4) ? high.z : low.z});
  for (int axis = 0; axis < 3; ++axis)
    for (int side = 0; side < 2; ++side) {
      // Stepping along b then c turns counter-clockwise seen from +axis
      // (e_b x e_c = e_axis); the -axis face runs the other way.
      const int b = (axis + 1) % 3;
      const int c = (axis + 2) % 3;
      const int first2d = side == 1 ? b : c;
      const int second2d = side == 1 ? c : b;
      int quad[4];
      for (int n = 0; n < 4; ++n) {
        int bits = side << axis;
        if (n == 1 || n == 2) bits |= 1 << first2d;
        if (n == 2 || n == 3) bits |= 1 << second2d;
        quad[n] = first + bits;
      }
      faces.push_back({{quad[0], quad[1], quad[2]}});
      faces.push_back({{quad[0], quad[2], quad[3]}});
    }
}

std::vector<uint8_t> sceneFileBytes(const std::vector<Vec3>& vertices,
                                    const std::vector<Face>& faces) {
  return sceneFileBytes({{"Box over receiver", vertices, faces, false}});
}

std::vector<uint8_t> sceneFileBytes(const std::vector<SceneObject>& objects) {
  return editorFile([&](ChunkWriter& writer) {
    for (const SceneObject& object : objects) {
      std::vector<float> xyz, uv;
      for (const Vec3& v : object.vertices) {
        xyz.insert(xyz.end(), {v.x, v.y, v.z});
        uv.insert(uv.end(), {v.x / 64.0f, v.y / 64.0f});
      }
      std::vector<uint16_t> corners;
      for (const Face& face : object.faces)
        for (int32_t corner : face.corner) corners.push_back(static_cast<uint16_t>(corner));
      beginNamedObject(writer, object.name);
      beginChunk(writer, 0x4100);
      putVertexList(writer, xyz);
      if (object.mapped) putMappingCoordinates(writer, uv);
      beginFaceList(writer, corners);
      endChunk(writer);
      endChunk(writer);
      endChunk(writer);
    }
  });
}
