// The 3D Studio chunk writer for tests (see chunk_writer.h).
#include "support/chunk_writer.h"

#include <cstdio>
#include <cstring>

void putU8(ChunkWriter& writer, uint8_t value) { writer.bytes.push_back(value); }

void putU16(ChunkWriter& writer, uint16_t value) {
  putU8(writer, static_cast<uint8_t>(value & 0xFF));
  putU8(writer, static_cast<uint8_t>(value >> 8));
}

void putU32(ChunkWriter& writer, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) putU8(writer, static_cast<uint8_t>(value >> shift));
}

void putF32(ChunkWriter& writer, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putU32(writer, bits);
}

void putName(ChunkWriter& writer, const std::string& name) {
  writer.bytes.insert(writer.bytes.end(), name.begin(), name.end());
  putU8(writer, 0);
}

void putHeader(ChunkWriter& writer, uint16_t id, uint32_t length) {
  putU16(writer, id);
  putU32(writer, length);
}

void beginChunk(ChunkWriter& writer, uint16_t id) {
  writer.openChunks.push_back(writer.bytes.size());
  putHeader(writer, id, 0);
}

void endChunk(ChunkWriter& writer) {
  size_t start = writer.openChunks.back();
  writer.openChunks.pop_back();
  uint32_t length = static_cast<uint32_t>(writer.bytes.size() - start);
  for (int i = 0; i < 4; ++i) writer.bytes[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void beginNamedObject(ChunkWriter& writer, const std::string& name) {
  beginChunk(writer, 0x4000);
  putName(writer, name);
}

void putVertexList(ChunkWriter& writer, const std::vector<float>& xyz) {
  beginChunk(writer, 0x4110);
  putU16(writer, static_cast<uint16_t>(xyz.size() / 3));
  for (float value : xyz) putF32(writer, value);
  endChunk(writer);
}

void beginFaceList(ChunkWriter& writer, const std::vector<uint16_t>& corners) {
  beginChunk(writer, 0x4120);
  putU16(writer, static_cast<uint16_t>(corners.size() / 3));
  for (size_t i = 0; i + 2 < corners.size(); i += 3) {
    putU16(writer, corners[i]);
    putU16(writer, corners[i + 1]);
    putU16(writer, corners[i + 2]);
    putU16(writer, 7);
  }
}

void putFaceMaterial(ChunkWriter& writer, const std::string& name, const std::vector<uint16_t>& faces) {
  beginChunk(writer, 0x4130);
  putName(writer, name);
  putU16(writer, static_cast<uint16_t>(faces.size()));
  for (uint16_t face : faces) putU16(writer, face);
  endChunk(writer);
}

void putMappingCoordinates(ChunkWriter& writer, const std::vector<float>& uv) {
  beginChunk(writer, 0x4140);
  putU16(writer, static_cast<uint16_t>(uv.size() / 2));
  for (float value : uv) putF32(writer, value);
  endChunk(writer);
}

void putColour24(ChunkWriter& writer, uint16_t blockId, uint8_t red, uint8_t green, uint8_t blue) {
  beginChunk(writer, blockId);
  beginChunk(writer, 0x0011);
  putU8(writer, red);
  putU8(writer, green);
  putU8(writer, blue);
  endChunk(writer);
  endChunk(writer);
}

void putPercentage(ChunkWriter& writer, uint16_t blockId, int16_t percent) {
  beginChunk(writer, blockId);
  beginChunk(writer, 0x0030);
  putU16(writer, static_cast<uint16_t>(percent));
  endChunk(writer);
  endChunk(writer);
}

bool writeBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}
