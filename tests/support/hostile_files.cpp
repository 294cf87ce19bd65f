// The hostile-file corpus and its manifest (see hostile_files.h).
#include "support/hostile_files.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include <zlib.h>

#include "support/chunk_writer.h"
#include "support/tiff_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------- 3D Studio

const std::vector<float> squareVertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};

// Four vertices and two faces, the smallest mesh every later step can use.
void putSquare(ChunkWriter& writer) {
  putVertexList(writer, squareVertices);
  beginFaceList(writer, {0, 1, 2, 0, 2, 3});
  endChunk(writer);
}

void putMaterial(ChunkWriter& writer, const std::string& name) {
  beginChunk(writer, 0xAFFF);
  beginChunk(writer, 0xA000);
  putName(writer, name);
  endChunk(writer);
  endChunk(writer);
}

void putBytes(ChunkWriter& writer, size_t count, uint8_t value) {
  writer.bytes.insert(writer.bytes.end(), count, value);
}

// A main chunk without its length set, then whatever body writes: for files
// whose last chunk must run to the end.
template <typename Body>
Bytes openFile(Body body) {
  ChunkWriter writer;
  putHeader(writer, 0x4D4D, 0);
  body(writer);
  return writer.bytes;
}

Bytes cut(const Bytes& bytes, size_t length) {
  return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

// Offsets inside the whole scene at which it is cut.
struct SceneCuts {
  size_t inMaterialName;
  size_t inVertices;
  size_t inTexCoords;
  size_t inFaces;
  size_t inFaceMaterialName;
  size_t inMatrix;
};

// A material and one textured object with everything a mesh can carry.
Bytes wholeScene(SceneCuts& cuts) {
  ChunkWriter writer;
  beginChunk(writer, 0x4D4D);
  beginChunk(writer, 0x3D3D);
  beginChunk(writer, 0xAFFF);
  beginChunk(writer, 0xA000);
  cuts.inMaterialName = writer.bytes.size() + 3;
  putName(writer, "Stone");
  endChunk(writer);
  putColour24(writer, 0xA020, 200, 100, 50);
  endChunk(writer);
  beginNamedObject(writer, "Box");
  beginChunk(writer, 0x4100);
  cuts.inVertices = writer.bytes.size() + 6 + 2 + 18;  // a vertex and a half
  putVertexList(writer, squareVertices);
  cuts.inTexCoords = writer.bytes.size() + 6 + 2 + 12;  // a pair and a half
  putMappingCoordinates(writer, {0, 0, 1, 0, 1, 1, 0, 1});
  cuts.inFaces = writer.bytes.size() + 6 + 2 + 12;  // a face and a half
  beginFaceList(writer, {0, 1, 2, 0, 2, 3});
  cuts.inFaceMaterialName = writer.bytes.size() + 6 + 3;  // "Sto"
  putFaceMaterial(writer, "Stone", {0, 1});
  endChunk(writer);
  cuts.inMatrix = writer.bytes.size() + 6 + 20;
  beginChunk(writer, 0x4160);
  for (int i = 0; i < 12; ++i) putF32(writer, i % 4 == 0 ? 1.0f : 0.0f);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  endChunk(writer);
  return writer.bytes;
}

void addSceneFiles(std::vector<HostileFile>& files) {
  auto add = [&](const std::string& name, const std::string& outcome, const std::string& note,
                 Bytes bytes) {
    files.push_back({"scene_" + name + ".3ds", "readScene", outcome, note, std::move(bytes)});
  };

  // Truncations of one whole scene.
  SceneCuts at{};
  const Bytes whole = wholeScene(at);
  add("cut_empty", "null", "no bytes at all", {});
  add("cut_in_main_header", "null", "five bytes of the main chunk's header", cut(whole, 5));
  add("cut_after_main_header", "scene meshes=0 materials=0", "the main chunk's header alone",
      cut(whole, 6));
  add("cut_in_material_name", "scene meshes=0 materials=1", "ends inside the material name",
      cut(whole, at.inMaterialName));
  add("cut_in_vertices", "scene meshes=1 materials=1 vertices0=1 faces0=0 material0=-1",
      "ends inside the second of four vertices", cut(whole, at.inVertices));
  add("cut_in_texcoords", "scene meshes=1 materials=1 vertices0=4 faces0=0",
      "ends inside the second mapping coordinate", cut(whole, at.inTexCoords));
  add("cut_in_faces", "scene meshes=1 materials=1 vertices0=4 faces0=1 material0=-1",
      "ends inside the second of two faces", cut(whole, at.inFaces));
  add("cut_in_face_material", "scene meshes=1 materials=1 vertices0=4 faces0=2 material0=-1",
      "ends three letters into the face-material name", cut(whole, at.inFaceMaterialName));
  add("cut_in_matrix", "scene meshes=1 materials=1 vertices0=4 faces0=2 material0=0",
      "ends inside the local matrix", cut(whole, at.inMatrix));
  Bytes halfHeader = whole;
  halfHeader.insert(halfHeader.end(), {0x00, 0x40, 0x10, 0x00});
  add("cut_in_chunk_length", "scene meshes=1 materials=1 vertices0=4 faces0=2 material0=0",
      "the whole scene, then a chunk id and half its length", halfHeader);

  // Chunk lengths.
  for (uint32_t length : {0u, 5u}) {
    std::string n = std::to_string(length);
    add("length_" + n, "scene meshes=1 vertices0=4 faces0=2",
        "a mesh, a passed-over chunk of length " + n + " (ends the walk), a mesh",
        editorFile([&](ChunkWriter& writer) {
          putSquare(writer);
          putHeader(writer, 0x0002, length);
          putU32(writer, 3);
          putSquare(writer);
        }));
    add("length_" + n + "_face_material", "scene meshes=1 vertices0=4 faces0=2 material0=-1",
        "a mesh, a face-material chunk of length " + n + " (ends the walk), a mesh",
        editorFile([&](ChunkWriter& writer) {
          putMaterial(writer, "Stone");
          putSquare(writer);
          putHeader(writer, 0x4130, length);
          putName(writer, "Stone");
          putU16(writer, 0);
          putSquare(writer);
        }));
  }
  Bytes pastEnd = editorFile([](ChunkWriter& writer) {
    putSquare(writer);
    putHeader(writer, 0x4600, 100000);
    putSquare(writer);
  });
  add("length_past_end", "scene meshes=1 vertices0=4 faces0=2",
      "a mesh, then a light of 100000 bytes holding another mesh, in " +
          std::to_string(pastEnd.size()) + " bytes",
      pastEnd);
  add("length_ffffffff", "scene meshes=1 vertices0=4 faces0=2",
      "a mesh, then a keyframer of length 0xFFFFFFFF holding another mesh",
      editorFile([](ChunkWriter& writer) {
        putSquare(writer);
        putHeader(writer, 0xB000, 0xFFFFFFFFu);
        putSquare(writer);
      }));
  add("length_ffffffff_face_material", "scene meshes=1 materials=1 vertices0=4 faces0=2 material0=0",
      "a face-material chunk of length 0xFFFFFFFF naming a known material, then a mesh",
      editorFile([](ChunkWriter& writer) {
        putMaterial(writer, "Stone");
        putSquare(writer);
        putHeader(writer, 0x4130, 0xFFFFFFFFu);
        putName(writer, "Stone");
        putU16(writer, 1);
        putU16(writer, 0);
        putSquare(writer);
      }));
  add("length_0_containers", "scene meshes=1 vertices0=4 faces0=2",
      "main, editor, object and mesh chunks all of length 0 (containers' lengths are not used)",
      [] {
        ChunkWriter writer;
        putHeader(writer, 0x4D4D, 0);
        putHeader(writer, 0x3D3D, 0);
        putHeader(writer, 0x4000, 0);
        putName(writer, "Box");
        putHeader(writer, 0x4100, 0);
        putSquare(writer);
        return writer.bytes;
      }());
  add("length_6_vertex_list", "scene meshes=1 vertices0=3 faces0=1",
      "a vertex list of length 6 holding three vertices (data chunks' lengths are not used)",
      editorFile([](ChunkWriter& writer) {
        putHeader(writer, 0x4110, 6);
        putU16(writer, 3);
        for (float value : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) putF32(writer, value);
        beginFaceList(writer, {0, 1, 2});
        endChunk(writer);
      }));

  // Counts of 0, 32767, 65535 and negative ones read as signed.
  add("count_0_vertices", "scene meshes=1 vertices0=0 faces0=0",
      "no vertices, then a face naming vertices 0 1 2", editorFile([](ChunkWriter& writer) {
        putVertexList(writer, {});
        beginFaceList(writer, {0, 1, 2});
        endChunk(writer);
      }));
  add("count_0_faces", "scene meshes=1 vertices0=4 faces0=0", "four vertices and no faces",
      editorFile([](ChunkWriter& writer) {
        putVertexList(writer, squareVertices);
        beginFaceList(writer, {});
        endChunk(writer);
      }));
  add("count_0_texcoords", "scene meshes=1 vertices0=4 faces0=2",
      "a mesh with an empty mapping coordinate list", editorFile([](ChunkWriter& writer) {
        putSquare(writer);
        putMappingCoordinates(writer, {});
      }));
  const std::pair<const char*, uint16_t> counts[] = {
      {"32767", 0x7FFF}, {"65535", 0xFFFF}, {"negative", 0x8000}};
  for (const auto& entry : counts) {
    const std::string what = entry.first;
    const uint16_t count = entry.second;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%04X", count);
    add("count_" + std::string(what) + "_vertices", "scene meshes=1 vertices0=4 faces0=0",
        "a vertex count of " + std::string(hex) + " with four vertices left in the file",
        editorFile([&](ChunkWriter& writer) {
          putHeader(writer, 0x4110, 6 + 2 + 48);
          putU16(writer, count);
          for (float value : squareVertices) putF32(writer, value);
        }));
    add("count_" + std::string(what) + "_faces", "scene meshes=1 vertices0=4 faces0=3",
        "a face count of " + std::string(hex) + " with three faces left in the file",
        editorFile([&](ChunkWriter& writer) {
          putVertexList(writer, squareVertices);
          putHeader(writer, 0x4120, 6 + 2 + 24);
          putU16(writer, count);
          for (uint16_t corner : std::vector<uint16_t>{0, 1, 2, 7, 0, 2, 3, 7, 1, 2, 3, 7}) putU16(writer, corner);
        }));
    add("count_" + std::string(what) + "_texcoords", "scene meshes=1 vertices0=4 faces0=2",
        "a mapping coordinate count of " + std::string(hex) + " with two pairs left in the file",
        editorFile([&](ChunkWriter& writer) {
          putSquare(writer);
          putHeader(writer, 0x4140, 6 + 2 + 16);
          putU16(writer, count);
          for (float value : {0.0f, 0.0f, 1.0f, 0.0f}) putF32(writer, value);
        }));
  }
  add("corners_outside", "scene meshes=1 vertices0=4 faces0=3",
      "six faces, three naming vertex 4, 0xFFFF or 0x8000 of four", editorFile([](ChunkWriter& writer) {
        putVertexList(writer, squareVertices);
        beginFaceList(writer, {0, 1, 2, 0, 1, 4, 1, 2, 3, 0xFFFF, 0, 1, 0x8000, 1, 2, 3, 2, 1});
        endChunk(writer);
      }));

  // Names.
  add("name_unterminated_object", "scene meshes=1 vertices0=4 faces0=2",
      "a mesh, then an object name of 100 letters running to the end", openFile([](ChunkWriter& writer) {
        putSquare(writer);
        putHeader(writer, 0x4000, 0);
        putBytes(writer, 100, 'o');
      }));
  add("name_unterminated_material", "scene meshes=1 materials=1 vertices0=4 faces0=2",
      "a mesh, then a material name of 70 letters running to the end",
      openFile([](ChunkWriter& writer) {
        putSquare(writer);
        putHeader(writer, 0xAFFF, 0);
        putHeader(writer, 0xA000, 0);
        putBytes(writer, 70, 'm');
      }));
  add("name_unterminated_map", "scene meshes=0 materials=1",
      "a texture map's file name of 80 letters running to the end", openFile([](ChunkWriter& writer) {
        putMaterial(writer, "Stone");
        putHeader(writer, 0xA200, 0);
        putHeader(writer, 0xA300, 0);
        putBytes(writer, 80, 'x');
      }));
  const std::string longName(100, 'n');
  add("name_long", "scene meshes=1 materials=1 vertices0=4 faces0=2 material0=0",
      "object, material and face-material names of 100 letters", editorFile([&](ChunkWriter& writer) {
        putMaterial(writer, longName);
        beginNamedObject(writer, longName);
        putSquare(writer);
        putFaceMaterial(writer, longName, {0, 1});
        endChunk(writer);
      }));
  add("name_face_material_unterminated", "scene meshes=2 materials=1 vertices0=4 faces0=2 material0=0",
      "a face-material chunk of 64 letters and no zero byte, then a mesh",
      editorFile([](ChunkWriter& writer) {
        putMaterial(writer, std::string(64, 'n'));
        putSquare(writer);
        putHeader(writer, 0x4130, 6 + 64);
        putBytes(writer, 64, 'n');
        putSquare(writer);
      }));

  // Tables.
  add("2000_meshes", "scene meshes=1024 vertices0=4 faces0=2",
      "a mesh, 1999 empty vertex lists, then a face list for the last", editorFile([](ChunkWriter& writer) {
        putSquare(writer);
        for (int i = 1; i < 2000; ++i) putVertexList(writer, {});
        beginFaceList(writer, {0, 1, 2});
        endChunk(writer);
      }));
  add("300_materials", "scene meshes=1 materials=256 vertices0=4 faces0=2 material0=255",
      "300 materials M0 to M299, then a mesh naming M255 and then M299 (dropped)",
      editorFile([](ChunkWriter& writer) {
        for (int i = 0; i < 300; ++i) {
          beginChunk(writer, 0xAFFF);
          beginChunk(writer, 0xA000);
          putName(writer, "M" + std::to_string(i));
          endChunk(writer);
          putColour24(writer, 0xA020, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i));
          endChunk(writer);
        }
        putSquare(writer);
        putFaceMaterial(writer, "M255", {0});
        putFaceMaterial(writer, "M299", {0});
      }));
}

