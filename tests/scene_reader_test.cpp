// The 3D Studio reader on files built byte by byte: what each chunk leaves in
// the records, and that damaged and hostile files give a usable scene or null,
// never a fault. Comparison with an independent reader is in
// scene_reader_oracle_test.cpp.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "assets/byte_reader.h"
#include "assets/scene_reader.h"
#include "support/chunk_writer.h"
#include "support/sparse_file.h"

namespace {

using ScenePointer = std::unique_ptr<Scene, void (*)(Scene*)>;

std::string scratchPath() {
  return ::testing::TempDir() + "scene_reader_test_" + std::to_string(getpid()) + ".3ds";
}

ScenePointer readSceneBytes(const std::vector<uint8_t>& bytes, uint8_t readTexCoords = 1) {
  std::string path = scratchPath();
  EXPECT_TRUE(writeBytesToFile(path, bytes));
  ScenePointer scene(readScene(path.c_str(), readTexCoords), releaseScene);
  std::remove(path.c_str());
  return scene;
}

void putSquare(ChunkWriter& writer) {
  putVertexList(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
  beginFaceList(writer, {0, 1, 2, 0, 2, 3});
  endChunk(writer);
}

void putMaterialName(ChunkWriter& writer, const std::string& name) {
  beginChunk(writer, 0xA000);
  putName(writer, name);
  endChunk(writer);
}

// What a modelling program exports: version, a material with every block, a light,
// a textured object with its face sub-chunks and matrix, a camera, a keyframer.
std::vector<uint8_t> exportedScene() {
  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  beginChunk(writer, 0x0002);
  putU32(writer, 3);
  endChunk(writer);
  beginChunk(writer, 0x3D3D);
  beginChunk(writer, 0xAFFF);
  putMaterialName(writer, "Stone");
  putColour24(writer, 0xA010, 10, 20, 30);
  putColour24(writer, 0xA020, 200, 100, 50);
  putColour24(writer, 0xA030, 255, 255, 255);
  putPercentage(writer, 0xA040, 30);
  putPercentage(writer, 0xA041, 100);
  putPercentage(writer, 0xA050, 30);
  putPercentage(writer, 0xA084, 50);
  beginChunk(writer, 0xA200);
  beginChunk(writer, 0x0030);
  putU16(writer, 100);
  endChunk(writer);
  beginChunk(writer, 0xA300);
  putName(writer, "txt.tif");
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  beginNamedObject(writer, "Lamp");
  beginChunk(writer, 0x4600);
  for (float value : {20.0f, 20.0f, 70.0f}) putF32(writer, value);
  endChunk(writer);
  endChunk(writer);
  beginNamedObject(writer, "Box");
  beginChunk(writer, 0x4100);
  putVertexList(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
  putMappingCoordinates(writer, {0, 0, 1, 0, 1, 1, 0, 1});
  beginFaceList(writer, {0, 1, 2, 0, 2, 3});
  putFaceMaterial(writer, "Stone", {0, 1});
  beginChunk(writer, 0x4150);  // smoothing groups
  putU32(writer, 1);
  putU32(writer, 1);
  endChunk(writer);
  endChunk(writer);
  beginChunk(writer, 0x4160);
  for (int i = 0; i < 12; ++i) putF32(writer, i < 9 ? (i % 4 == 0 ? 1.0f : 0.0f) : 5.0f);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  beginNamedObject(writer, "Camera01");
  beginChunk(writer, 0x4700);
  for (int i = 0; i < 8; ++i) putF32(writer, 1.0f);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  beginChunk(writer, 0xB000);
  putVertexList(writer, {9, 9, 9});  // inside the keyframer: must not become a mesh
  endChunk(writer);
  endChunk(writer);
  return writer.bytes;
}

// Touches everything a later step may index, so the sanitizers see any overrun,
// and checks the promises the reader makes about its records.
void expectUsable(const Scene& scene) {
  ASSERT_GE(scene.meshCount, 0);
  ASSERT_LE(scene.meshCount, meshCapacity);
  ASSERT_GE(scene.materialCount, 0);
  ASSERT_LE(scene.materialCount, materialCapacity);
  int32_t vertexTotal = 0;
  int32_t faceTotal = 0;
  float sum = 0.0f;
  for (int32_t m = 0; m < scene.meshCount; ++m) {
    const Mesh& mesh = *scene.meshes[m];
    EXPECT_NE(std::memchr(mesh.name, 0, nameSize), nullptr);
    vertexTotal += mesh.vertexCount;
    faceTotal += mesh.faceCount;
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
      for (int32_t corner : mesh.faces[f].corner) {
        ASSERT_GE(corner, 0);
        ASSERT_LT(corner, mesh.vertexCount);
        sum += mesh.vertices[corner].x;
        if (mesh.texCoords != nullptr) sum += mesh.texCoords[corner].u;
      }
    }
    if (mesh.texCoords != nullptr && mesh.vertexCount > 0) sum += mesh.texCoords[mesh.vertexCount - 1].v;
    if (mesh.material != nullptr) {
      ASSERT_GE(mesh.materialIndex, 0);
      ASSERT_LT(mesh.materialIndex, scene.materialCount);
      EXPECT_EQ(scene.materials[mesh.materialIndex], mesh.material);
    } else {
      EXPECT_EQ(mesh.materialIndex, -1);
    }
  }
  for (int32_t m = 0; m < scene.materialCount; ++m) {
    const Material& material = *scene.materials[m];
    EXPECT_NE(std::memchr(material.name, 0, nameSize), nullptr);
    EXPECT_NE(std::memchr(material.textureMap.fileName, 0, nameSize), nullptr);
  }
  EXPECT_EQ(scene.vertexTotal, vertexTotal);
  EXPECT_EQ(scene.faceTotal, faceTotal);
  (void)sum;
}

TEST(SceneReaderFaces, AreWidenedInPlaceKeepingFaceAndCornerOrder) {
  std::vector<float> xyz(3 * 300, 0.0f);
  std::vector<uint16_t> corners;
  for (uint16_t i = 0; i < 200; ++i) {
    corners.insert(corners.end(), {i, static_cast<uint16_t>(299 - i), static_cast<uint16_t>((i * 7) % 300)});
  }
  corners[0] = 5;
  corners[1] = 9;
  corners[2] = 2;
  ScenePointer scene = readSceneBytes(editorFile([&](ChunkWriter& writer) {
    beginNamedObject(writer, "Grid");
    putVertexList(writer, xyz);
    beginFaceList(writer, corners);
    endChunk(writer);
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  const Mesh& mesh = *scene->meshes[0];
  ASSERT_EQ(mesh.faceCount, 200);
  EXPECT_EQ(scene->faceTotal, 200);
  for (int32_t f = 0; f < 200; ++f) {
    for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(mesh.faces[f].corner[c], corners[3 * f + c]) << f;
  }
}

TEST(SceneReaderRecords, TakeNamesInFileOrderAndApplyChunksToTheLastMesh) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    putVertexList(writer, {1, 2, 3});  // before any named object
    beginNamedObject(writer, "Twin");
    putVertexList(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0});
    putVertexList(writer, {0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 2, 0});
    beginFaceList(writer, {0, 1, 3});
    endChunk(writer);
    putMappingCoordinates(writer, {0.5f, 0.25f, 1, 1, 0, 0, 1, 0});
    beginChunk(writer, 0x4160);
    for (int i = 1; i <= 12; ++i) putF32(writer, static_cast<float>(i));
    endChunk(writer);
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  EXPECT_STREQ(scene->name, "Untitled");
  ASSERT_EQ(scene->meshCount, 3);
  EXPECT_STREQ(scene->meshes[0]->name, "Untitled");
  EXPECT_EQ(scene->meshes[0]->vertices[0].z, 3.0f);
  const Mesh& first = *scene->meshes[1];
  const Mesh& second = *scene->meshes[2];
  EXPECT_STREQ(first.name, "Twin");
  EXPECT_STREQ(second.name, "Twin");
  EXPECT_EQ(first.faceCount, 0);
  EXPECT_EQ(first.faces, nullptr);
  EXPECT_EQ(first.texCoords, nullptr);
  EXPECT_EQ(first.matrix[1], 0.0f);
  ASSERT_EQ(second.faceCount, 1);
  EXPECT_EQ(second.faces[0].corner[2], 3);
  EXPECT_EQ(second.texCoords[0].u, 0.5f);
  EXPECT_EQ(second.texCoords[0].v, 0.25f);
  EXPECT_EQ(scene->vertexTotal, 1 + 3 + 4);
  // The file's axes become columns: X axis 1 2 3, Y axis 4 5 6, Z axis 7 8 9, origin 10 11 12.
  const float stored[12] = {1, 4, 7, 2, 5, 8, 3, 6, 9, 10, 11, 12};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(second.matrix[i], stored[i]) << i;
}

TEST(SceneReaderRecords, GiveFieldsTheFileLeavesOutSafeValues) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    beginNamedObject(writer, "Bare");
    putVertexList(writer, {0, 0, 0});
    endChunk(writer);
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Plain");
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  const Mesh& mesh = *scene->meshes[0];
  EXPECT_EQ(mesh.faceCount, 0);
  EXPECT_EQ(mesh.edgeCount, 0);
  EXPECT_EQ(mesh.materialIndex, -1);
  EXPECT_EQ(mesh.material, nullptr);
  EXPECT_EQ(mesh.edges, nullptr);
  EXPECT_EQ(mesh.vertexNormals, nullptr);
  EXPECT_EQ(mesh.faceNormals, nullptr);
  const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(mesh.matrix, identity, sizeof identity), 0);
  const Material& material = *scene->materials[0];
  EXPECT_STREQ(material.name, "Plain");
  EXPECT_EQ(material.diffuseColour, 0);
  EXPECT_EQ(material.opacity, 1.0f);
  EXPECT_EQ(material.textureMap.fileName[0], 0);
}

TEST(SceneReaderRecords, MakeMeshesOnlyFromVertexListsOutsideTheKeyframer) {
  ScenePointer scene = readSceneBytes(exportedScene());
  ASSERT_NE(scene, nullptr);
  expectUsable(*scene);
  ASSERT_EQ(scene->meshCount, 1);
  EXPECT_STREQ(scene->meshes[0]->name, "Box");
  EXPECT_EQ(scene->meshes[0]->material, scene->materials[0]);
  EXPECT_EQ(scene->meshes[0]->matrix[9], 5.0f);
}

TEST(SceneReaderMaterials, RoundPercentagesOnceAndPackColours) {
  ScenePointer scene = readSceneBytes(exportedScene());
  ASSERT_NE(scene, nullptr);
  const Material& stone = *scene->materials[0];
  EXPECT_EQ(stone.ambientColour, 0x0A141E);
  EXPECT_EQ(stone.diffuseColour, 0xC86432);
  EXPECT_EQ(stone.specularColour, 0xFFFFFF);
  EXPECT_EQ(stone.shininess, 0.29999998f);  // one step below the float nearest 0.3
  EXPECT_NE(stone.shininess, 0.3f);
  EXPECT_EQ(stone.shininessStrength, 1.0f);
  EXPECT_EQ(stone.opacity, 0.7f);
  EXPECT_EQ(stone.selfIllumination, 0.5f);
  EXPECT_EQ(stone.textureMap.strength, 1.0f);
  EXPECT_STREQ(stone.textureMap.fileName, "txt.tif");
  EXPECT_EQ(stone.opacityMap.fileName[0], 0);
}

TEST(SceneReaderMaterials, CarryPendingFlagsToTheNextValueOfTheirKind) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Glass");
    beginChunk(writer, 0xA050);  // transparency only as a float percentage, passed over
    beginChunk(writer, 0x0031);
    putF32(writer, 30.0f);
    endChunk(writer);
    endChunk(writer);
    beginChunk(writer, 0xA010);  // ambient only as a float colour, passed over
    beginChunk(writer, 0x0010);
    for (int i = 0; i < 3; ++i) putF32(writer, 1.0f);
    endChunk(writer);
    endChunk(writer);
    putPercentage(writer, 0xA040, 30);  // inverted, and leaves the colour pending
    beginChunk(writer, 0x0011);  // a stray 24-bit colour still lands in ambient
    for (uint8_t value : std::vector<uint8_t>{1, 2, 3}) putU8(writer, value);
    endChunk(writer);
    beginChunk(writer, 0xA020);  // two colours: the second finds no flag and is dropped
    beginChunk(writer, 0x0011);
    for (uint8_t value : std::vector<uint8_t>{4, 5, 6}) putU8(writer, value);
    endChunk(writer);
    beginChunk(writer, 0x0011);
    for (uint8_t value : std::vector<uint8_t>{7, 8, 9}) putU8(writer, value);
    endChunk(writer);
    endChunk(writer);
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  const Material& glass = *scene->materials[0];
  EXPECT_EQ(glass.opacity, 1.0f);  // the float transparency was passed over
  EXPECT_EQ(glass.shininess, 0.7f);
  EXPECT_EQ(glass.ambientColour, 0x010203);
  EXPECT_EQ(glass.diffuseColour, 0x040506);
}

