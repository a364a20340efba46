#pragma once

#include <windows.h>
#include <wincodec.h>

#include <string>
#include <string_view>

#include "render/frame_bitmap.h"
#include "settings/recorder.h"

namespace zintrel {

// A file written in pieces as they come, under a temporary name in path's
// folder, and renamed into place by Commit once synced and checked to its
// last byte. Until then, and for good after any failure, path holds what it
// held before; a file dropped without Commit leaves nothing behind. Every
// call's failure carries the system's reason (UTF-8), and the first failure
// is what every later call answers. A file of the same name (however
// spelled) still being written, a recording's, is refused: whichever were
// put in place second would silently replace the other.
class FileInPieces {
 public:
  explicit FileInPieces(const std::wstring& path);
  ~FileInPieces();
  FileInPieces(const FileInPieces&) = delete;
  FileInPieces& operator=(const FileInPieces&) = delete;

  // Appends bytes. Returns "" or the reason.
  std::string Write(std::string_view bytes);
  // Syncs the file, checks its size, closes it and puts it on its name.
  // Returns "" or the reason.
  std::string Commit();

 private:
  // Takes the file off the writes under way.
  void Finished();
  // Notes the first failure, closes and deletes the temporary, and returns
  // the failure.
  const std::string& Abandon(std::string reason);

  std::wstring target_;
  std::wstring temporary_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  unsigned long long written_ = 0;  // Bytes the system took so far.
  std::string problem_;  // The first failure, or "".
};

// A recording's file: each frame's bytes appended as the tick draws it, so
// that memory stays flat however long it runs, and the animation on its
// name only once whole.
class RecordingFile : public RecordingSink {
 public:
  explicit RecordingFile(const std::wstring& path) : file_(path) {}
  std::string Write(std::string_view bytes) override { return file_.Write(bytes); }
  std::string Finish() override { return file_.Commit(); }

 private:
  FileInPieces file_;
};

// Writes bytes to path as one FileInPieces, so that a failure (no space, no
// permission) leaves a file already there whole. Returns "" or the reason.
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
