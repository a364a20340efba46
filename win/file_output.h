#pragma once

#include <windows.h>

#include <string>

#include "render/frame_bitmap.h"

namespace zintrel {

// Writes bytes to path under a temporary name in the same folder and renames
// it into place, so that a failure (no space, no permission) leaves a file
// already there whole. Returns "" or the reason (UTF-8).
std::string WriteWholeFile(const std::wstring& path, const std::string& bytes);

// Writes the frame as a PNG picture of Width() x Height() pixels, through
// the platform's imaging component, the same way. Returns "" or the reason.
std::string WriteFramePng(const std::wstring& path, const FrameBitmap& bitmap);

// Puts the frame on the clipboard as a device-independent bitmap. Returns
// "" or the reason.
std::string CopyFrameToClipboard(HWND owner, const FrameBitmap& bitmap);

}  // namespace zintrel