// ---------------------------------------------------------------- TIFF

Bytes countingBytes(size_t count) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i + 1);
  return bytes;
}

uint32_t readLittle32(const Bytes& bytes, size_t at) {
  return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
         static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

void putLittle(Bytes& bytes, size_t at, uint32_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

size_t directoryOf(const Bytes& file) { return readLittle32(file, 4); }

// Offset of the directory entry with this tag.
size_t entryAt(const Bytes& file, uint16_t tag) {
  size_t directory = directoryOf(file);
  size_t count = file[directory] | file[directory + 1] << 8;
  for (size_t i = 0; i < count; ++i) {
    size_t entry = directory + 2 + 12 * i;
    if ((file[entry] | file[entry + 1] << 8) == tag) return entry;
  }
  return 0;
}

std::string imageOutcome(int width, int height, int samples, const Bytes& pixels) {
  std::string size = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(samples);
  return "image " + size + " pixelBytes=" + std::to_string(pixels.size()) + " pixels=" + pixelRuns(pixels);
}

Bytes withZeros(Bytes bytes, size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A file of the size given whose one LZW strip holds exactly these bytes.
Bytes lzwFile(int width, int height, const Bytes& strip) {
  TiffParts parts = makeTiffParts({width, height, 3, 5}, Bytes(static_cast<size_t>(width * height * 3)));
  parts.strips = {strip};
  return assembleTiff(parts);
}

// Bytes as zlib wraps them, at the given level (0 keeps them as they are).
Bytes zlibBytes(const Bytes& bytes, int level) {
  uLongf size = compressBound(static_cast<uLong>(bytes.size()));
  Bytes out(size);
  compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), level);
  out.resize(size);
  return out;
}

// A 4 x 2 RGB file of the given compression whose one strip holds exactly these bytes.
Bytes stripFile(int compression, const Bytes& strip) {
  TiffParts parts = makeTiffParts({4, 2, 3, compression}, Bytes(24));
  parts.strips = {strip};
  return assembleTiff(parts);
}

// The 4 x 2 RGB image uncompressed, with its layout tags changed, and its
// strip replaced when one is given.
Bytes taggedFile(const Bytes& pixels, const std::vector<TiffEntry>& changes,
                 const Bytes& strip = {}) {
  TiffParts parts = makeTiffParts({4, 2, 3, 1}, pixels);
  if (!strip.empty()) parts.strips = {strip};
  for (const TiffEntry& change : changes) {
    TiffEntry* entry = findEntry(parts, change.tag);
    *(entry != nullptr ? entry : &parts.entries.emplace_back()) = change;
  }
  return assembleTiff(parts);
}

// A small uncompressed image whose size fields say otherwise.
Bytes sizedFile(uint32_t width, uint32_t height, uint32_t samples, int compression) {
  TiffParts parts = makeTiffParts({1, 1, 3, compression}, {1, 2, 3});
  if (compression == 5) parts.strips = {lzwEncode({1, 2, 3})};
  parts.entries[0] = {256, tiffLong, {width}};
  parts.entries[1] = {257, tiffLong, {height}};
  findEntry(parts, 277)->values = {samples};
  return assembleTiff(parts);
}

void addTiffFiles(std::vector<HostileFile>& files) {
  auto add = [&](const std::string& name, const std::string& outcome, const std::string& note,
                 Bytes bytes) {
    files.push_back({"tiff_" + name + ".tif", "TiffImage", outcome, note, std::move(bytes)});
  };
  const Bytes pixels = countingBytes(24);  // a 4 x 2 RGB image
  const Bytes plain = writeTiff({4, 2, 3, 1}, pixels);
  const std::string plainImage = imageOutcome(4, 2, 3, pixels);
  const std::string zeroImage = imageOutcome(4, 2, 3, Bytes(24));
  auto twoStrips = [&](auto damage) {
    TiffLayout layout{4, 2, 3, 1};
    layout.rowsPerStrip = 1;
    TiffParts parts = makeTiffParts(layout, pixels);
    damage(parts);
    return assembleTiff(parts);
  };

  // Truncations and the header.
  add("cut_empty", "false not a TIFF file", "no bytes at all", {});
  add("cut_in_header", "false the file ends inside its header", "six bytes of the header",
      cut(plain, 6));
  add("cut_in_entry", "declined its sample sizes or formats lie outside the file",
      "ends inside StripByteCounts, the ninth of ten entries, before the BitsPerSample values",
      cut(plain, entryAt(plain, 279) + 6));
  Bytes far = plain;
  const std::string farDirectory = "false its directory lies outside the file";
  putLittle(far, 4, 0x7FFFFFF0u, 4);
  add("ifd_past_end", farDirectory, "directory offset 0x7FFFFFF0", far);
  putLittle(far, 4, 0xFFFFFFFFu, 4);
  add("ifd_ffffffff", farDirectory, "directory offset 0xFFFFFFFF", far);
  Bytes last = plain;
  putLittle(last, 4, static_cast<uint32_t>(last.size() - 1), 4);
  add("ifd_in_last_byte", farDirectory, "directory offset at the file's last byte", last);

  // Directory entry counts.
  const std::pair<const char*, uint16_t> entryCounts[] = {
      {"0", 0}, {"32767", 0x7FFF}, {"65535", 0xFFFF}, {"negative", 0x8000}};
  for (const auto& [what, count] : entryCounts) {
    Bytes file = plain;
    putLittle(file, directoryOf(file), count, 2);
    char note[64];
    std::snprintf(note, sizeof note, "directory entry count 0x%04X where ten stand", count);
    add(std::string("entry_count_") + what,
        count == 0x7FFF ? plainImage : "declined its size, 0 x 0, holds no pixels", note, file);
  }

  // Strip arrays and strip counts.
  add("strip_offsets_array_past_end", zeroImage, "two strips whose offset array lies at 0x7FFFFFF0",
      twoStrips([](TiffParts& parts) { *findEntry(parts, 273) = {273, tiffLong, {}, true, 2, 0x7FFFFFF0u}; }));
  Bytes running = twoStrips([](TiffParts&) {});
  putLittle(running, entryAt(running, 273) + 4, 0x7FFFFFFFu, 4);
  add("strip_offsets_array_runs_past_end", plainImage,
      "two strips whose offset array claims 0x7FFFFFFF entries", running);
  add("strip_byte_counts_array_past_end", zeroImage, "two strips whose byte count array lies at 0x7FFFFFF0",
      twoStrips([](TiffParts& parts) { *findEntry(parts, 279) = {279, tiffLong, {}, true, 2, 0x7FFFFFF0u}; }));
  TiffParts farStrip = makeTiffParts({4, 2, 3, 1}, pixels);
  findEntry(farStrip, 273)->values = {0xFFFFFF00u};
  add("strip_offset_past_end", zeroImage, "one strip at offset 0xFFFFFF00", assembleTiff(farStrip));
  TiffParts longStrip = makeTiffParts({4, 2, 3, 1}, pixels);
  findEntry(longStrip, 279)->values = {0xFFFFFFFFu};
  add("strip_size_past_end", plainImage, "one strip of 0xFFFFFFFF bytes", assembleTiff(longStrip));
  add("strip_count_0", zeroImage, "StripOffsets with no values",
      twoStrips([](TiffParts& parts) { *findEntry(parts, 273) = {273, tiffLong, {}, true, 0, 8}; }));
  add("strip_count_65535", zeroImage,
      "65535 SHORT strip offsets at offset 8, where the pixels and the directory stand",
      twoStrips([](TiffParts& parts) { *findEntry(parts, 273) = {273, tiffShort, {}, true, 0xFFFF, 8}; }));
  add("strip_count_negative", zeroImage, "StripOffsets with 0xFFFFFFFF values",
      twoStrips([](TiffParts& parts) {
        *findEntry(parts, 273) = {273, tiffLong, {}, true, 0xFFFFFFFFu, 8};
      }));
  TiffParts tall = makeTiffParts({4, 2, 3, 1}, pixels);
  tall.strips = {countingBytes(60)};
  add("uncompressed_more_than_image", plainImage, "an uncompressed strip of five rows for two",
      assembleTiff(tall));
  add("compression_other", "declined JPEG compression is not supported", "compression 7",
      writeTiff({4, 2, 3, 7}, pixels));

  // LZW strips.
  add("lzw_no_end_code", imageOutcome(4, 1, 3, withZeros(textBytes("ababc"), 12)),
      "codes clear a b 258 c and no end code", lzwFile(4, 1, packCodes({256, 'a', 'b', 258, 'c'})));
  add("lzw_code_beyond_table", imageOutcome(4, 1, 3, withZeros(textBytes("ab"), 12)),
      "codes clear a b 300 c end: 300 is past the next entry",
      lzwFile(4, 1, packCodes({256, 'a', 'b', 300, 'c', 257})));
  std::vector<int> literals = {256};
  literals.insert(literals.end(), 4000, 'a');
  literals.push_back(257);
  add("lzw_table_full_no_clear", imageOutcome(1400, 1, 3, withZeros(Bytes(4000, 'a'), 4200)),
      "4000 single-byte codes after one clear: the table fills and wraps",
      lzwFile(1400, 1, packCodes(literals)));
  Bytes tenTimes;
  for (int i = 0; i < 10; ++i) tenTimes.insert(tenTimes.end(), pixels.begin(), pixels.end());
  add("lzw_decodes_past_image", plainImage, "one strip decoding to ten times the image",
      lzwFile(4, 2, lzwEncode(tenTimes)));
  std::vector<int> chain = {256, 'a'};
  for (int code = 258; code <= 4094; ++code) chain.push_back(code);
  chain.push_back(257);
  const size_t chainBytes = 3838u * 3839u / 2u;  // codes 258 to 4094 yield 2 to 3838 bytes
  add("lzw_longest_strings", imageOutcome(1600, 1536, 3, withZeros(Bytes(chainBytes, 'a'), 1600u * 1536u * 3u)),
      "each code the next entry, strings growing to 3838 bytes: the most a strip yields",
      lzwFile(1600, 1536, packCodes(chain)));
  // Row 0 stored as differences from the pixel to its left, row 1 missing.
  std::vector<int> rowCodes = {256};
  Bytes stored = differenceRows(pixels, 4, 2, 3);
  for (size_t i = 0; i < 12; ++i) rowCodes.push_back(stored[i]);
  TiffParts predicted = makeTiffParts({4, 2, 3, 5, 2}, pixels);
  predicted.strips = {packCodes(rowCodes)};
  add("lzw_predictor_strip_cut", imageOutcome(4, 2, 3, withZeros(cut(pixels, 12), 24)),
      "predictor 2, the strip ends after the first row", assembleTiff(predicted));

  // PackBits and Deflate strips.
  Bytes runs = {23};  // the image as one literal run, then runs of 128 to a megabyte
  runs.insert(runs.end(), pixels.begin(), pixels.end());
  for (int i = 0; i < 8192; ++i) runs.insert(runs.end(), {0x81, 0xEE});
  add("packbits_bomb", plainImage, "the image, then 8192 runs of 128 bytes", stripFile(32773, runs));
  Bytes literal = {100};
  literal.insert(literal.end(), pixels.begin(), pixels.begin() + 5);
  add("packbits_literal_past_strip", imageOutcome(4, 2, 3, withZeros(cut(pixels, 5), 24)),
      "a literal run of 101 bytes with 5 in the strip", stripFile(32773, literal));
  Bytes megabyte;
  for (int i = 0; i < 43691; ++i) megabyte.insert(megabyte.end(), pixels.begin(), pixels.end());
  add("deflate_bomb", plainImage, "one strip inflating to a megabyte, 43691 times the image",
      stripFile(8, zlibBytes(megabyte, 9)));
  add("deflate_cut", imageOutcome(4, 2, 3, withZeros(cut(pixels, 12), 24)),
      "the image stored without compression, cut after its first row",
      stripFile(32946, cut(zlibBytes(pixels, 0), 2 + 5 + 12)));
  add("deflate_not_zlib", zeroImage, "a strip of text", stripFile(8, textBytes("not a zlib stream")));

  // Layouts.
  Bytes planes = pixels;  // the red plane only: its one strip
  planes.resize(8);
  add("planar_only_first_plane", imageOutcome(4, 2, 3, [&] {
        Bytes rgb(24);
        for (size_t i = 0; i < 8; ++i) rgb[3 * i] = pixels[i];
        return rgb;
      }()),
      "planar RGB with the strip of the red plane alone",
      taggedFile(pixels, {{284, tiffShort, {2}}}, planes));
  add("palette_map_past_end", "declined the colour map lies outside the file",
      "an 8-bit palette whose colour map lies at 0x7FFFFFF0",
      taggedFile(pixels, {{262, tiffShort, {3}}, {277, tiffShort, {1}}, {258, tiffShort, {8}},
                          {320, tiffShort, {}, true, 768, 0x7FFFFFF0u}}));
  add("bits_mixed", "declined samples of different sizes are not supported",
      "BitsPerSample 8, 8, 16", taggedFile(pixels, {{258, tiffShort, {8, 8, 16}}}));

  // Sizes.
  auto tooLarge = [&](const char* name, uint32_t width, uint32_t height, int compression,
                      const char* note) {
    Bytes file = sizedFile(width, height, 3, compression);
    add(name, "declined a " + std::to_string(width) + " x " + std::to_string(height) +
                  " image is more than a file of " + std::to_string(file.size()) + " bytes can hold",
        note, file);
  };
  tooLarge("size_gigabyte_in_small_file", 20000, 20000, 5, "20000 x 20000 x 3 LZW in a small file");
  tooLarge("size_deflate_gigabyte_in_small_file", 20000, 20000, 8,
           "20000 x 20000 x 3 Deflate in a small file");
  tooLarge("size_uncompressed_more_than_file", 100, 100, 1, "100 x 100 x 3 uncompressed in a small file");
  tooLarge("size_2_pow_32", 65536, 65536, 5, "65536 x 65536: width x height is 2^32, 0 in 32 bits");
  tooLarge("size_wraps_to_2", 0x55555556u, 1, 5, "0x55555556 x 1 x 3 samples: 2 in 32 bits");
  tooLarge("size_past_int32", 26755, 26755, 5, "26755 x 26755 x 3: past 2^31 - 1, negative in 32 bits");
  add("size_width_negative", "declined its size, -1 x 2, holds no pixels", "width 0xFFFFFFFF",
      sizedFile(0xFFFFFFFFu, 2, 3, 1));
}

}  // namespace

