// Our 3D Studio reader side by side with lib3ds on files written by independent
// tools (assimp's exporter, and lib3ds saving assimp's files again) and on the
// bundled scene: vertices, faces, mapping coordinates, matrices, material names,
// colours, percentages and texture map names.
//
// Where the two readers differ by design, the comparison says so:
// - lib3ds keeps meshes and materials in lists sorted by name, ours are in file
//   order, so records are paired by name (equal names in file order).
// - lib3ds mirrors the vertices of an object whose local matrix has a negative
//   determinant (it flips local X); ours keeps vertices as the file gives them, so
//   lib3ds's flip is undone before comparing (shown on a small mirrored object).
// - Colours: ours takes only 24-bit colour chunks, lib3ds float ones too. assimp
//   writes float colours alone, so on its files our colours stay 0.
// - lib3ds gives a material's absent values defaults of its own, ours 0; the files
//   compared carry every material value that is compared.
// - lib3ds counts its mapping coordinates, ours extends them to vertexCount with (0, 0).
#include <gtest/gtest.h>

#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/matrix.h>
#include <lib3ds/mesh.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "assets/scene_reader.h"
#include "support/chunk_writer.h"

namespace {

struct Readings {
  Scene* ours;
  Lib3dsFile* theirs;
  explicit Readings(const std::string& path)
      : ours(readScene(path.c_str(), 1)), theirs(lib3ds_file_load(path.c_str())) {}
  ~Readings() {
    releaseScene(ours);
    if (theirs != nullptr) lib3ds_file_free(theirs);
  }
  Readings(const Readings&) = delete;
  Readings& operator=(const Readings&) = delete;
};

// lib3ds's vertex, with the flip it applies to a mirrored object taken back:
// in the object's local frame it negates X, p' = A S A^-1 (p - t) + t.
Vec3 unmirrored(const Lib3dsMesh& mesh, const float* point) {
  const Lib3dsMatrix& m = mesh.matrix;
  if (lib3ds_matrix_det(const_cast<Lib3dsMatrix&>(m)) >= 0.0f) return Vec3{point[0], point[1], point[2]};
  double a[3][3];  // rows of A; its columns are the axes m[0], m[1], m[2]
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) a[r][c] = m[c][r];
  }
  double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
               a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  double d[3] = {point[0] - m[3][0], point[1] - m[3][1], point[2] - m[3][2]};
  // Only the local X is needed: the first row of A^-1 applied to d.
  double localX = ((a[1][1] * a[2][2] - a[1][2] * a[2][1]) * d[0] -
                   (a[0][1] * a[2][2] - a[0][2] * a[2][1]) * d[1] +
                   (a[0][1] * a[1][2] - a[0][2] * a[1][1]) * d[2]) / det;
  // Negating local X moves the point by -2 localX along the X axis.
  return Vec3{static_cast<float>(point[0] - 2.0 * localX * a[0][0]),
              static_cast<float>(point[1] - 2.0 * localX * a[1][0]),
              static_cast<float>(point[2] - 2.0 * localX * a[2][0])};
}

void expectNear(float ours, float theirs, bool exact) {
  if (exact) {
    EXPECT_EQ(ours, theirs);
  } else {
    EXPECT_NEAR(ours, theirs, 1e-4f * (1.0f + std::fabs(theirs)));
  }
}