TEST(SceneReaderMaterials, AreOpaqueUnlessTheFileGivesATransparency) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Plain");
    putColour24(writer, 0xA020, 200, 100, 50);
    endChunk(writer);
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Clear");
    putPercentage(writer, 0xA050, 100);
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  ASSERT_EQ(scene->materialCount, 2);
  EXPECT_EQ(scene->materials[0]->opacity, 1.0f);
  EXPECT_EQ(scene->materials[1]->opacity, 0.0f);
}

TEST(SceneReaderMaterials, StoreMapNamesAndEmptyTheOneMarked04) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Mapped");
    for (uint16_t block : std::vector<uint16_t>{0xA210, 0xA230}) {
      beginChunk(writer, block);
      putPercentage(writer, 0xA084, 50);  // wrapped so only its value chunk counts
      beginChunk(writer, 0xA300);
      putName(writer, block == 0xA210 ? "\x04mask.tif" : "bump.tif");
      endChunk(writer);
      endChunk(writer);
    }
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  const Material& mapped = *scene->materials[0];
  EXPECT_EQ(mapped.opacityMap.fileName[0], 0);
  EXPECT_EQ(mapped.opacityMap.fileName[1], 0);
  EXPECT_STREQ(mapped.bumpMap.fileName, "bump.tif");
  EXPECT_EQ(mapped.bumpMap.strength, 0.0f);  // the self-illumination block took the 50
  EXPECT_EQ(mapped.selfIllumination, 0.5f);
}

