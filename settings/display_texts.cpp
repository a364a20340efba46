#include "settings/display_texts.h"

#include <cstdio>

#include "state/printable_text.h"

namespace zintrel {
namespace {

// A path from a file manager may hold anything; a line break would split the
// box's one line.
std::string Quoted(const std::string& path) { return "'" + BoxText(path) + "'"; }

}  // namespace

std::string OpenFailedText(const std::string& problem) {
  std::string line = BoxText(problem);
  if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = static_cast<char>(line[0] - 'a' + 'A');
  return line;
}

std::string SaveStateFailedText(const std::string& path, const std::string& reason) {
  return "Cannot save the state as " + Quoted(path) + ": " + BoxText(reason);
}

std::string SavePictureFailedText(const std::string& path, const std::string& reason) {
  return "Cannot save the picture as " + Quoted(path) + ": " + BoxText(reason);
}

std::string WindowTooSmallText(int wantedWidth, int wantedHeight, int givenWidth, int givenHeight) {
  return "The display window cannot be " + std::to_string(wantedWidth) + " × " + std::to_string(wantedHeight) +
         " pixels on this screen; it is " + std::to_string(givenWidth) + " × " + std::to_string(givenHeight) +
         ", and the next tick stretches the particles to fit";
}

std::string NotEnoughMemoryText(int width, int height) {
  return "Not enough memory for a frame of " + std::to_string(width) + " × " + std::to_string(height) + " pixels";
}

std::string ProposedFileName(int year, int month, int day, int hour, int minute, int second, const char* suffix) {
  char name[64];
  std::snprintf(name, sizeof name, "zintrel-%04d%02d%02d-%02d%02d%02d.%s", year, month, day, hour, minute, second,
                suffix);
  return name;
}

}  // namespace zintrel
