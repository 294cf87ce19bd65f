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
  if (commandLine.scenePathGiven) return {scene, texture, ""};
  std::error_code error;
  std::vector<fs::path> folders{fs::current_path(error)};
  if (error) folders.front() = ".";
  if (!programFolder.empty()) {
    const fs::path program(programFolder);
    const fs::path installed = (program / installedDataFromProgram).lexically_normal();
    for (const fs::path& folder : {program, installed}) {
      const bool looked = std::find(folders.begin(), folders.end(), folder) != folders.end();
      if (!looked && (besideProgram || folder != program)) folders.push_back(folder);
    }
  }
  std::string notFound = "\"" + scene + "\" is in none of the folders looked in:";
  for (const fs::path& folder : folders) {
    if (!holds(folder, scene)) {
      notFound += "\n" + folder.string();
    } else if (folder == folders.front()) {
      // Found in the working folder the names stay relative, as a user gave them.
      return {scene, texture, ""};
    } else {
      return {(folder / scene).string(), (folder / texture).string(), ""};
    }
  }
  return {scene, texture, notFound};
}
