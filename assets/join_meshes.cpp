// Joins a scene's meshes into one (see join_meshes.h). The records are
// trusted no further than the scene reader's output: null arrays and
// negative counts count as empty, and corners are checked against their own
// mesh. Each mesh gives up its arrays as soon as they are copied, so the
// scene is held about once, not twice, at any time of the join.
#include "assets/join_meshes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

// The edge list keeps three records a face in a 32-bit count.
constexpr int64_t faceLimit = std::numeric_limits<int32_t>::max() / 3;
constexpr int64_t vertexLimit = std::numeric_limits<int32_t>::max();

int32_t vertexCountOf(const Mesh& mesh) {
  return mesh.vertices == nullptr ? 0 : std::max(mesh.vertexCount, 0);
}

int32_t faceCountOf(const Mesh& mesh) {
  return mesh.faces == nullptr ? 0 : std::max(mesh.faceCount, 0);
}

bool namesOwnVertex(const Face& face, int32_t vertexCount) {
  for (int32_t corner : face.corner)
    if (corner < 0 || corner >= vertexCount) return false;
  return true;
}

}  // namespace

Mesh* joinMeshes(Scene& scene) {
  const int32_t tableSize =
      scene.meshes == nullptr ? 0 : std::clamp(scene.meshCount, 0, meshCapacity);
  std::vector<Mesh*> taken;
  int64_t vertexTotal = 0, faceTotal = 0;
  bool anyTexCoords = false;
  for (int32_t i = 0; i < tableSize; ++i) {
    Mesh* mesh = scene.meshes[i];
    if (mesh == nullptr) continue;
    if (vertexTotal + vertexCountOf(*mesh) > vertexLimit ||
        faceTotal + faceCountOf(*mesh) > faceLimit) {
      releaseMeshArrays(*mesh);
      continue;
    }
    taken.push_back(mesh);
    vertexTotal += vertexCountOf(*mesh);
    faceTotal += faceCountOf(*mesh);
    anyTexCoords = anyTexCoords || mesh->texCoords != nullptr;
  }

  Mesh* joined = new Mesh{};
  std::strcpy(joined->name, "All meshes");
  joined->materialIndex = -1;
  joined->matrix[0] = joined->matrix[4] = joined->matrix[8] = 1.0f;
  joined->vertices = new Vec3[static_cast<size_t>(vertexTotal)];
  joined->faces = new Face[static_cast<size_t>(faceTotal)];
  if (anyTexCoords) joined->texCoords = new TexCoord[static_cast<size_t>(vertexTotal)]();
  int32_t offset = 0;
  for (Mesh* mesh : taken) {
    const int32_t vertexCount = vertexCountOf(*mesh);
    std::copy(mesh->vertices, mesh->vertices + vertexCount, joined->vertices + offset);
    if (mesh->texCoords != nullptr) {
      std::copy(mesh->texCoords, mesh->texCoords + vertexCount, joined->texCoords + offset);
    }
    for (int32_t f = 0; f < faceCountOf(*mesh); ++f) {
      const Face& face = mesh->faces[f];
      if (!namesOwnVertex(face, vertexCount)) continue;
      joined->faces[joined->faceCount++] =
          Face{{face.corner[0] + offset, face.corner[1] + offset, face.corner[2] + offset}};
    }
    offset += vertexCount;
    releaseMeshArrays(*mesh);
  }
  joined->vertexCount = offset;
  scene.vertexTotal = scene.faceTotal = 0;
  return joined;
}