TEST(SceneReaderMaterials, BindMeshesToTheFirstExactNameReadSoFar) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Stone");
    endChunk(writer);
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "stone");
    endChunk(writer);
    beginNamedObject(writer, "A");
    putSquare(writer);
    putFaceMaterial(writer, "stone", {0, 1});  // 18 bytes: shorter than a 64-byte name
    putMappingCoordinates(writer, {1, 2});    // so this shows the walk stayed in step
    endChunk(writer);
    beginNamedObject(writer, "B");
    putSquare(writer);
    putFaceMaterial(writer, "Stone", std::vector<uint16_t>(40, 0));  // longer than 70 bytes
    putFaceMaterial(writer, "Wood", {0});   // not read yet: leaves the binding
    putFaceMaterial(writer, "STONE", {0});  // case differs
    endChunk(writer);
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Wood");
    endChunk(writer);
    beginNamedObject(writer, "C");
    putSquare(writer);
    putFaceMaterial(writer, "Stone", {0});
    putFaceMaterial(writer, "Wood", {0});  // a later match overwrites
    endChunk(writer);
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "Stone");
    endChunk(writer);
    beginNamedObject(writer, "D");
    putSquare(writer);
    putFaceMaterial(writer, "Stone", {0});
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  ASSERT_EQ(scene->meshCount, 4);
  EXPECT_EQ(scene->meshes[0]->materialIndex, 1);
  EXPECT_EQ(scene->meshes[0]->material, scene->materials[1]);
  ASSERT_NE(scene->meshes[0]->texCoords, nullptr);
  EXPECT_EQ(scene->meshes[0]->texCoords[0].v, 2.0f);
  EXPECT_EQ(scene->meshes[1]->materialIndex, 0);
  EXPECT_EQ(scene->meshes[2]->materialIndex, 2);
  EXPECT_EQ(scene->meshes[2]->material, scene->materials[2]);
  EXPECT_EQ(scene->meshes[3]->materialIndex, 0);
}