std::vector<HostileFile> makeHostileFiles() {
  std::vector<HostileFile> files;
  addSceneFiles(files);
  addTiffFiles(files);
  return files;
}

std::string hostileManifest(const std::vector<HostileFile>& files) {
  std::string text =
      "# Hostile files and the outcome each must have, one line each:\n"
      "#   <file> <reader> <outcome> # what the file holds\n"
      "# readScene (mapping coordinates asked for): null, or\n"
      "#   scene [meshes=N] [materials=N] [vertices0=N] [faces0=N] [material0=N] (0: of mesh 0)\n"
      "# TiffImage::read: false <reason>, or declined <reason> (true, no pixels), or\n"
      "#   image WxHxS pixelBytes=N [pixels=hex runs and byte*count repeats, comma-separated]\n"
      "# Written with the files by tests/support/hostile_files.cpp and checked by\n"
      "# hostile_files_test; REWRITE_HOSTILE_FILES=1 hostile_files_test rewrites both.\n";
  for (const HostileFile& file : files) {
    std::string line = file.name;
    line.resize(std::max<size_t>(line.size() + 1, 44), ' ');
    line += file.reader;
    line.resize(line.size() + 1, ' ');
    line += file.outcome + " # " + file.note + "\n";
    text += line;
  }
  return text;
}

