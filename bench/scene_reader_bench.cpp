// Reading a 3D Studio file with our reader and with lib3ds, each from the file
// system every time, for the ratio of the two: the bundled scene, and a small
// fixture written by lib3ds so that a figure exists even before the bundled
// scene does. Speed is measured here, never asserted.
#include <benchmark/benchmark.h>
#include <lib3ds/file.h>

#include <string>

#include "assets/scene_reader.h"

namespace {

const std::string bundledScene = DATA_DIR "/shadow2.3DS";
const std::string smallFixture = SOURCE_DIR "/tests/fixtures/scene_floor_and_pyramid_lib3ds.3ds";

void readWithOurReader(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    Scene* scene = readScene(path.c_str(), 1);
    if (scene == nullptr) {
      state.SkipWithError((path + " cannot be read").c_str());
      break;
    }
    benchmark::DoNotOptimize(scene->meshes[0]);
    releaseScene(scene);
  }
}

void readWithLib3ds(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    Lib3dsFile* file = lib3ds_file_load(path.c_str());
    if (file == nullptr) {
      state.SkipWithError((path + " cannot be read").c_str());
      break;
    }
    benchmark::DoNotOptimize(file->meshes);
    lib3ds_file_free(file);
  }
}

}  // namespace

BENCHMARK_CAPTURE(readWithOurReader, bundledScene, bundledScene);
BENCHMARK_CAPTURE(readWithLib3ds, bundledScene, bundledScene);
BENCHMARK_CAPTURE(readWithOurReader, smallFixture, smallFixture);
BENCHMARK_CAPTURE(readWithLib3ds, smallFixture, smallFixture);

BENCHMARK_MAIN();