TEST(SceneReaderMappingCoordinates, AreSkippedByLengthUnlessAskedForWithOne) {
  for (uint8_t flag : std::vector<uint8_t>{0, 2, 255}) {
    ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
      putSquare(writer);
      putMappingCoordinates(writer, {0, 0, 1, 0, 1, 1, 0, 1});
      beginChunk(writer, 0x4160);
      for (int i = 0; i < 12; ++i) putF32(writer, 2.0f);
      endChunk(writer);
    }), flag);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->meshes[0]->texCoords, nullptr);
    EXPECT_EQ(scene->meshes[0]->matrix[0], 2.0f);
  }
}

TEST(SceneReaderFailure, GivesNullForMissingOrForeignFiles) {
  EXPECT_EQ(readScene("/nonexistent/shadow2.3DS", 1), nullptr);
  EXPECT_EQ(readScene(::testing::TempDir().c_str(), 1), nullptr);  // a directory
  EXPECT_EQ(readScene("/dev/zero", 1), nullptr);  // would never end
  std::string pipe = ::testing::TempDir() + "scene_reader_pipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(readScene(pipe.c_str(), 1), nullptr);  // would block with no writer
  std::remove(pipe.c_str());
  ChunkWriter foreign;
  beginChunk(foreign, 0x3D3D);
  putSquare(foreign);
  endChunk(foreign);
  EXPECT_EQ(readSceneBytes(foreign.bytes), nullptr);
  EXPECT_EQ(readSceneBytes({0x4D, 0x4D, 6, 0, 0}), nullptr);  // shorter than a header
  EXPECT_EQ(readSceneBytes({}), nullptr);

  ScenePointer empty = readSceneBytes({0x4D, 0x4D, 6, 0, 0, 0});
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->meshCount, 0);
  EXPECT_EQ(empty->materialCount, 0);
}