std::string pixelRuns(const std::vector<uint8_t>& bytes) {
  std::string runs;
  size_t i = 0;
  bool inHex = false;
  while (i < bytes.size()) {
    size_t run = 1;
    while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    if (run >= 4) {
      if (!runs.empty()) runs += ",";
      runs += std::string(hex) + "*" + std::to_string(run);
      inHex = false;
      i += run;
    } else {
      if (!inHex && !runs.empty()) runs += ",";
      runs += hex;
      inHex = true;
      ++i;
    }
  }
  return runs;
}

bool parsePixelRuns(const std::string& runs, std::vector<uint8_t>& bytes) {
  bytes.clear();
  auto hexValue = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  size_t start = 0;
  while (start < runs.size()) {
    size_t end = runs.find(',', start);
    if (end == std::string::npos) end = runs.size();
    std::string part = runs.substr(start, end - start);
    size_t star = part.find('*');
    std::string hex = part.substr(0, star);
    if (hex.empty() || hex.size() % 2 != 0) return false;
    std::vector<uint8_t> values;
    for (size_t k = 0; k < hex.size(); k += 2) {
      int high = hexValue(hex[k]);
      int low = hexValue(hex[k + 1]);
      if (high < 0 || low < 0) return false;
      values.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    if (star == std::string::npos) {
      bytes.insert(bytes.end(), values.begin(), values.end());
    } else {
      std::string count = part.substr(star + 1);
      if (values.size() != 1 || count.empty() || count.size() > 9 ||
          count.find_first_not_of("0123456789") != std::string::npos)
        return false;
      bytes.insert(bytes.end(), std::stoul(count), values[0]);
    }
    start = end + 1;
  }
  return true;
}
