// libFuzzer target for the 3D Studio reader. Each input is written to a file of
// this process's own and read by readScene through the file system, as the
// program reads its scene, with mapping coordinates asked for. The scene is then
// walked the way the later steps index it (every face corner into the vertices
// and mapping coordinates), so the sanitizers see any index the reader lets
// through, and the reader's promises about its records are checked; a broken
// promise aborts like a crash. Does not cover readTexCoords other than 1: that
// only turns the mapping chunk into a skip, the path every unknown chunk takes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/scene_reader.h"
#include "fuzz/input_file.h"

namespace {

void require(bool promise, const char* what) { fuzz::require("scene_reader_fuzz", promise, what); }

bool terminated(const char* name) { return std::memchr(name, 0, nameSize) != nullptr; }

// Returns a value built from everything read, so that no read is optimised away.
float walkScene(const Scene& scene) {
  require(std::strcmp(scene.name, "Untitled") == 0, "scene name is Untitled");
  require(scene.meshCount >= 0 && scene.meshCount <= meshCapacity, "mesh count within the table");
  require(scene.materialCount >= 0 && scene.materialCount <= materialCapacity,
          "material count within the table");
  float sum = 0.0f;
  int64_t vertexTotal = 0;
  int64_t faceTotal = 0;
  for (int32_t m = 0; m < scene.meshCount; ++m) {
    const Mesh* mesh = scene.meshes[m];
    require(mesh != nullptr, "every used mesh entry points at a mesh");
    require(terminated(mesh->name), "mesh name terminated");
    require(mesh->vertexCount >= 0 && mesh->faceCount >= 0, "counts not negative");
    require((mesh->vertexCount == 0) == (mesh->vertices == nullptr), "vertices present iff counted");
    require((mesh->faceCount == 0) == (mesh->faces == nullptr), "faces present iff counted");
    vertexTotal += mesh->vertexCount;
    faceTotal += mesh->faceCount;
    for (int32_t v = 0; v < mesh->vertexCount; ++v) sum += mesh->vertices[v].z;
    if (mesh->texCoords != nullptr && mesh->vertexCount > 0) {
      sum += mesh->texCoords[mesh->vertexCount - 1].v;
    }
    for (int32_t f = 0; f < mesh->faceCount; ++f) {
      for (int32_t corner : mesh->faces[f].corner) {
        require(corner >= 0 && corner < mesh->vertexCount, "face corner names a vertex of its mesh");
        sum += mesh->vertices[corner].x;
        if (mesh->texCoords != nullptr) sum += mesh->texCoords[corner].u;
      }
    }
    for (float value : mesh->matrix) sum += value;
    if (mesh->material != nullptr) {
      require(mesh->materialIndex >= 0 && mesh->materialIndex < scene.materialCount &&
                  scene.materials[mesh->materialIndex] == mesh->material,
              "material index and pointer agree");
    } else {
      require(mesh->materialIndex == -1, "no material means index -1");
    }
  }
  require(vertexTotal == scene.vertexTotal, "vertex total is the sum over the meshes");
  require(faceTotal == scene.faceTotal, "face total is the sum over the meshes");
  for (int32_t m = 0; m < scene.materialCount; ++m) {
    const Material* material = scene.materials[m];
    require(material != nullptr, "every used material entry points at a material");
    require(terminated(material->name), "material name terminated");
    for (const MaterialMap* map : {&material->textureMap, &material->opacityMap, &material->bumpMap}) {
      require(terminated(map->fileName), "map file name terminated");
      sum += map->strength;
    }
    sum += material->opacity + material->shininess + static_cast<float>(material->diffuseColour);
  }
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::chooseInputFile("scene_reader_fuzz", ".3ds");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeInputFile(data, size);

  Scene* scene = readScene(fuzz::inputPath().c_str(), 1);
  bool needsMainChunk = size < 6 || data[0] != 0x4D || data[1] != 0x4D;
  require((scene == nullptr) == needsMainChunk, "null exactly when the main chunk is missing");
  if (scene != nullptr) {
    volatile float sink = walkScene(*scene);
    (void)sink;
  }
  releaseScene(scene);
  return 0;
}
