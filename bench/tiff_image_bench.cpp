// Reading the bundled texture (data/txt.tif, or the file named as the first
// argument) with TiffImage and with libtiff's strip decoding, each from the
// file on disk to decoded pixels; prints the ratio of their times at the end.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "assets/tiff_image.h"

namespace {

std::string texturePath = DATA_DIR "/txt.tif";

void readWithTiffImage(benchmark::State& state) {
  int64_t bytes = 0;
  for (auto _ : state) {
    auto image = std::make_unique<TiffImage>();
    if (!image->read(texturePath.c_str()) || image->pixels == nullptr) {
      state.SkipWithError("TiffImage cannot read the texture");
      break;
    }
    benchmark::DoNotOptimize(image->pixels[image->pixelBytes - 1]);
    bytes += image->pixelBytes;
  }
  state.SetBytesProcessed(bytes);
}

void readWithLibtiff(benchmark::State& state) {
  TIFFSetWarningHandler(nullptr);
  int64_t bytes = 0;
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(texturePath.c_str(), "r");
    if (tif == nullptr) {
      state.SkipWithError("libtiff cannot open the texture");
      break;
    }
    // Sized as TiffImage sizes its pixels: one allocation for the image.
    std::vector<uint8_t> pixels(static_cast<size_t>(TIFFStripSize(tif)) *
                                TIFFNumberOfStrips(tif));
    size_t at = 0;
    for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
      tmsize_t got = TIFFReadEncodedStrip(tif, s, pixels.data() + at, -1);
      if (got > 0) at += static_cast<size_t>(got);
    }
    TIFFClose(tif);
    benchmark::DoNotOptimize(pixels.data());
    bytes += static_cast<int64_t>(at);
  }
  state.SetBytesProcessed(bytes);
}

BENCHMARK(readWithTiffImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(readWithLibtiff)->Unit(benchmark::kMicrosecond);

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions the median stands for the benchmark.
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median)
        times[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc > 1) texturePath = argv[1];
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto ours = reporter.times.find("readWithTiffImage");
  auto theirs = reporter.times.find("readWithLibtiff");
  if (ours != reporter.times.end() && theirs != reporter.times.end() && theirs->second > 0)
    std::printf("%s: TiffImage takes %.2f times libtiff's time\n", texturePath.c_str(),
                ours->second / theirs->second);
  benchmark::Shutdown();
  return 0;
}
