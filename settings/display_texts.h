#pragma once

#include <cstdint>
#include <string>

#include "settings/catalog.h"

#include "state/state_file.h"

namespace zintrel {

// The lines the windows show in their boxes, the same in every shell, in the
// user interface language. Paths and reasons are UTF-8, quoted as one
// printable line.

// Returns the line for a state at path that could not be opened.
std::string OpenFailedText(const std::string& path, const StateFileError& error);

// Returns the line for a link (the web page's) whose run cannot be replayed.
std::string OpenLinkFailedText(const std::string& problem);

// Returns the line for a state or picture that could not be saved at path.
std::string SaveStateFailedText(const std::string& path, const std::string& reason);
std::string SavePictureFailedText(const std::string& path, const std::string& reason);
std::string CopyPictureFailedText(const std::string& reason);
std::string CopyLinkFailedText(const std::string& reason);

// The reason a picture of an empty display area cannot be saved.
std::string EmptyPictureReason();

// Returns the notice shown when the screen has no room for a state's field
// size: the window got given instead of wanted.
std::string WindowTooSmallText(int wantedWidth, int wantedHeight, int givenWidth, int givenHeight);

// Returns what a box shows for a message: the message with the language's
// full stop, unless it already ends with one.
std::string WithFullStop(const std::string& message);

// Returns the line for any other action whose memory cannot be had.
std::string NotEnoughMemoryText();

// Returns the line for a frame of width x height pixels whose memory cannot
// be had.
std::string NotEnoughMemoryText(int width, int height);

// The file name ending of a saved state, and the name a save proposes:
// zintrel-YYYYMMDD-HHMMSS.<suffix> for the given local time. It holds no
// words, so it is the same in every language.
inline constexpr char kStateSuffix[] = "zintrel";
std::string ProposedFileName(int year, int month, int day, int hour, int minute, int second, const char* suffix);

// Returns the line for a recording that could not be saved at path.
std::string SaveRecordingFailedText(const std::string& path, const std::string& reason);

// Returns the notice that a recording ended because the display changed
// size, which an animation cannot: what was recorded is kept at path.
std::string RecordingEndedText(const std::string& path);

// Returns what the display window's title adds while it records: for how
// long the recording plays so far (hundredths of a second) and how large
// its file is, and, when the drawing speed is faster than animations play,
// that it plays slower than drawn.
std::string RecordingStatusText(std::int64_t length, std::int64_t bytes, bool slowerThanDrawn);

// The menu item that ends a recording, in place of Record….
inline constexpr const char* kStopRecordingText = TrNoop("Stop recording");

// What a file dialog is asked for, and the texts it shows.
enum class FileRequest { kSaveState, kOpenState, kSavePicture, kSaveRecording };
struct FileDialogTexts {
  std::string title;
  // (description, pattern) pairs, the first preselected; the description
  // names its pattern, as both toolkits show it.
  std::string filters[2][2];
  int filterCount;
};
FileDialogTexts DialogTexts(FileRequest request);

}  // namespace zintrel
