// Opening a file for the readers, and reading from it at any offset. Only
// regular files are opened, and opening never waits: a FIFO, a device or a
// folder is refused without blocking. Offsets past 4 GB work. Each system
// has its implementation in a file of its own (posix/, windows/), which the
// build picks. Nothing is written, and nothing is read but what is asked for.
#pragma once

#include <cstddef>
#include <cstdint>

struct InputFile;  // the system's handle, the size found at opening, and whether a read failed

// Null when the path does not name a regular file that can be opened for reading.
InputFile* openInputFile(const char* path);
void closeInputFile(InputFile* file);

// The size the file had when it was opened.
uint64_t inputFileSize(const InputFile* file);

// Reads up to count bytes from offset into destination and returns how many
// arrived: fewer at the end of the file, and fewer, with the failure kept,
// when the system reports an error.
size_t readInputFile(InputFile* file, uint64_t offset, void* destination, size_t count);

// True once any read has failed for a reason other than the end of the file.
bool inputFileFailed(const InputFile* file);