// What follows the main chunk is not the scene's; a main chunk length too short
// for its own header says nothing, and the walk then runs to the end of the file.
TEST(SceneReaderFailure, EndsTheWalkAtTheEndOfTheMainChunk) {
  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  beginChunk(writer, 0x3D3D);
  putSquare(writer);
  endChunk(writer);
  endChunk(writer);
  beginChunk(writer, 0x3D3D);
  putSquare(writer);
  endChunk(writer);
  ScenePointer scene = readSceneBytes(writer.bytes);
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->meshCount, 1);

  std::vector<uint8_t> unsized = writer.bytes;
  std::fill(unsized.begin() + 2, unsized.begin() + 6, 0);
  ScenePointer walkedToTheEnd = readSceneBytes(unsized);
  ASSERT_NE(walkedToTheEnd, nullptr);
  EXPECT_EQ(walkedToTheEnd->meshCount, 2);
}

TEST(SceneReaderHostile, CutsLongNamesAndStillConsumesThem) {
  std::string longName(100, 'n');
  ScenePointer scene = readSceneBytes(editorFile([&](ChunkWriter& writer) {
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, longName);
    beginChunk(writer, 0xA200);
    beginChunk(writer, 0xA300);
    putName(writer, std::string(80, 'm'));
    endChunk(writer);
    endChunk(writer);
    endChunk(writer);
    beginNamedObject(writer, longName);
    putSquare(writer);
    putFaceMaterial(writer, longName, {0, 1});
    endChunk(writer);
  }));
  ASSERT_NE(scene, nullptr);
  expectUsable(*scene);
  const std::string kept(nameSize - 1, 'n');
  EXPECT_EQ(scene->materials[0]->name, kept);
  EXPECT_EQ(scene->materials[0]->textureMap.fileName, std::string(nameSize - 1, 'm'));
  ASSERT_EQ(scene->meshCount, 1);
  EXPECT_EQ(scene->meshes[0]->name, kept);
  EXPECT_EQ(scene->meshes[0]->faceCount, 2);
  EXPECT_EQ(scene->meshes[0]->materialIndex, 0);
}

TEST(SceneReaderHostile, StopsNamesAtTheEndOfTheFile) {
  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  beginChunk(writer, 0xA000);
  for (int i = 0; i < 70; ++i) putU8(writer, 'x');
  ScenePointer scene = readSceneBytes(writer.bytes);
  ASSERT_NE(scene, nullptr);
  ASSERT_EQ(scene->materialCount, 1);
  EXPECT_EQ(scene->materials[0]->name, std::string(nameSize - 1, 'x'));
}

