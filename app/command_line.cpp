// The programs' command line and their usage text (see command_line.h).
// Options may stand anywhere; a file whose name starts with '-' is given as
// ./-name.
#include "app/command_line.h"

#include <cstdio>

#include "platform/platform.h"

namespace {

bool separates(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> splitCommandLine(const char* text) {
  std::vector<std::string> words;
  const char* at = text == nullptr ? "" : text;
  for (;;) {
    while (separates(*at)) ++at;
    if (*at == '\0') return words;
    std::string word;
    bool quoted = false;
    while (*at != '\0' && (quoted || !separates(*at))) {
      size_t backslashes = 0;
      for (; *at == '\\'; ++at) ++backslashes;
      if (*at == '"') {
        word.append(backslashes / 2, '\\');
        if (backslashes % 2 == 1) {
          word += '"';
          ++at;
        } else if (quoted && at[1] == '"') {
          word += '"';
          at += 2;
        } else {
          quoted = !quoted;
          ++at;
        }
      } else if (backslashes > 0) {
        word.append(backslashes, '\\');
      } else {
        word += *at++;
      }
    }
    words.push_back(word);
  }
}

CommandLine readCommandLine(const char* text) {
  CommandLine commandLine;
  std::vector<std::string> paths;
  for (const std::string& word : splitCommandLine(text)) {
    if (word.size() < 2 || word[0] != '-') {
      paths.push_back(word);
    } else if (word == "--all-meshes") {
      commandLine.allMeshes = true;
    } else if (word == "--help") {
      commandLine.helpAsked = true;
    } else {
      commandLine.mistake = "unknown option \"" + word + "\"";
      return commandLine;
    }
  }
  if (paths.size() > 2) {
    commandLine.mistake = "a scene and a texture at most; \"" + paths[2] + "\" is one too many";
  }
  commandLine.scenePathGiven = paths.size() > 0;
  if (commandLine.scenePathGiven) commandLine.scenePath = paths[0];
  if (paths.size() > 1) commandLine.texturePath = paths[1];
  return commandLine;
}

std::string usageText(const char* programName) {
  return std::string("Usage: ") + programName + " [--all-meshes] [SCENE [TEXTURE]]\n" +
         "Draws the 3D Studio scene SCENE with the TIFF image TEXTURE (\"txt.tif\" when\n"
         "not given) on it, both from the working folder unless the path says otherwise.\n"
         "Without SCENE they are \"shadow2.3DS\" and \"txt.tif\" from the working folder\n"
         "when it holds that scene, else from the demo's installed data folder.\n"
         "\n"
         "  --all-meshes  draw every mesh of the scene, joined into one, so that they\n"
         "                shadow each other; without it only the first is drawn\n"
         "  --help        show this text and exit\n"
         "\n"
         "Keys (a fixed step per frame):\n"
         "  Up / Down           move forward / back\n"
         "  Left / Right        step left / right\n"
         "  Tab                 switch the six keys below between moving the light\n"
         "                      (at start) and turning the view\n"
         "  Home / End          light up / down, or turn about the eye's X axis\n"
         "  Delete / Page Down  light left / right, or turn about the eye's Y axis\n"
         "  Page Up / Insert    light away / nearer, or turn about the eye's Z axis\n"
         "  F2                  switch between the two shadow modes (the first at start)\n"
         "  F3                  show the shadow volume and its silhouette over the frame,\n"
         "                      or not (not at start)\n"
         "  F4                  show the frame after its next pass (depth, shadow mask,\n"
         "                      lit, ambient, textured), then the whole frame again\n"
         "  Escape              close the program, as the close button does\n"
         "\n"
         "Mouse (in proportion to the drag, with either use of Tab):\n"
         "  left drag           turn the view about the eye's X and Y axes, 0.2 degree\n"
         "                      a pixel; the scene follows the pointer\n"
         "  right drag          move the light in the plane facing the eye, 0.2 unit\n"
         "                      a pixel\n"
         "  wheel               move forward / back, 10 units a notch\n";
}

int answerCommandLine(const CommandLine& commandLine) {
  const bool mistaken = !commandLine.mistake.empty();
  const std::string name = programName();
  std::string text = usageText(name.c_str());
  if (mistaken) {
    // The mistake and the usage line; the rest is --help's.
    text = name + ": " + commandLine.mistake + "\n" + text.substr(0, text.find('\n') + 1) + "\"" +
           name + " --help\" tells more.\n";
  }
  if (standardStreamsReachUser()) {
    std::fputs(text.c_str(), mistaken ? stderr : stdout);
  } else {
    showMessageBox("Shadow Volume", text.c_str());
  }
  return mistaken ? 2 : 0;
}
