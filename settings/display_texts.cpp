#include "settings/display_texts.h"

#include <cstdio>

#include "settings/catalog.h"
#include "state/printable_text.h"

namespace zintrel {
namespace {

// A path from a file manager may hold anything; a line break would split the
// box's one line.
std::string Quoted(const std::string& path) { return Format(Tr("'%1$s'"), {BoxText(path)}); }

}  // namespace

std::string OpenFailedText(const std::string& path, const StateFileError& error) {
  const std::string file = Quoted(path);
  const std::string reason = BoxText(error.reason);
  switch (error.problem) {
    case StateFileProblem::kNone: return {};
    case StateFileProblem::kCannotRead: return Format(Tr("Cannot read %1$s: %2$s"), {file, reason});
    case StateFileProblem::kFolder: return Format(Tr("%1$s is a folder, not a saved state"), {file});
    case StateFileProblem::kNotRegularFile: return Format(Tr("%1$s is not a regular file"), {file});
    case StateFileProblem::kTooLarge: return Format(Tr("%1$s is too large to be a saved state"), {file});
    case StateFileProblem::kNotAState:
      return Format(Tr("%1$s is not a state this program can open: %2$s"), {file, reason});
  }
  return {};
}

std::string SaveStateFailedText(const std::string& path, const std::string& reason) {
  return Format(Tr("Cannot save the state as %1$s: %2$s"), {Quoted(path), BoxText(reason)});
}

std::string SavePictureFailedText(const std::string& path, const std::string& reason) {
  return Format(Tr("Cannot save the picture as %1$s: %2$s"), {Quoted(path), BoxText(reason)});
}

std::string SaveRecordingFailedText(const std::string& path, const std::string& reason) {
  return Format(Tr("Cannot save the recording as %1$s: %2$s"), {Quoted(path), BoxText(reason)});
}

std::string RecordingEndedText(const std::string& path) {
  return Format(Tr("The recording ended when the display changed size; it is saved as %1$s"), {Quoted(path)});
}

std::string RecordingStatusText(std::int64_t length, std::int64_t bytes, bool slowerThanDrawn) {
  const std::int64_t seconds = length / 100;
  char time[32];
  std::snprintf(time, sizeof time, "%lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  char size[32];
  if (bytes < 1000 * 1000) {
    std::snprintf(size, sizeof size, "%lld kB", static_cast<long long>((bytes + 999) / 1000));
  } else {
    std::snprintf(size, sizeof size, "%.1f MB", static_cast<double>(bytes) / 1e6);
  }
  return Format(slowerThanDrawn ? Tr("recording %1$s, %2$s; it plays slower than drawn, at 50 frames a second")
                                : Tr("recording %1$s, %2$s"),
                {time, size});
}

std::string CopyPictureFailedText(const std::string& reason) {
  return Format(Tr("Cannot copy the picture: %1$s"), {BoxText(reason)});
}

std::string CopyLinkFailedText(const std::string& reason) {
  return Format(Tr("Cannot copy the link: %1$s"), {BoxText(reason)});
}

std::string OpenLinkFailedText(const std::string& problem) {
  return Format(Tr("This link cannot be replayed: %1$s"), {BoxText(problem)});
}

std::string EmptyPictureReason() { return Tr("the display area is empty"); }

std::string WindowTooSmallText(int wantedWidth, int wantedHeight, int givenWidth, int givenHeight) {
  return Format(Tr("The display window cannot be %1$s × %2$s pixels on this screen; it is %3$s × %4$s, and the "
                   "next tick stretches the particles to fit"),
                {std::to_string(wantedWidth), std::to_string(wantedHeight), std::to_string(givenWidth),
                 std::to_string(givenHeight)});
}

std::string WithFullStop(const std::string& message) {
  // The full stop is the language's own: a Japanese sentence ends in "。".
  const std::string stopped = Format(Tr("%1$s."), {""});
  const auto endsWith = [&message](const std::string& end) {
    return !end.empty() && message.size() >= end.size() && message.compare(message.size() - end.size(), end.size(), end) == 0;
  };
  if (endsWith(".") || endsWith(stopped)) return message;
  return Format(Tr("%1$s."), {message});
}

std::string NotEnoughMemoryText() { return Tr("Not enough memory"); }

std::string NotEnoughMemoryText(int width, int height) {
  return Format(Tr("Not enough memory for a frame of %1$s × %2$s pixels"),
                {std::to_string(width), std::to_string(height)});
}

std::string ProposedFileName(int year, int month, int day, int hour, int minute, int second, const char* suffix) {
  char name[64];
  std::snprintf(name, sizeof name, "zintrel-%04d%02d%02d-%02d%02d%02d.%s", year, month, day, hour, minute, second,
                suffix);
  return name;
}

FileDialogTexts DialogTexts(FileRequest request) {
  switch (request) {
    case FileRequest::kSaveState:
      return {Tr("Save state"), {{Tr("Zintrel states (*.zintrel)"), "*.zintrel"}, {Tr("All files (*)"), "*"}}, 2};
    case FileRequest::kOpenState:
      return {Tr("Open state"), {{Tr("Zintrel states (*.zintrel)"), "*.zintrel"}, {Tr("All files (*)"), "*"}}, 2};
    case FileRequest::kSavePicture:
      return {Tr("Save picture"), {{Tr("PNG pictures (*.png)"), "*.png"}, {}}, 1};
    case FileRequest::kSaveRecording:
      return {Tr("Save recording"), {{Tr("GIF animations (*.gif)"), "*.gif"}, {}}, 1};
  }
  return {};
}

}  // namespace zintrel
