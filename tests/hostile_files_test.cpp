// The hostile-file corpus in tests/fixtures/hostile: every file its manifest
// lists is read by the real reader through the file system and must give the
// stated outcome, with every array the outcome promises read in full so that
// the sanitizers see any overrun; and the committed files and manifest must be
// exactly what tests/support/hostile_files.cpp writes. Run the test with
// REWRITE_HOSTILE_FILES=1 to write them after changing the generator.
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assets/byte_reader.h"
#include "assets/scene_reader.h"
#include "assets/tiff_image.h"
#include "support/chunk_writer.h"
#include "support/hostile_files.h"

namespace {

const std::string hostileFolder = FIXTURE_DIR "/hostile";
const std::string manifestName = "outcomes.txt";

struct ManifestLine {
  int number;
  std::string file;
  std::string reader;
  std::vector<std::string> outcome;  // the outcome's words
};

std::vector<ManifestLine> readManifest() {
  std::vector<ManifestLine> lines;
  std::vector<uint8_t> bytes;
  if (!loadFile((hostileFolder + "/" + manifestName).c_str(), bytes)) {
    ADD_FAILURE() << "cannot read " << hostileFolder << "/" << manifestName;
    return lines;
  }
  std::istringstream text(std::string(bytes.begin(), bytes.end()));
  std::string line;
  for (int number = 1; std::getline(text, line); ++number) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    ManifestLine entry{number, {}, {}, {}};
    if (!(words >> entry.file)) continue;
    words >> entry.reader;
    for (std::string word; words >> word;) entry.outcome.push_back(word);
    if (entry.outcome.empty()) ADD_FAILURE() << "manifest line " << number << " states no outcome";
    lines.push_back(entry);
  }
  return lines;
}

// The key=value words after the outcome's first word, each a whole number.
std::map<std::string, long> numbersOf(const ManifestLine& line, size_t from) {
  std::map<std::string, long> numbers;
  for (size_t i = from; i < line.outcome.size(); ++i) {
    const std::string& word = line.outcome[i];
    size_t equals = word.find('=');
    if (equals == std::string::npos) {
      ADD_FAILURE() << "line " << line.number << ": expected key=value, got " << word;
      continue;
    }
    numbers[word.substr(0, equals)] = std::strtol(word.c_str() + equals + 1, nullptr, 10);
  }
  return numbers;
}

// Reads everything a later step may index, and checks the reader's promises.
void expectUsable(const Scene& scene) {
  ASSERT_GE(scene.meshCount, 0);
  ASSERT_LE(scene.meshCount, meshCapacity);
  ASSERT_GE(scene.materialCount, 0);
  ASSERT_LE(scene.materialCount, materialCapacity);
  long vertexTotal = 0;
  long faceTotal = 0;
  volatile float sum = 0.0f;
  for (int32_t m = 0; m < scene.meshCount; ++m) {
    const Mesh& mesh = *scene.meshes[m];
    EXPECT_NE(std::memchr(mesh.name, 0, nameSize), nullptr);
    vertexTotal += mesh.vertexCount;
    faceTotal += mesh.faceCount;
    for (int32_t v = 0; v < mesh.vertexCount; ++v) {
      sum = sum + mesh.vertices[v].z + (mesh.texCoords != nullptr ? mesh.texCoords[v].u : 0.0f);
    }
    for (int32_t f = 0; f < mesh.faceCount; ++f) {
      for (int32_t corner : mesh.faces[f].corner) {
        ASSERT_GE(corner, 0);
        ASSERT_LT(corner, mesh.vertexCount);
      }
    }
    if (mesh.material != nullptr) {
      ASSERT_EQ(scene.materials[mesh.materialIndex], mesh.material);
    } else {
      EXPECT_EQ(mesh.materialIndex, -1);
    }
  }
  for (int32_t m = 0; m < scene.materialCount; ++m) {
    const Material& material = *scene.materials[m];
    EXPECT_NE(std::memchr(material.name, 0, nameSize), nullptr);
    for (const MaterialMap* map : {&material.textureMap, &material.opacityMap, &material.bumpMap}) {
      EXPECT_NE(std::memchr(map->fileName, 0, nameSize), nullptr);
    }
  }
  EXPECT_EQ(scene.vertexTotal, vertexTotal);
  EXPECT_EQ(scene.faceTotal, faceTotal);
}

void checkScene(const ManifestLine& line, const std::string& path) {
  std::unique_ptr<Scene, void (*)(Scene*)> scene(readScene(path.c_str(), 1), releaseScene);
  const std::string& kind = line.outcome[0];
  if (kind == "null") {
    EXPECT_EQ(scene, nullptr);
    return;
  }
  ASSERT_EQ(kind, "scene") << "unknown scene outcome";
  ASSERT_NE(scene, nullptr);
  expectUsable(*scene);
  for (const auto& [key, value] : numbersOf(line, 1)) {
    if (key == "meshes") {
      EXPECT_EQ(scene->meshCount, value) << key;
    } else if (key == "materials") {
      EXPECT_EQ(scene->materialCount, value) << key;
    } else if (key.back() == '0') {
      ASSERT_GT(scene->meshCount, 0) << key;
      const Mesh& mesh = *scene->meshes[0];
      if (key == "vertices0") {
        EXPECT_EQ(mesh.vertexCount, value) << key;
      } else if (key == "faces0") {
        EXPECT_EQ(mesh.faceCount, value) << key;
      } else if (key == "material0") {
        EXPECT_EQ(mesh.materialIndex, value) << key;
      } else {
        ADD_FAILURE() << "unknown key " << key;
      }
    } else {
      ADD_FAILURE() << "unknown key " << key;
    }
  }
}