void compareMesh(const Mesh& ours, const Lib3dsMesh& theirs) {
  SCOPED_TRACE(ours.name);
  bool mirrored = lib3ds_matrix_det(const_cast<Lib3dsMatrix&>(theirs.matrix)) < 0.0f;
  ASSERT_EQ(static_cast<uint32_t>(ours.vertexCount), theirs.points);
  for (int32_t v = 0; v < ours.vertexCount; ++v) {
    Vec3 expected = unmirrored(theirs, theirs.pointL[v].pos);
    expectNear(ours.vertices[v].x, expected.x, !mirrored);
    expectNear(ours.vertices[v].y, expected.y, !mirrored);
    expectNear(ours.vertices[v].z, expected.z, !mirrored);
  }
  ASSERT_EQ(static_cast<uint32_t>(ours.faceCount), theirs.faces);
  for (int32_t f = 0; f < ours.faceCount; ++f) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(ours.faces[f].corner[c], theirs.faceL[f].points[c]) << f;
  }
  if (theirs.texels == 0) {
    EXPECT_EQ(ours.texCoords, nullptr);
  } else {
    ASSERT_NE(ours.texCoords, nullptr);
    for (int32_t t = 0; t < ours.vertexCount; ++t) {
      bool given = static_cast<uint32_t>(t) < theirs.texels;
      EXPECT_EQ(ours.texCoords[t].u, given ? theirs.texelL[t][0] : 0.0f) << t;
      EXPECT_EQ(ours.texCoords[t].v, given ? theirs.texelL[t][1] : 0.0f) << t;
    }
  }
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(ours.matrix[3 * r + c], theirs.matrix[c][r]);
    EXPECT_EQ(ours.matrix[9 + r], theirs.matrix[3][r]);
  }
  // lib3ds names a material on every face; ours binds the whole mesh.
  if (theirs.faces > 0) {
    std::string faceMaterial = theirs.faceL[0].material;
    bool one = true;
    for (uint32_t f = 0; f < theirs.faces; ++f) one = one && faceMaterial == theirs.faceL[f].material;
    if (one && faceMaterial.empty()) {
      EXPECT_EQ(ours.material, nullptr);
    }
    if (one && !faceMaterial.empty()) {
      ASSERT_NE(ours.material, nullptr);
      EXPECT_EQ(faceMaterial, ours.material->name);
    }
  }
}

int32_t packed(const Lib3dsRgba colour) {
  int32_t rgb = 0;
  for (int i = 0; i < 3; ++i) rgb = rgb * 256 + static_cast<int32_t>(std::lround(colour[i] * 255.0f));
  return rgb;
}

void compareMaterial(const Material& ours, const Lib3dsMaterial& theirs, bool colours24) {
  SCOPED_TRACE(ours.name);
  if (!colours24) {
    EXPECT_EQ(ours.ambientColour, 0);
    EXPECT_EQ(ours.diffuseColour, 0);
    EXPECT_EQ(ours.specularColour, 0);
    return;
  }
  EXPECT_EQ(ours.ambientColour, packed(theirs.ambient));
  EXPECT_EQ(ours.diffuseColour, packed(theirs.diffuse));
  EXPECT_EQ(ours.specularColour, packed(theirs.specular));
  EXPECT_NEAR(ours.shininess, theirs.shininess, 1e-6f);
  EXPECT_NEAR(ours.shininessStrength, theirs.shin_strength, 1e-6f);
  EXPECT_NEAR(ours.opacity, 1.0f - theirs.transparency, 1e-6f);
  EXPECT_STREQ(ours.textureMap.fileName, theirs.texture1_map.name);
  if (ours.textureMap.fileName[0] != 0) {
    EXPECT_NEAR(ours.textureMap.strength, theirs.texture1_map.percent, 1e-6f);
  }
}

