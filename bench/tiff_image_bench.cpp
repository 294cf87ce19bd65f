// Times TiffImage against libtiff's strip decoding, each from the file on disk
// to decoded pixels, on four images: a 2048 x 2048 plasma written by tiffcp as
// LZW with the horizontal predictor, the same as LZW without it, the same
// uncompressed in libtiff's default strips (one row each), and the bundled
// texture. The plasma files are made on first use with ImageMagick, raw2tiff
// and tiffcp in the work folder.
//
// Other processes share the machine, so the two readers alternate round by
// round (and which goes first), each timed in process CPU time, and the
// medians are compared. Before timing, both readers' pixels are checked to be
// equal. The processor and the load average before and after the timing are
// printed with the ratios, and the highest ratio at the end. Also printed: the
// most heap our read held at once, beside the pixels and the file's bytes it
// must hold.
//
//   tiff_image_bench [rounds] [work folder]     (defaults: 21, the system's temp folder)
//   tiff_image_bench --once ours|libtiff FILE
//
// The second form reads FILE once with one reader and nothing else, for an
// instruction count that does not depend on the machine or its load; the
// count of one read, from opening the file to freeing the pixels, is that of
// the reader's timed function (*timeLibtiff* for libtiff):
//   valgrind --tool=callgrind --collect-atstart=no
//            --toggle-collect='*timeTiffImage*' tiff_image_bench --once ours FILE
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "assets/tiff_image.h"

// Heap accounting for the peak of a read: every operator new records its size
// in a header of its own. Kept out of line, so that the compiler does not
// match the header's arithmetic and free against the callers' new and delete.
namespace {
size_t heapNow = 0;
size_t heapPeak = 0;
constexpr size_t heapHeader = alignof(std::max_align_t);

[[gnu::noinline]] void* allocate(size_t size) {
  auto* block = static_cast<unsigned char*>(std::malloc(size + heapHeader));
  if (block == nullptr) return nullptr;
  *reinterpret_cast<size_t*>(block) = size;
  heapNow += size;
  heapPeak = std::max(heapPeak, heapNow);
  return block + heapHeader;
}

[[gnu::noinline]] void release(void* p) {
  if (p == nullptr) return;
  auto* block = static_cast<unsigned char*>(p) - heapHeader;
  heapNow -= *reinterpret_cast<size_t*>(block);
  std::free(block);
}
}  // namespace

void* operator new(size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, size_t) noexcept { release(p); }
void operator delete[](void* p, size_t) noexcept { release(p); }

namespace {

struct Image {
  std::string name;
  std::string path;
};

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::vector<uint8_t> readWithTiffImage(const std::string& path) {
  auto image = std::make_unique<TiffImage>();
  if (!image->read(path.c_str()) || image->pixels == nullptr) return {};
  return std::vector<uint8_t>(image->pixels, image->pixels + image->pixelBytes);
}

// What the timed rounds do: the read and nothing else. Out of line, so that
// an instruction count can be limited to it.
[[gnu::noinline]] size_t timeTiffImage(const std::string& path) {
  auto image = std::make_unique<TiffImage>();
  image->read(path.c_str());
  return image->pixels != nullptr ? image->pixels[image->pixelBytes - 1] : 0;
}

// libtiff's own strip decoding into one buffer for the image, as TiffImage holds it.
std::vector<uint8_t> readWithLibtiff(const std::string& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (tif == nullptr) return {};
  std::vector<uint8_t> pixels(static_cast<size_t>(TIFFStripSize(tif)) * TIFFNumberOfStrips(tif));
  size_t at = 0;
  for (uint32_t s = 0; s < TIFFNumberOfStrips(tif); ++s) {
    tmsize_t got = TIFFReadEncodedStrip(tif, s, pixels.data() + at, -1);
    if (got > 0) at += static_cast<size_t>(got);
  }
  TIFFClose(tif);
  pixels.resize(at);
  return pixels;
}

[[gnu::noinline]] size_t timeLibtiff(const std::string& path) {
  std::vector<uint8_t> pixels = readWithLibtiff(path);
  return pixels.empty() ? 0 : pixels.back();
}

bool run(const std::string& command) {
  std::printf("  %s\n", command.c_str());
  std::fflush(stdout);
  return std::system(command.c_str()) == 0;
}

bool makePlasma(const std::string& folder) {
  std::string raw = folder + "/plasma.rgb";
  std::string none = folder + "/plasma_none.tif";
  if (std::filesystem::exists(folder + "/plasma_lzw.tif")) return true;
  std::printf("making the plasma images:\n");
  return run("/usr/bin/convert -seed 7 -size 2048x2048 plasma:fractal -depth 8 rgb:" + raw) &&
         run("raw2tiff -M -c none -w 2048 -l 2048 -b 3 -d byte -i pixel -p rgb " + raw + " " + none) &&
         run("tiffcp -c lzw:2 " + none + " " + folder + "/plasma_lzw_pred.tif") &&
         run("tiffcp -c lzw " + none + " " + folder + "/plasma_lzw.tif");
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Enough reads in one timing that the clock's grain and the scheduler's
// slices matter little: about 50 ms.
int readsPerTiming(const std::string& path) {
  double start = cpuSeconds();
  timeTiffImage(path);
  timeLibtiff(path);
  double both = std::max(cpuSeconds() - start, 1e-4);
  return std::clamp(static_cast<int>(0.1 / both), 1, 200);
}

std::string firstLineOf(const char* path, const std::string& starting) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.rfind(starting, 0) == 0) return line;
  return "";
}

