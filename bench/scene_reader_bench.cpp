// Reading a 3D Studio file with our reader and with lib3ds, each from the file
// system every time, for the ratio of the two: the bundled scene, and a small
// fixture written by lib3ds so that a figure exists even before the bundled
// scene does. And the bundled scene followed by a hole to 3 GB (a sparse file
// in the temporary folder, removed at the end), which must read as fast as the
// scene alone, with the process's peak memory as a counter. Speed is measured
// here, never asserted.
#include <benchmark/benchmark.h>
#include <lib3ds/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

std::string temporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && folder[0] != 0 ? folder : "/tmp";
}

void readFollowedByAHole(benchmark::State& state) {
  const std::string path = temporaryFolder() + "/scene_reader_bench_" + std::to_string(getpid()) + ".3ds";
  std::FILE* in = std::fopen(bundledScene.c_str(), "rb");
  std::FILE* out = std::fopen(path.c_str(), "wb");
  bool ok = in != nullptr && out != nullptr;
  char block[65536];
  for (size_t got; ok && (got = std::fread(block, 1, sizeof block, in)) > 0;) {
    ok = std::fwrite(block, 1, got, out) == got;
  }
  if (in != nullptr) std::fclose(in);
  if (out != nullptr) ok = std::fclose(out) == 0 && ok;
  if (!ok || truncate(path.c_str(), off_t{3} << 30) != 0) {
    state.SkipWithError("cannot write the sparse scene");
    std::remove(path.c_str());
    return;
  }
  readWithOurReader(state, path);
  std::remove(path.c_str());
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

BENCHMARK(readFollowedByAHole)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readWithOurReader, bundledScene, bundledScene);
BENCHMARK_CAPTURE(readWithLib3ds, bundledScene, bundledScene);
BENCHMARK_CAPTURE(readWithOurReader, smallFixture, smallFixture);
BENCHMARK_CAPTURE(readWithLib3ds, smallFixture, smallFixture);

BENCHMARK_MAIN();