TEST(SceneReaderHostile, DropsRecordsPastTheTablesAndWhatFollowsThem) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    for (int i = 0; i < meshCapacity + 6; ++i) {
      putVertexList(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
      beginFaceList(writer, i < meshCapacity ? std::vector<uint16_t>{0, 1, 2} : std::vector<uint16_t>{1, 2, 3, 0, 2, 3});
      endChunk(writer);
    }
    for (int i = 0; i < materialCapacity + 6; ++i) {
      beginChunk(writer, 0xAFFF);
      putMaterialName(writer, "M" + std::to_string(i));
      putColour24(writer, 0xA020, 0, 0, static_cast<uint8_t>(i));
      endChunk(writer);
    }
    putVertexList(writer, {1, 1, 1});
    putFaceMaterial(writer, "M1", {0});
  }));
  ASSERT_NE(scene, nullptr);
  expectUsable(*scene);
  ASSERT_EQ(scene->meshCount, meshCapacity);
  ASSERT_EQ(scene->materialCount, materialCapacity);
  const Mesh& last = *scene->meshes[meshCapacity - 1];
  ASSERT_EQ(last.faceCount, 1);
  EXPECT_EQ(last.faces[0].corner[0], 0);
  EXPECT_EQ(last.materialIndex, -1);
  EXPECT_EQ(scene->faceTotal, meshCapacity);
  EXPECT_EQ(scene->materials[materialCapacity - 1]->diffuseColour, materialCapacity - 1);
}

TEST(SceneReaderHostile, ReadsCountsAsUnsignedAndCutsThemToTheFile) {
  std::vector<float> xyz(3 * 40000, 0.0f);
  xyz[3 * 39999] = 7.0f;
  ScenePointer big = readSceneBytes(editorFile([&](ChunkWriter& writer) {
    putVertexList(writer, xyz);
    beginFaceList(writer, {39999, 0, 1});
    endChunk(writer);
  }));
  ASSERT_NE(big, nullptr);
  ASSERT_EQ(big->meshes[0]->vertexCount, 40000);
  ASSERT_EQ(big->meshes[0]->faceCount, 1);
  EXPECT_EQ(big->meshes[0]->vertices[big->meshes[0]->faces[0].corner[0]].x, 7.0f);

  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  putHeader(writer, 0x4110, 0);
  putU16(writer, 0xFFFF);
  for (int i = 0; i < 7; ++i) putF32(writer, 1.0f);  // two whole vertices and a part
  ScenePointer cut = readSceneBytes(writer.bytes);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->meshes[0]->vertexCount, 2);
  EXPECT_EQ(cut->vertexTotal, 2);

  for (uint16_t id : std::vector<uint16_t>{0x4120, 0x4140}) {
    ChunkWriter list;
    beginChunk(list, 0x4D4D);
    putVertexList(list, {0, 0, 0, 1, 0, 0, 1, 1, 0});
    putHeader(list, id, 0);
    putU16(list, 0x8001);
    for (int i = 0; i < 4; ++i) putU16(list, static_cast<uint16_t>(i));
    ScenePointer scene = readSceneBytes(list.bytes);
    ASSERT_NE(scene, nullptr);
    expectUsable(*scene);
    EXPECT_EQ(scene->meshes[0]->faceCount, id == 0x4120 ? 1 : 0);
    EXPECT_EQ(scene->meshes[0]->texCoords != nullptr, id == 0x4140);
  }
}

TEST(SceneReaderHostile, ConsumesChunksThatComeBeforeTheirRecord) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    beginFaceList(writer, {0, 1, 2});
    putFaceMaterial(writer, "M", {0});
    endChunk(writer);
    putMappingCoordinates(writer, {0, 0, 1, 1});
    beginChunk(writer, 0x4160);
    for (int i = 0; i < 12; ++i) putF32(writer, 3.0f);
    endChunk(writer);
    putColour24(writer, 0xA020, 9, 9, 9);
    putPercentage(writer, 0xA050, 40);
    beginChunk(writer, 0xA200);
    beginChunk(writer, 0xA300);
    putName(writer, "early.tif");
    endChunk(writer);
    endChunk(writer);
    beginChunk(writer, 0xAFFF);
    putMaterialName(writer, "M");
    endChunk(writer);
    putSquare(writer);
  }));
  ASSERT_NE(scene, nullptr);
  ASSERT_EQ(scene->meshCount, 1);
  EXPECT_EQ(scene->meshes[0]->faceCount, 2);
  EXPECT_EQ(scene->meshes[0]->matrix[0], 1.0f);
  EXPECT_EQ(scene->meshes[0]->materialIndex, -1);
  ASSERT_EQ(scene->materialCount, 1);
  EXPECT_EQ(scene->materials[0]->diffuseColour, 0);
  EXPECT_EQ(scene->materials[0]->opacity, 1.0f);
  EXPECT_EQ(scene->materials[0]->textureMap.fileName[0], 0);
}

