// Files of gigabytes that cost no disk, for the readers' large-file tests:
// pieces of bytes at chosen offsets and holes everywhere else. And the
// process's peak memory, to show that a reader does not grow with its file.
// One implementation per system: this folder for POSIX, tests/windows/ for Windows.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using FilePiece = std::pair<uint64_t, std::vector<uint8_t>>;  // offset and bytes

// Writes the pieces and sets the file's size; false when that fails.
bool writeSparseFile(const std::string& path, const std::vector<FilePiece>& pieces, uint64_t size);

// The most memory the process has held so far, in kilobytes (ru_maxrss).
long peakResidentKilobytes();
