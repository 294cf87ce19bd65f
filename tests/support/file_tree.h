// What an install, a package or an unpacked archive holds.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Every file under root, folders left out, relative to it ('/' between
// names) and sorted.
std::vector<std::string> filesUnder(const std::filesystem::path& root);
