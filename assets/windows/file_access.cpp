// File access on Windows (see file_access.h), through the C runtime's
// low-level I/O with 64-bit offsets. Opening a file does not wait there;
// what is not a regular file (a console, a device, a pipe) is refused.
#include "assets/file_access.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

struct InputFile {
  int descriptor;
  uint64_t size;
  bool failed;
};

InputFile* openInputFile(const char* path) {
  if (path == nullptr) return nullptr;
  int descriptor = _open(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (descriptor < 0) return nullptr;
  struct _stati64 status;
  if (_fstati64(descriptor, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG ||
      status.st_size < 0) {
    _close(descriptor);
    return nullptr;
  }
  return new InputFile{descriptor, static_cast<uint64_t>(status.st_size), false};
}

void closeInputFile(InputFile* file) {
  if (file == nullptr) return;
  _close(file->descriptor);
  delete file;
}

uint64_t inputFileSize(const InputFile* file) { return file->size; }

size_t readInputFile(InputFile* file, uint64_t offset, void* destination, size_t count) {
  if (count == 0) return 0;
  if (_lseeki64(file->descriptor, static_cast<__int64>(offset), SEEK_SET) < 0) {
    file->failed = true;
    return 0;
  }
  char* to = static_cast<char*>(destination);
  size_t done = 0;
  while (done < count) {
    // _read takes an unsigned int count.
    size_t wanted = count - done;
    if (wanted > (size_t{1} << 30)) wanted = size_t{1} << 30;
    int got = _read(file->descriptor, to + done, static_cast<unsigned int>(wanted));
    if (got < 0) file->failed = true;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

bool inputFileFailed(const InputFile* file) { return file->failed; }
