#pragma once

#include <windows.h>
#include <wincodec.h>

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
// WriteFramePng, asking the encoder for the pixel format asked instead of
// the frame's own; whatever format the encoder takes, the picture is the
// frame's. For the tests of the conversion.
std::string WriteFramePngAs(const std::wstring& path, const FrameBitmap& bitmap, const WICPixelFormatGUID& asked);

// Puts the frame on the clipboard as a device-independent bitmap. Returns
// "" or the reason.
std::string CopyFrameToClipboard(HWND owner, const FrameBitmap& bitmap);

}  // namespace zintrel
