#pragma once

#include <string>

namespace zintrel {

// The lines the display window's menu shows in its box, the same in every
// shell. Paths and reasons are UTF-8; the box adds the full stop.

// Returns the line for a state that could not be opened, from the reader's
// problem (which names the file): the problem made printable, capitalised.
std::string OpenFailedText(const std::string& problem);

// Returns the line for a state or picture that could not be saved at path.
std::string SaveStateFailedText(const std::string& path, const std::string& reason);
std::string SavePictureFailedText(const std::string& path, const std::string& reason);

// The reason a picture of an empty display area cannot be saved.
inline constexpr char kEmptyPictureReason[] = "the display area is empty";

// Returns the notice shown when the screen has no room for a state's field
// size: the window got given instead of wanted.
std::string WindowTooSmallText(int wantedWidth, int wantedHeight, int givenWidth, int givenHeight);

// The line for any other action whose memory cannot be had.
inline constexpr char kNotEnoughMemoryText[] = "Not enough memory";

// Returns the line for a frame of width x height pixels whose memory cannot
// be had.
std::string NotEnoughMemoryText(int width, int height);

// The file name ending of a saved state, and the name a save proposes:
// zintrel-YYYYMMDD-HHMMSS.<suffix> for the given local time.
inline constexpr char kStateSuffix[] = "zintrel";
std::string ProposedFileName(int year, int month, int day, int hour, int minute, int second, const char* suffix);

}  // namespace zintrel
