// Builds the corpus of hostile files kept in tests/fixtures/hostile, each with
// the outcome its reader must give, and the manifest (outcomes.txt) that lists
// them. The outcomes are stated from how each file was built, never taken from
// a reader. hostile_files_test checks that the committed files are what this
// writes and that the readers give every stated outcome.
//
// Manifest lines: "<file> <reader> <outcome> [# what the file holds]".
//   readScene (asked for mapping coordinates): "null", or "scene" followed by
//     any of meshes=N materials=N vertices0=N faces0=N material0=N (the counts,
//     and the counts and material index of mesh 0).
//   TiffImage (read): "false <reason>"; "declined <reason>" (read succeeds,
//     pixels null), the reason in the reader's words; or
//     "image WxHxS pixelBytes=N [pixels=RUNS]", where RUNS lists the pixel
//     bytes as comma-separated hex runs ("6162") or repeats ("00*12").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct HostileFile {
  std::string name;
  std::string reader;   // "readScene" or "TiffImage"
  std::string outcome;
  std::string note;     // what the file holds, for the manifest
  std::vector<uint8_t> bytes;
};

std::vector<HostileFile> makeHostileFiles();
std::string hostileManifest(const std::vector<HostileFile>& files);

// The pixels= words of the manifest: bytes to runs and back. parsePixelRuns
// returns false on malformed runs.
std::string pixelRuns(const std::vector<uint8_t>& bytes);
bool parsePixelRuns(const std::string& runs, std::vector<uint8_t>& bytes);
