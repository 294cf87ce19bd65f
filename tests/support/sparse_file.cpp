// Sparse files and peak memory (see sparse_file.h).
#include "support/sparse_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

bool writeSparseFile(const std::string& path, const std::vector<FilePiece>& pieces, uint64_t size) {
  int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (descriptor < 0) return false;
  bool ok = ftruncate(descriptor, static_cast<off_t>(size)) == 0;
  for (const FilePiece& piece : pieces) {
    ok = ok && pwrite(descriptor, piece.second.data(), piece.second.size(),
                      static_cast<off_t>(piece.first)) == static_cast<ssize_t>(piece.second.size());
  }
  return close(descriptor) == 0 && ok;
}

long peakResidentKilobytes() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}
