#pragma once

#include <windows.h>

#include <string>

namespace zintrel {

// Hands memory (GlobalAlloc'd, movable) to the clipboard in format, in
// place of what it held. Returns "" or the reason; the memory is the
// clipboard's when it took it, and freed when it did not.
std::string PutOnClipboard(HWND owner, UINT format, HGLOBAL memory);

// Puts text on the clipboard as Unicode text; returns "" or the reason.
std::string CopyTextToClipboard(HWND owner, const std::wstring& text);

// Returns the clipboard's Unicode text, or "" when it holds none.
std::wstring ClipboardText(HWND owner);

}  // namespace zintrel
