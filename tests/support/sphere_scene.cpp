// Spheres over a receiver (see sphere_scene.h).
#include "support/sphere_scene.h"

#include <cmath>
#include <cstdint>

#include "support/chunk_writer.h"

namespace {

constexpr float groundHalfWidth = 110.0f;
constexpr float groundHalfHeight = 85.0f;
constexpr int groundColumns = 40;  // squares across, two faces each
constexpr int groundRows = 30;
constexpr float sphereHeight = 25.0f;
constexpr float fieldHalfWidth = 60.0f;  // the spheres' square, centre to centre
constexpr float fieldHalfHeight = 45.0f;

// Fine enough that the light's fall-off shows across it.
SceneObject receiver() {
  SceneObject object{"Receiver", {}, {}, true};
  const auto index = [](int i, int j) { return j * (groundColumns + 1) + i; };
  for (int j = 0; j <= groundRows; ++j)
    for (int i = 0; i <= groundColumns; ++i)
      object.vertices.push_back(
          {groundHalfWidth * (2.0f * static_cast<float>(i) / groundColumns - 1.0f),
           groundHalfHeight * (2.0f * static_cast<float>(j) / groundRows - 1.0f), 0.0f});
  for (int j = 0; j < groundRows; ++j)
    for (int i = 0; i < groundColumns; ++i) {
      object.faces.push_back({{index(i, j), index(i + 1, j), index(i + 1, j + 1)}});
      object.faces.push_back({{index(i, j), index(i + 1, j + 1), index(i, j + 1)}});
    }
  return object;
}

SceneObject sphere(const char* name, const Vec3& centre, float radius, int n) {
  SceneObject object{name, {}, {}, false};
  // A vertex per lattice point on the cube's surface, shared by the faces
  // of the cube that meet there.
  const int side = n + 1;
  std::vector<int32_t> index(static_cast<size_t>(side) * side * side, -1);
  const auto vertexAt = [&](const int(&p)[3]) {
    int32_t& slot = index[(static_cast<size_t>(p[0]) * side + p[1]) * side + p[2]];
    if (slot < 0) {
      double d[3];
      for (int a = 0; a < 3; ++a) d[a] = 2.0 * p[a] / n - 1.0;
      const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      slot = static_cast<int32_t>(object.vertices.size());
      object.vertices.push_back({static_cast<float>(centre.x + radius * d[0] / length),
                                 static_cast<float>(centre.y + radius * d[1] / length),
                                 static_cast<float>(centre.z + radius * d[2] / length)});
    }
    return slot;
  };
  for (int axis = 0; axis < 3; ++axis)
    for (int high = 0; high < 2; ++high) {
      // Stepping along b then c turns counter-clockwise seen from +axis.
      const int b = high ? (axis + 1) % 3 : (axis + 2) % 3;
      const int c = high ? (axis + 2) % 3 : (axis + 1) % 3;
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
          int corner[4];
          for (int k = 0; k < 4; ++k) {
            int p[3];
            p[axis] = high ? n : 0;
            p[b] = i + (k == 1 || k == 2 ? 1 : 0);
            p[c] = j + (k >= 2 ? 1 : 0);
            corner[k] = vertexAt(p);
          }
          object.faces.push_back({{corner[0], corner[1], corner[2]}});
          object.faces.push_back({{corner[0], corner[2], corner[3]}});
        }
    }
  return object;
}

// Names live as long as the objects: the scene file copies them.
std::vector<std::string> theNames;

}  // namespace

std::vector<SceneObject> sphereSceneObjects(const SphereScene& scene) {
  std::vector<SceneObject> objects{receiver()};
  const int count = scene.perSide;
  const float radius = 36.0f / static_cast<float>(count);
  theNames.resize(static_cast<size_t>(count) * count);
  for (int row = 0; row < count; ++row)
    for (int column = 0; column < count; ++column) {
      const float step = count == 1 ? 0.0f : 2.0f / static_cast<float>(count - 1);
      const float x =
          count == 1 ? 0.0f : fieldHalfWidth * (step * static_cast<float>(column) - 1.0f);
      const float y = count == 1 ? 0.0f : fieldHalfHeight * (step * static_cast<float>(row) - 1.0f);
      std::string& name = theNames[static_cast<size_t>(row) * count + column];
      name = "Sphere " + std::to_string(row * count + column + 1);
      objects.push_back(sphere(name.c_str(), {x, y, sphereHeight}, radius, scene.subdivisions));
    }
  return objects;
}

int sphereSceneFaces(const SphereScene& scene) {
  return 2 * groundColumns * groundRows +
         scene.perSide * scene.perSide * 12 * scene.subdivisions * scene.subdivisions;
}

bool writeSphereScene(const std::string& path, const SphereScene& scene) {
  return writeBytesToFile(path, sceneFileBytes(sphereSceneObjects(scene)));
}
