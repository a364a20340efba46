#pragma once

#include <windows.h>

#include <string>

namespace zintrel {

// The settings window's font: the Japanese user-interface face the layout
// was made for, 12 pixels high at 96 dpi, or where Windows lacks it the
// nearest Japanese face it has, so the labels never show boxes.
HFONT CreateUiFont(UINT dpi);

// Returns the face CreateUiFont uses on this system.
std::wstring UiFontFace();

}  // namespace zintrel