// colours24: whether the file gives its colours as 24-bit chunks, the only kind ours takes.
void compareWithLib3ds(const std::string& path, bool colours24) {
  SCOPED_TRACE(path);
  Readings readings(path);
  ASSERT_NE(readings.ours, nullptr);
  ASSERT_NE(readings.theirs, nullptr);
  const Scene& ours = *readings.ours;

  std::vector<Lib3dsMesh*> theirMeshes;
  for (Lib3dsMesh* mesh = readings.theirs->meshes; mesh != nullptr; mesh = mesh->next) theirMeshes.push_back(mesh);
  ASSERT_EQ(static_cast<size_t>(ours.meshCount), theirMeshes.size());
  ASSERT_GT(ours.meshCount, 0);
  for (int32_t i = 0; i < ours.meshCount; ++i) {
    auto match = std::find_if(theirMeshes.begin(), theirMeshes.end(), [&](const Lib3dsMesh* mesh) {
      return mesh != nullptr && std::strcmp(mesh->name, ours.meshes[i]->name) == 0;
    });
    ASSERT_NE(match, theirMeshes.end()) << ours.meshes[i]->name;
    compareMesh(*ours.meshes[i], **match);
    *match = nullptr;
  }

  size_t theirMaterials = 0;
  bool anyColour = false;
  for (Lib3dsMaterial* material = readings.theirs->materials; material != nullptr; material = material->next) {
    ++theirMaterials;
    anyColour = anyColour || packed(material->diffuse) != 0;
  }
  EXPECT_TRUE(anyColour);  // or the colour comparison would prove nothing
  ASSERT_EQ(static_cast<size_t>(ours.materialCount), theirMaterials);
  for (int32_t i = 0; i < ours.materialCount; ++i) {
    const Lib3dsMaterial* theirs = lib3ds_file_material_by_name(readings.theirs, ours.materials[i]->name);
    ASSERT_NE(theirs, nullptr) << ours.materials[i]->name;
    compareMaterial(*ours.materials[i], *theirs, colours24);
  }
}

std::string fixture(const char* name) { return std::string(FIXTURE_DIR) + "/" + name; }

TEST(SceneReaderOracle, AgreesWithLib3dsOnFilesFromAssimp) {
  compareWithLib3ds(fixture("scene_crate.3ds"), false);
  compareWithLib3ds(fixture("scene_floor_and_pyramid.3ds"), false);
}

TEST(SceneReaderOracle, AgreesWithLib3dsOnFilesLib3dsSaved) {
  compareWithLib3ds(fixture("scene_crate_lib3ds.3ds"), true);
  compareWithLib3ds(fixture("scene_floor_and_pyramid_lib3ds.3ds"), true);
}

TEST(SceneReaderOracle, AgreesWithLib3dsOnTheBundledScene) {
  std::string path = std::string(DATA_DIR) + "/shadow2.3DS";
  if (access(path.c_str(), R_OK) != 0) GTEST_SKIP() << path << " is not there yet";
  compareWithLib3ds(path, true);
}

// The one place where lib3ds changes what the file says: a mirrored object.
TEST(SceneReaderOracle, KeepsMirroredVerticesWhereLib3dsFlipsThem) {
  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  beginChunk(writer, 0x3D3D);
  beginChunk(writer, 0xAFFF);
  beginChunk(writer, 0xA000);
  putName(writer, "Red");
  endChunk(writer);
  putColour24(writer, 0xA010, 40, 0, 0);
  putColour24(writer, 0xA020, 255, 0, 0);
  putColour24(writer, 0xA030, 200, 200, 200);
  putPercentage(writer, 0xA040, 25);
  putPercentage(writer, 0xA041, 60);
  putPercentage(writer, 0xA050, 10);
  endChunk(writer);
  beginNamedObject(writer, "Mirror");
  beginChunk(writer, 0x4100);
  putVertexList(writer, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  beginFaceList(writer, {0, 1, 2});
  putFaceMaterial(writer, "Red", {0});
  endChunk(writer);
  beginChunk(writer, 0x4160);
  for (float value : {-1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 10.0f, 20.0f, 30.0f}) putF32(writer, value);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  std::string path = ::testing::TempDir() + "scene_reader_oracle_" + std::to_string(getpid()) + ".3ds";
  ASSERT_TRUE(writeBytesToFile(path, writer.bytes));
  {
    Readings readings(path);
    ASSERT_NE(readings.ours, nullptr);
    ASSERT_NE(readings.theirs, nullptr);
    EXPECT_EQ(readings.ours->meshes[0]->vertices[0].x, 1.0f);
    EXPECT_EQ(readings.theirs->meshes->pointL[0].pos[0], 19.0f);  // 2 x 10 - 1
  }
  compareWithLib3ds(path, true);
  std::remove(path.c_str());
}

}  // namespace