TEST(SceneReaderHostile, EndsTheWalkAtLengthsShorterThanAHeaderOrPastTheEnd) {
  for (uint32_t length : {0u, 5u}) {
    for (uint16_t id : std::vector<uint16_t>{0x0002, 0x4130}) {
      ScenePointer scene = readSceneBytes(editorFile([&](ChunkWriter& writer) {
        putSquare(writer);
        putHeader(writer, id, length);
        putSquare(writer);
      }));
      ASSERT_NE(scene, nullptr);
      EXPECT_EQ(scene->meshCount, 1) << id << " " << length;
    }
  }
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    putSquare(writer);
    putHeader(writer, 0xB000, 0xFFFFFFFF);
    putSquare(writer);
  }));
  ASSERT_NE(scene, nullptr);
  EXPECT_EQ(scene->meshCount, 1);
}

TEST(SceneReaderHostile, DropsFacesOutsideTheMeshAndFillsMissingMappingCoordinates) {
  ScenePointer scene = readSceneBytes(editorFile([](ChunkWriter& writer) {
    putVertexList(writer, {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
    beginFaceList(writer, {0, 1, 2, 0, 1, 4, 1, 2, 3, 0xFFFF, 0, 1, 3, 2, 1});
    endChunk(writer);
    putMappingCoordinates(writer, {0.5f, 0.5f, 0.25f, 0.75f});
    beginFaceList(writer, {0, 1, 2, 0, 1, 4, 1, 2, 3, 0xFFFF, 0, 1, 3, 2, 1});  // replaces the first
    endChunk(writer);
    putVertexList(writer, {0, 0, 0});
    putMappingCoordinates(writer, {});
  }));
  ASSERT_NE(scene, nullptr);
  expectUsable(*scene);
  const Mesh& mesh = *scene->meshes[0];
  ASSERT_EQ(mesh.faceCount, 3);
  const int32_t kept[3][3] = {{0, 1, 2}, {1, 2, 3}, {3, 2, 1}};
  for (int f = 0; f < 3; ++f) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(mesh.faces[f].corner[c], kept[f][c]);
  }
  EXPECT_EQ(scene->faceTotal, 3);
  EXPECT_EQ(mesh.texCoords[1].v, 0.75f);
  EXPECT_EQ(mesh.texCoords[3].u, 0.0f);
  EXPECT_EQ(mesh.texCoords[3].v, 0.0f);
  ASSERT_NE(scene->meshes[1]->texCoords, nullptr);
  EXPECT_EQ(scene->meshes[1]->texCoords[0].u, 0.0f);
}

// Every prefix of every file stands for a file cut short in the middle of something.
TEST(SceneReaderHostile, ReadsEveryCutOfEveryFixtureSafely) {
  std::vector<std::vector<uint8_t>> files = {exportedScene()};
  for (const char* name : {"scene_crate.3ds", "scene_crate_lib3ds.3ds", "scene_floor_and_pyramid.3ds",
                           "scene_floor_and_pyramid_lib3ds.3ds"}) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(loadFile((std::string(FIXTURE_DIR) + "/" + name).c_str(), bytes)) << name;
    files.push_back(bytes);
  }
  for (const std::vector<uint8_t>& file : files) {
    for (size_t length = 0; length <= file.size(); ++length) {
      ScenePointer scene = readSceneBytes(std::vector<uint8_t>(file.begin(), file.begin() + length));
      if (length < 6) {
        EXPECT_EQ(scene, nullptr);
        continue;
      }
      ASSERT_NE(scene, nullptr) << length;
      expectUsable(*scene);
      if (::testing::Test::HasFatalFailure()) FAIL() << "cut at " << length;
    }
  }
}

}  // namespace

