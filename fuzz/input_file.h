// What both fuzz targets share: each input goes to a file of this process's
// own, so the readers meet it through the file system as the program does,
// and a broken promise about a reader's outcome aborts like a crash.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline std::string& inputPath() {
  static std::string path;
  return path;
}

inline void removeInputFile() { std::remove(inputPath().c_str()); }

// Picks the input file's name once per process: in $TMPDIR when set, else in
// /dev/shm so that nothing reaches a disk, else in /tmp.
inline void chooseInputFile(const char* target, const char* extension) {
  std::string folder = "/tmp";
  const char* fromEnvironment = std::getenv("TMPDIR");
  if (fromEnvironment != nullptr && fromEnvironment[0] != 0) {
    folder = fromEnvironment;
  } else if (access("/dev/shm", W_OK) == 0) {
    folder = "/dev/shm";
  }
  inputPath() = folder + "/" + target + "." + std::to_string(getpid()) + extension;
  std::atexit(removeInputFile);
}

inline void writeInputFile(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(inputPath().c_str(), "wb");
  if (file == nullptr) {
    std::perror(inputPath().c_str());
    std::abort();
  }
  bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) {
    std::perror(inputPath().c_str());
    std::abort();
  }
}

inline void require(const char* target, bool promise, const char* what) {
  if (promise) return;
  std::fprintf(stderr, "%s: broken promise: %s\n", target, what);
  std::abort();
}

}  // namespace fuzz
