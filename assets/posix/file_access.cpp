// File access on POSIX systems (see file_access.h). The file is opened with
// O_NONBLOCK and checked with fstat on the descriptor itself, so there is no
// window between looking at the path and opening it, and a FIFO without a
// writer is refused instead of waited for. Reads use pread, with 64-bit offsets.
#include "assets/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

struct InputFile {
  int descriptor;
  uint64_t size;
  bool failed;
};

InputFile* openInputFile(const char* path) {
  if (path == nullptr) return nullptr;
  int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat status;
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) {
    close(descriptor);
    return nullptr;
  }
  return new InputFile{descriptor, static_cast<uint64_t>(status.st_size), false};
}

void closeInputFile(InputFile* file) {
  if (file == nullptr) return;
  close(file->descriptor);
  delete file;
}

uint64_t inputFileSize(const InputFile* file) { return file->size; }

size_t readInputFile(InputFile* file, uint64_t offset, void* destination, size_t count) {
  char* to = static_cast<char*>(destination);
  size_t done = 0;
  while (done < count) {
    // One call reads at most about 2 GB on Linux; the loop takes the rest.
    size_t wanted = count - done;
    if (wanted > (size_t{1} << 30)) wanted = size_t{1} << 30;
    ssize_t got = pread(file->descriptor, to + done, wanted, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) file->failed = true;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

bool inputFileFailed(const InputFile* file) { return file->failed; }
