// Where start-up takes the scene and the texture from. Paths on the command
// line are taken as they are and looked for nowhere else. With none, the
// scene is looked for by its default name in the working folder, then, on
// systems whose programs keep their data beside them, in the program's own
// folder, then in the data folder an install puts beside the program's
// (<program's folder>/../share/shadow-volume-demo): found from the program,
// it moves with an installed tree or an unpacked package. The texture comes
// from the folder the scene was found in.
#pragma once

#include <string>

struct CommandLine;

// Where an install puts the data, from the folder it puts the programs in.
constexpr const char* installedDataFromProgram = "../share/shadow-volume-demo";

struct DataFiles {
  std::string scenePath;
  std::string texturePath;
  // When no folder held the scene: the start-up message naming every folder
  // looked in. Empty otherwise.
  std::string notFound;
};

// programFolder may be empty when the system does not tell it.
DataFiles findDataFiles(const CommandLine& commandLine, const std::string& programFolder,
                        bool besideProgram);
