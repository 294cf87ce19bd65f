// Sparse files and peak memory for the Windows test build (see
// support/sparse_file.h): the file is marked sparse before it is sized, so
// its holes cost no disk on NTFS either, and the peak is the process's peak
// working set.
#include "support/sparse_file.h"

#include <windows.h>
#include <psapi.h>
#include <winioctl.h>

namespace {

bool writeAt(HANDLE file, uint64_t offset, const std::vector<uint8_t>& bytes) {
  OVERLAPPED where{};
  where.Offset = static_cast<DWORD>(offset);
  where.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &where) &&
         written == bytes.size();
}

}  // namespace

bool writeSparseFile(const std::string& path, const std::vector<FilePiece>& pieces, uint64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD returned = 0;
  // Not every file system has sparse files; without, the holes are zeros on disk.
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  for (const FilePiece& piece : pieces) ok = ok && writeAt(file, piece.first, piece.second);
  return CloseHandle(file) && ok;
}

long peakResidentKilobytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return static_cast<long>(counters.PeakWorkingSetSize / 1024);
}