std::string processorName() {
  std::string line = firstLineOf("/proc/cpuinfo", "model name");
  size_t colon = line.find(':');
  return colon == std::string::npos ? "unknown" : line.substr(colon + 2);
}

std::string loadAverage() {
  std::string line = firstLineOf("/proc/loadavg", "");
  return line.substr(0, line.find(' ', line.find(' ', line.find(' ') + 1) + 1));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--once") {
    TIFFSetWarningHandler(nullptr);
    const std::string reader = argv[2];
    if (reader != "ours" && reader != "libtiff") {
      std::fprintf(stderr, "--once takes ours or libtiff, not %s\n", argv[2]);
      return 2;
    }
    size_t last = reader == "ours" ? timeTiffImage(argv[3]) : timeLibtiff(argv[3]);
    std::printf("%s: last byte %zu\n", argv[3], last);
    return 0;
  }
  int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  std::string folder = argc > 2 ? argv[2]
                                : (std::filesystem::temp_directory_path() / "tiff_image_bench").string();
  std::filesystem::create_directories(folder);
  TIFFSetWarningHandler(nullptr);
  if (!makePlasma(folder)) {
    std::fprintf(stderr, "cannot make the plasma images in %s\n", folder.c_str());
    return 1;
  }
  std::vector<Image> images = {
      {"plasma, LZW + predictor", folder + "/plasma_lzw_pred.tif"},
      {"plasma, LZW", folder + "/plasma_lzw.tif"},
      {"plasma, uncompressed", folder + "/plasma_none.tif"},
      {"data/txt.tif", DATA_DIR "/txt.tif"},
  };

  std::printf("\nprocessor: %s\nload average before: %s\n", processorName().c_str(),
              loadAverage().c_str());
  std::printf("\n%-26s %12s %14s %14s %9s\n", "image", "file bytes", "ours ms", "libtiff ms",
              "ours/lib");
  double highest = 0;
  std::string highestImage;
  for (const Image& image : images) {
    std::vector<uint8_t> ours = readWithTiffImage(image.path);
    std::vector<uint8_t> theirs = readWithLibtiff(image.path);
    if (ours.empty() || ours != theirs) {
      std::fprintf(stderr, "%s: our pixels differ from libtiff's\n", image.path.c_str());
      return 1;
    }
    int reads = readsPerTiming(image.path);
    std::vector<double> ourTimes, libtiffTimes;
    for (int round = 0; round < rounds; ++round) {
      for (int turn = 0; turn < 2; ++turn) {
        bool oursNow = (round + turn) % 2 == 0;
        size_t sink = 0;
        double start = cpuSeconds();
        for (int r = 0; r < reads; ++r)
          sink += oursNow ? timeTiffImage(image.path) : timeLibtiff(image.path);
        double each = (cpuSeconds() - start) / reads * 1000;
        (oursNow ? ourTimes : libtiffTimes).push_back(each);
        benchmark::DoNotOptimize(sink);
      }
    }
    double a = median(ourTimes), b = median(libtiffTimes);
    std::printf("%-26s %12llu %14.3f %14.3f %9.2f\n", image.name.c_str(),
                static_cast<unsigned long long>(std::filesystem::file_size(image.path)), a, b,
                a / b);
    if (a / b > highest) {
      highest = a / b;
      highestImage = image.name;
    }
  }
  std::printf("load average after: %s\nhighest ours/lib: %.2f (%s)\n", loadAverage().c_str(),
              highest, highestImage.c_str());

  std::printf("\nmost heap held at once by one TiffImage read (bytes):\n");
  std::printf("%-26s %12s %12s %12s %12s\n", "image", "peak", "pixels", "file", "rest");
  for (const Image& image : images) {
    heapPeak = heapNow;
    size_t before = heapNow;
    auto read = std::make_unique<TiffImage>();
    read->read(image.path.c_str());
    size_t peak = heapPeak - before;
    size_t pixels = static_cast<size_t>(read->pixelBytes);
    size_t file = static_cast<size_t>(std::filesystem::file_size(image.path));
    std::printf("%-26s %12zu %12zu %12zu %12lld\n", image.name.c_str(), peak, pixels, file,
                static_cast<long long>(peak) - static_cast<long long>(pixels + file));
  }
  return 0;
}
