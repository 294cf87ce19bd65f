// Builds 3D Studio chunk files in memory, for tests and fuzz seeds: chunks nest
// by beginChunk/endChunk, and endChunk fills in the length. Values are written
// little-endian. It checks nothing, so it can write damaged files as readily as
// sound ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ChunkWriter {
  std::vector<uint8_t> bytes;
  std::vector<size_t> openChunks;  // offsets of the headers still waiting for a length
};

void beginChunk(ChunkWriter& writer, uint16_t id);
// Sets the length of the chunk begun last to the bytes written since its header.
void endChunk(ChunkWriter& writer);

// A main chunk holding an editor chunk around whatever body writes; the body's
// last byte is the file's last byte.
template <typename Body>
std::vector<uint8_t> editorFile(Body body) {
  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  beginChunk(writer, 0x3D3D);
  body(writer);
  endChunk(writer);
  endChunk(writer);
  return writer.bytes;
}
// Writes a whole header with whatever length is given, for damaged files.
void putHeader(ChunkWriter& writer, uint16_t id, uint32_t length);

void putU8(ChunkWriter& writer, uint8_t value);
void putU16(ChunkWriter& writer, uint16_t value);
void putU32(ChunkWriter& writer, uint32_t value);
void putF32(ChunkWriter& writer, float value);
// The text and its zero byte.
void putName(ChunkWriter& writer, const std::string& name);

// Common chunks: put* writes a whole chunk, begin* leaves it open for its
// sub-chunks, which endChunk then closes.
void beginNamedObject(ChunkWriter& writer, const std::string& name);
void putVertexList(ChunkWriter& writer, const std::vector<float>& xyz);
// Three corners per face; every face gets the flag word 7.
void beginFaceList(ChunkWriter& writer, const std::vector<uint16_t>& corners);
void putFaceMaterial(ChunkWriter& writer, const std::string& name, const std::vector<uint16_t>& faces);
void putMappingCoordinates(ChunkWriter& writer, const std::vector<float>& uv);
void putColour24(ChunkWriter& writer, uint16_t blockId, uint8_t red, uint8_t green, uint8_t blue);
void putPercentage(ChunkWriter& writer, uint16_t blockId, int16_t percent);

// Writes bytes to a file; false when that fails.
bool writeBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes);
