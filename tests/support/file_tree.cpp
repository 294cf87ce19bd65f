// Listing a folder tree (see file_tree.h).
#include "support/file_tree.h"

#include <algorithm>

std::vector<std::string> filesUnder(const std::filesystem::path& root) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (!entry.is_directory()) files.push_back(entry.path().lexically_relative(root).string());
  std::sort(files.begin(), files.end());
  return files;
}
