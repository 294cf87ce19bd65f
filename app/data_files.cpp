// The scene and texture start-up reads (see data_files.h).
#include "app/data_files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/command_line.h"

namespace fs = std::filesystem;

namespace {

// Anything of that name counts, a folder or a broken link too: start-up then
// says what is wrong with it rather than taking another folder's scene.
bool holds(const fs::path& folder, const std::string& name) {
  std::error_code error;
  return fs::exists(fs::symlink_status(folder / name, error));
}

}  // namespace

DataFiles findDataFiles(const CommandLine& commandLine, const std::string& programFolder,
                        bool besideProgram) {
  const std::string& scene = commandLine.scenePath;
  const std::string& texture = commandLine.texturePath;
  // Found in the working folder the names stay relative, as a user gave them.
  if (commandLine.scenePathGiven || holds(".", scene)) return {scene, texture, ""};
  std::error_code error;
  std::vector<fs::path> folders{fs::current_path(error)};
  if (error) folders.front() = ".";
  if (!programFolder.empty()) {
    const fs::path program(programFolder);
    for (const fs::path& folder : {program, (program / installedDataFromProgram).lexically_normal()})
      if ((besideProgram || folder != program) &&
          std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
  }
  std::string notFound = "\"" + scene + "\" is in none of the folders looked in:";
  for (const fs::path& folder : folders) {
    if (folder != folders.front() && holds(folder, scene)) {
      return {(folder / scene).string(), (folder / texture).string(), ""};
    }
    notFound += "\n" + folder.string();
  }
  return {scene, texture, notFound};
}
