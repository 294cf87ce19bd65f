// The few POSIX calls the shared reader tests make that Windows lacks, given
// to the Windows test build by forced inclusion (never to the programs).
// Windows has no named pipes in the file system: mkfifo makes an empty file
// instead, which the readers must refuse just as they refuse a pipe.
#pragma once

#include <sys/stat.h>

#include <cstdio>

inline int mkfifo(const char* path, int) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return -1;
  std::fclose(file);
  return 0;
}
