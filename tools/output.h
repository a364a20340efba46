#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/frame_bitmap.h"

namespace zintrel {

class SavedFile;

// Returns "" when a file can be created at path: its folder exists and is
// writable and path is not a folder, or path is a pipe, terminal or socket
// that can be written to. Otherwise returns the problem. Checked
// before the run, so a long run is not wasted on an output that cannot be
// written; the write itself is still checked.
std::string CheckOutputFile(const std::string& path);

// Returns "" when path is a writable folder in which no name of the first
// frames frames is taken by anything but a regular file, or names nothing
// yet and its parent is a writable folder (where the folder will be
// created), else the problem.
std::string CheckOutputFolder(const std::string& path, std::int64_t frames);

// A file written in full under a temporary name in its final folder and
// moved onto its name only by Commit, so a reader never sees half a file and
// a failed run leaves nothing behind: dropping an uncommitted PendingFile
// removes the temporary, and puts back a file it replaced but did not keep.
class PendingFile {
 public:
  explicit PendingFile(const std::string& path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Each returns "" on success, else one line naming the file and the problem.
  std::string Write(const std::string& bytes);
  std::string WritePng(const FrameBitmap& bitmap);
  // Makes every byte written durable under the temporary name.
  std::string Seal();
  // Puts the sealed file on its name, keeping what was there for Undo until
  // Keep; see SavedFile.
  std::string Replace();
  void Undo();
  void Keep();
  std::string Commit();

 private:
  std::string Failure(const std::string& reason) const;

  std::string path_;
  std::unique_ptr<SavedFile> file_;
};

// Returns the frame encoded as a PNG file, or "" with problem set.
std::string EncodePng(const FrameBitmap& bitmap, std::string& problem);

// Writes the frame as a PNG file of Width() x Height() pixels, at once
// (through a PendingFile). Returns "" on success, else the problem.
std::string WriteFramePng(const std::string& path, const FrameBitmap& bitmap);

}  // namespace zintrel
