// The command line as WinMain takes it, made from the words the shell gave:
// each word quoted by Windows' rules, so that splitting the text by those
// rules gives every word back unchanged, spaces, quotes and backslashes
// included. Standard output and error are the process's own. The program's
// folder is SDL's base path, which on Linux is /proc/self/exe's; the home
// folder is HOME, or the user's entry in the password database without it.
#include <SDL.h>
#include <errno.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include <string>

#include "platform/platform.h"

namespace {

// Backslashes are literal unless a quote follows them, so only a run before
// a quote, or before the closing quote, is doubled.
std::string quoted(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
  std::string text = "\"";
  size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    text += c;
  }
  text.append(2 * backslashes, '\\');
  return text + '"';
}

}  // namespace

char* programCommandLine(int argc, char** argv) {
  static std::string text;
  text.clear();
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += quoted(argv[i]);
  }
  return text.data();
}

const char* programName() { return program_invocation_short_name; }

const char* programFolder() {
  static const std::string folder = [] {
    char* base = SDL_GetBasePath();
    std::string path = base != nullptr ? base : "";
    SDL_free(base);
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }();
  return folder.c_str();
}

const char* userHomeFolder() {
  static const std::string folder = [] {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home);
    const passwd* user = getpwuid(getuid());
    return std::string(user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "");
  }();
  return folder.c_str();
}

bool standardStreamsReachUser() { return true; }