namespace {

void expectSameScene(const Scene& read, const Scene& expected) {
  ASSERT_EQ(read.meshCount, expected.meshCount);
  ASSERT_EQ(read.materialCount, expected.materialCount);
  EXPECT_EQ(read.vertexTotal, expected.vertexTotal);
  EXPECT_EQ(read.faceTotal, expected.faceTotal);
  for (int32_t m = 0; m < read.meshCount; ++m) {
    const Mesh& a = *read.meshes[m];
    const Mesh& b = *expected.meshes[m];
    EXPECT_STREQ(a.name, b.name);
    ASSERT_EQ(a.vertexCount, b.vertexCount);
    ASSERT_EQ(a.faceCount, b.faceCount);
    ASSERT_EQ(a.texCoords == nullptr, b.texCoords == nullptr);
    const size_t vertices = static_cast<size_t>(a.vertexCount);
    EXPECT_EQ(std::memcmp(a.vertices, b.vertices, vertices * sizeof(Vec3)), 0);
    EXPECT_EQ(std::memcmp(a.faces, b.faces, static_cast<size_t>(a.faceCount) * sizeof(Face)), 0);
    if (a.texCoords != nullptr) {
      EXPECT_EQ(std::memcmp(a.texCoords, b.texCoords, vertices * sizeof(TexCoord)), 0);
    }
    EXPECT_EQ(std::memcmp(a.matrix, b.matrix, sizeof a.matrix), 0);
    EXPECT_EQ(a.materialIndex, b.materialIndex);
  }
  for (int32_t m = 0; m < read.materialCount; ++m) {
    EXPECT_EQ(std::memcmp(read.materials[m], expected.materials[m], sizeof(Material)), 0) << m;
  }
}

}  // namespace

// The bundled scene followed by a hole to 3 GB: the file's structure reaches no
// further than the scene, so neither the scene nor the memory taken may change.
TEST(SceneReaderLargeFiles, ReadOnlyWhatTheMainChunkReaches) {
  std::vector<uint8_t> bundled;
  ASSERT_TRUE(loadFile(DATA_DIR "/shadow2.3DS", bundled));
  const std::string path = scratchPath();
  ASSERT_TRUE(writeSparseFile(path, {{0, bundled}}, uint64_t{3} << 30));
  const long before = peakResidentKilobytes();
  ScenePointer large(readScene(path.c_str(), 1), releaseScene);
  const long growth = peakResidentKilobytes() - before;
  std::remove(path.c_str());

  ScenePointer alone(readScene(DATA_DIR "/shadow2.3DS", 1), releaseScene);
  ASSERT_NE(large, nullptr);
  ASSERT_NE(alone, nullptr);
  expectSameScene(*large, *alone);
  EXPECT_LT(growth, 64 * 1024) << "kilobytes of peak memory for a 3 GB file";
}

// A mesh behind a passed-over chunk of 2.5 GB: offsets past 2^31 are reached by
// seeking, not by reading what lies between.
TEST(SceneReaderLargeFiles, FindChunksPastTwoGigabytes) {
  constexpr uint32_t holeLength = 0xA0000000u;
  ChunkWriter tail;
  beginNamedObject(tail, "Far");
  putSquare(tail);
  endChunk(tail);
  const uint64_t tailAt = 6 + 6 + uint64_t{holeLength};
  const uint64_t size = tailAt + tail.bytes.size();
  ChunkWriter head;
  putHeader(head, 0x4D4D, static_cast<uint32_t>(size));
  putHeader(head, 0x3D3D, static_cast<uint32_t>(size - 6));
  putHeader(head, 0x1100, holeLength);  // a background colour, passed over
  const std::string path = scratchPath();
  ASSERT_TRUE(writeSparseFile(path, {{0, head.bytes}, {tailAt, tail.bytes}}, size));
  const long before = peakResidentKilobytes();
  ScenePointer scene(readScene(path.c_str(), 1), releaseScene);
  const long growth = peakResidentKilobytes() - before;
  std::remove(path.c_str());

  ASSERT_NE(scene, nullptr);
  ASSERT_EQ(scene->meshCount, 1);
  EXPECT_STREQ(scene->meshes[0]->name, "Far");
  EXPECT_EQ(scene->meshes[0]->faceCount, 2);
  EXPECT_LT(growth, 64 * 1024) << "kilobytes of peak memory for a 2.5 GB chunk";
}
