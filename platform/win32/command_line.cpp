// The command line, the program's name and folder, the user's profile folder
// (USERPROFILE: shell32's folder lookup would add a DLL to the programs'
// imports) and standard streams on Win32.
//
// The command line is the process's own without the program's name, as
// WinMain is given it. A GUI program gets standard output and error only
// when its starter hands them over (redirected, or under Wine from a
// terminal); started from a console without that, it attaches to the
// console and writes there; started from the desktop there is nobody to
// write to, and the caller shows a message box instead.
#include <cstdio>
#include <string>

#include "platform/platform.h"

char* programCommandLine(int, char**) {
  // The name ends at the closing quote when it starts with one, else at the
  // first space or tab; nothing in it is escaped.
  char* at = GetCommandLineA();
  if (*at == '"') {
    for (++at; *at != '\0' && *at != '"'; ++at) {
    }
    if (*at == '"') ++at;
  } else {
    for (; *at != '\0' && *at != ' ' && *at != '\t'; ++at) {
    }
  }
  while (*at == ' ' || *at == '\t') ++at;
  return at;
}

namespace {

// The .exe's full path; longer than MAX_PATH too, where the system allows.
const std::string& programPath() {
  static const std::string path = [] {
    std::string text(MAX_PATH, '\0');
    for (;;) {
      const DWORD size = static_cast<DWORD>(text.size());
      const DWORD length = GetModuleFileNameA(nullptr, text.data(), size);
      if (length < size) return text.substr(0, length);
      if (size >= 32768) return std::string();
      text.resize(2 * text.size());
    }
  }();
  return path;
}

}  // namespace

const char* programName() {
  static const std::string name = [] {
    std::string file = programPath();
    file.erase(0, file.find_last_of("\\/") + 1);
    return file.substr(0, file.rfind('.'));
  }();
  return name.c_str();
}

const char* programFolder() {
  static const std::string folder = [] {
    const std::string& path = programPath();
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
  }();
  return folder.c_str();
}

const char* userHomeFolder() {
  static const std::string folder = [] {
    std::string text(MAX_PATH, '\0');
    DWORD length = GetEnvironmentVariableA("USERPROFILE", text.data(), MAX_PATH);
    if (length >= MAX_PATH) {
      text.resize(length);
      length = GetEnvironmentVariableA("USERPROFILE", text.data(), length);
    }
    return length < text.size() ? text.substr(0, length) : std::string();
  }();
  return folder.c_str();
}

bool standardStreamsReachUser() {
  static const bool reached = [] {
    // Looked at before attaching: the C runtime set its streams up from these.
    const bool hasOutput[2] = {GetStdHandle(STD_OUTPUT_HANDLE) != nullptr &&
                                   GetStdHandle(STD_OUTPUT_HANDLE) != INVALID_HANDLE_VALUE,
                               GetStdHandle(STD_ERROR_HANDLE) != nullptr &&
                                   GetStdHandle(STD_ERROR_HANDLE) != INVALID_HANDLE_VALUE};
    if (hasOutput[0] && hasOutput[1]) return true;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    FILE* const streams[2] = {stdout, stderr};
    bool all = true;
    for (int i = 0; i < 2; ++i)
      if (!hasOutput[i]) all = std::freopen("CONOUT$", "w", streams[i]) != nullptr && all;
    return all;
  }();
  return reached;
}
