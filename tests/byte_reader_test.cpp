// The bounded reader over an open file against the same reader over the same
// bytes in memory, the simple one: random runs of reads, skips and seeks of
// every size, across the edges of the file reader's window, and past the end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "assets/byte_reader.h"
#include "assets/file_access.h"
#include "support/chunk_writer.h"

TEST(ByteReaderOverAFile, ReadsWhatTheReaderOverMemoryReads) {
  std::mt19937 random(21);
  std::vector<uint8_t> bytes(300000);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  const std::string path = ::testing::TempDir() + "byte_reader_test_" + std::to_string(getpid());
  ASSERT_TRUE(writeBytesToFile(path, bytes));
  InputFile* file = openInputFile(path.c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(inputFileSize(file), bytes.size());

  for (uint64_t end : {uint64_t{300000}, uint64_t{200001}, uint64_t{1} << 40}) {
    ByteReader memory = makeByteReader(bytes);
    limitReader(memory, end);
    ByteReader onDisk = makeFileReader(file, end);
    // A second reader over the same file, read by turns with the first.
    ByteReader memorySibling = makeSiblingReader(memory);
    ByteReader sibling = makeSiblingReader(onDisk);
    for (int step = 0; step < 4000; ++step) {
      // Small reads mostly, some larger than the window, and jumps anywhere.
      size_t count = random() % 8 == 0 ? random() % 150000 : random() % 70;
      switch (random() % 6) {
        case 0: {
          std::vector<uint8_t> a(count, 0xEE), b(count, 0xEE);
          ASSERT_EQ(readBytes(memory, a.data(), count), readBytes(onDisk, b.data(), count));
          ASSERT_EQ(a, b) << step;
          break;
        }
        case 1:
          ASSERT_EQ(readU32(memory), readU32(onDisk)) << step;
          break;
        case 2:
          ASSERT_EQ(readU8(memory), readU8(onDisk)) << step;
          break;
        case 3:
          skipBytes(memory, count);
          skipBytes(onDisk, count);
          break;
        default: {
          uint64_t offset = random() % 320000;
          seekTo(memory, offset);
          seekTo(onDisk, offset);
          seekTo(memorySibling, offset / 2);
          seekTo(sibling, offset / 2);
          ASSERT_EQ(readU32(memorySibling), readU32(sibling)) << step;
          break;
        }
      }
      ASSERT_EQ(memory.position, onDisk.position) << step;
      ASSERT_EQ(bytesLeft(memory), bytesLeft(onDisk)) << step;
      ASSERT_EQ(memory.overrun, onDisk.overrun) << step;
    }
  }
  EXPECT_FALSE(inputFileFailed(file));
  closeInputFile(file);
  std::remove(path.c_str());
}
