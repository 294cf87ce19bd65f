// libFuzzer target for the TIFF texture reader. Each input is written to a file
// of this process's own and read by TiffImage::read through the file system, as
// the program reads its texture. The reader's promises about its outcome are
// then checked, among them that the pixel buffer is exactly as large as the
// texture upload will read; a broken promise aborts like a crash. The refusal
// message for files without the "II" mark goes to standard output, which the
// fuzz script closes.
#include <sanitizer/allocator_interface.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "assets/tiff_image.h"
#include "fuzz/input_file.h"

namespace {

void require(bool promise, const char* what) { fuzz::require("tiff_image_fuzz", promise, what); }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::chooseInputFile("tiff_image_fuzz", ".tif");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::writeInputFile(data, size);

  TiffImage image;
  bool ok = image.read(fuzz::inputPath().c_str());
  if (size < 2 || data[0] != 'I' || data[1] != 'I') require(!ok, "a file without \"II\" fails");
  if (!ok || image.pixels == nullptr) {
    require(image.pixels == nullptr && image.pixelBytes == 0, "no image means no pixels");
    require(!image.declined.empty(), "no image comes with its reason");
    return 0;
  }
  require(image.declined.empty(), "an image is not declined");
  int64_t expected = static_cast<int64_t>(image.width) * image.height * image.samplesPerPixel;
  require(image.width > 0 && image.height > 0, "an image has a size");
  require(image.samplesPerPixel == 3 || image.samplesPerPixel == 4, "3 or 4 samples per pixel");
  require(image.pixelBytes == expected, "pixelBytes is width x height x samples");
  // LZW at its most productive yields 4096 bytes per 9-bit code, more than
  // PackBits or Deflate can, and a pixel of one bit becomes three bytes; an
  // image that no file of this size could fill must have been refused.
  constexpr uint64_t mostPerPlainByte = 24;
  require(static_cast<uint64_t>(image.pixelBytes) <=
              (static_cast<uint64_t>(size) * 8 / 9 + 1) * 4096 * mostPerPlainByte,
          "the image is no larger than the file could fill");
  if (image.compression == 1) {
    require(static_cast<uint64_t>(image.pixelBytes) <= size * mostPerPlainByte,
            "an uncompressed image fits in its file");
  }
  // What the texture upload reads must be exactly what was allocated.
  require(__sanitizer_get_allocated_size(image.pixels) == static_cast<size_t>(image.pixelBytes),
          "pixels hold pixelBytes bytes");
  return 0;
}