void checkTiff(const ManifestLine& line, const std::string& path) {
  auto image = std::make_unique<TiffImage>();
  testing::internal::CaptureStdout();  // the refusal message of files without "II"
  bool ok = image->read(path.c_str());
  testing::internal::GetCapturedStdout();
  const std::string& kind = line.outcome[0];
  if (kind == "false" || kind == "declined") {
    std::string why;
    for (size_t i = 1; i < line.outcome.size(); ++i) why += (i > 1 ? " " : "") + line.outcome[i];
    EXPECT_EQ(ok, kind == "declined");
    EXPECT_EQ(image->pixels, nullptr);
    EXPECT_EQ(image->pixelBytes, 0);
    EXPECT_EQ(image->declined, why);
    return;
  }
  EXPECT_TRUE(ok);
  EXPECT_EQ(image->declined, "");
  ASSERT_EQ(kind, "image") << "unknown TIFF outcome";
  ASSERT_GE(line.outcome.size(), 2u);
  std::ostringstream shape;
  shape << image->width << "x" << image->height << "x" << image->samplesPerPixel;
  EXPECT_EQ(shape.str(), line.outcome[1]);
  ASSERT_NE(image->pixels, nullptr);
  std::vector<uint8_t> pixels(image->pixels, image->pixels + image->pixelBytes);
  for (size_t i = 2; i < line.outcome.size(); ++i) {
    const std::string& word = line.outcome[i];
    if (word.rfind("pixelBytes=", 0) == 0) {
      EXPECT_EQ(std::to_string(image->pixelBytes), word.substr(11));
    } else if (word.rfind("pixels=", 0) == 0) {
      std::vector<uint8_t> expected;
      ASSERT_TRUE(parsePixelRuns(word.substr(7), expected)) << word;
      EXPECT_TRUE(pixels == expected) << "the pixels differ from " << word.substr(0, 80);
    } else {
      ADD_FAILURE() << "unknown key " << word;
    }
  }
}

std::set<std::string> filesInFolder(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* listing = opendir(folder.c_str())) {
    while (dirent* item = readdir(listing)) {
      if (item->d_name[0] != '.') names.insert(item->d_name);
    }
    closedir(listing);
  }
  return names;
}

TEST(HostileFiles, AreWhatTheGeneratorWritesAndAllListed) {
  std::vector<HostileFile> files = makeHostileFiles();
  std::string manifest = hostileManifest(files);
  if (std::getenv("REWRITE_HOSTILE_FILES") != nullptr) {
    for (const HostileFile& file : files) {
      ASSERT_TRUE(writeBytesToFile(hostileFolder + "/" + file.name, file.bytes)) << file.name;
    }
    ASSERT_TRUE(writeBytesToFile(hostileFolder + "/" + manifestName,
                                 std::vector<uint8_t>(manifest.begin(), manifest.end())));
  }
  const std::string rewrite = "; run hostile_files_test with REWRITE_HOSTILE_FILES=1";
  std::set<std::string> expected = {manifestName};
  for (const HostileFile& file : files) {
    EXPECT_TRUE(expected.insert(file.name).second) << file.name << " is made twice";
    std::vector<uint8_t> committed;
    EXPECT_TRUE(loadFile((hostileFolder + "/" + file.name).c_str(), committed) && committed == file.bytes)
        << file.name << " is missing or out of date" << rewrite;
  }
  std::vector<uint8_t> committed;
  ASSERT_TRUE(loadFile((hostileFolder + "/" + manifestName).c_str(), committed));
  std::istringstream was(std::string(committed.begin(), committed.end()));
  std::istringstream is(manifest);
  std::string wasLine;
  std::string isLine;
  for (int number = 1; std::getline(is, isLine); ++number) {
    if (!std::getline(was, wasLine) || wasLine != isLine) {
      ADD_FAILURE() << manifestName << " is out of date from line " << number << ", which should be\n"
                    << isLine << rewrite;
      break;
    }
  }
  EXPECT_FALSE(std::getline(was, wasLine)) << manifestName << " has lines past the end" << rewrite;
  EXPECT_EQ(filesInFolder(hostileFolder), expected) << "files in the folder that nothing writes";
}

TEST(HostileFiles, GiveTheOutcomeTheirManifestStates) {
  std::vector<ManifestLine> lines = readManifest();
  std::set<std::string> readers;
  for (const ManifestLine& line : lines) {
    SCOPED_TRACE(line.file + " (manifest line " + std::to_string(line.number) + ")");
    readers.insert(line.reader);
    const std::string path = hostileFolder + "/" + line.file;
    if (line.reader == "readScene") {
      checkScene(line, path);
    } else if (line.reader == "TiffImage") {
      checkTiff(line, path);
    } else {
      ADD_FAILURE() << "unknown reader " << line.reader;
    }
  }
  EXPECT_EQ(readers, (std::set<std::string>{"readScene", "TiffImage"}));
}

}  // namespace
