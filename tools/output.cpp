#include "tools/output.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "state/saved_file.h"
#include "tools/frame_sequence.h"

namespace zintrel {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Returns the frame's pixels as an image without copying them: the bitmap
// already uses the layout of QImage::Format_RGB32.
QImage FrameImage(const FrameBitmap& bitmap) {
  return QImage(reinterpret_cast<const uchar*>(bitmap.Pixels()), bitmap.Width(), bitmap.Height(),
                static_cast<qsizetype>(bitmap.Stride()) * 4, QImage::Format_RGB32);
}

bool Exists(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace

std::string CheckOutputFile(const std::string& path) {
  // The system's own calls on the bytes given: a name that is not UTF-8 is
  // looked up as it is, and every refusal carries the system's reason.
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    if (S_ISDIR(status.st_mode)) return Quoted(path) + " is a folder";
    if (S_ISBLK(status.st_mode)) return "cannot write " + Quoted(path) + ": it is a block device";
    // A pipe, a terminal or a socket: written in place, as a stream.
    if (::access(path.c_str(), W_OK) != 0) return "cannot write " + Quoted(path) + ": " + std::strerror(errno);
    return {};
  }
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) return "cannot write " + Quoted(path) + ": its folder does not exist";
  if (::access(folder.c_str(), W_OK) != 0) return "cannot write " + Quoted(path) + ": " + std::strerror(errno);
  if (Exists(path) && ::access(path.c_str(), W_OK) != 0) {
    return "cannot write " + Quoted(path) + ": " + std::strerror(errno);
  }
  return {};
}

std::string CheckOutputFolder(const std::string& path, std::int64_t frames) {
  // "frames/" names the folder frames, whose parent is the current folder.
  const std::string cleaned = WithoutTrailingSlash(path);
  struct stat link {};
  if (::lstat(cleaned.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && !Exists(cleaned)) {
    return "frames folder " + Quoted(path) + " is a link to nothing";
  }
  if (!Exists(cleaned)) {
    const std::string parent = FolderOf(cleaned);
    if (!IsFolder(parent)) return "cannot create frames folder " + Quoted(path) + ": its folder does not exist";
    if (::access(parent.c_str(), W_OK) != 0) {
      return "cannot create frames folder " + Quoted(path) + ": " + std::strerror(errno);
    }
    return {};
  }
  if (!IsFolder(cleaned)) return "frames folder " + Quoted(path) + " is not a folder";
  if (::access(cleaned.c_str(), W_OK) != 0) return "frames folder " + Quoted(path) + ": " + std::strerror(errno);
  // A frame replaces a file of its name, and nothing else: a folder, a link
  // or a pipe there is the user's.
  DIR* listing = ::opendir(cleaned.c_str());
  if (listing == nullptr) return "frames folder " + Quoted(path) + ": " + std::strerror(errno);
  std::string problem;
  while (const dirent* entry = ::readdir(listing)) {
    const std::int64_t tick = FrameTickOf(entry->d_name);
    if (tick < 1 || tick > frames) continue;
    const std::string name = cleaned + "/" + entry->d_name;
    if (::lstat(name.c_str(), &link) == 0 && !S_ISREG(link.st_mode)) {
      problem = "cannot write frame " + Quoted(name) + ": it is not a regular file";
      break;
    }
  }
  ::closedir(listing);
  return problem;
}

PendingFile::PendingFile(const std::string& path) : path_(path), file_(std::make_unique<SavedFile>(path)) {}

PendingFile::~PendingFile() = default;

std::string PendingFile::Failure(const std::string& reason) const {
  return reason.empty() ? reason : "cannot write " + Quoted(path_) + ": " + reason;
}

std::string PendingFile::Write(const std::string& bytes) { return Failure(file_->Write(bytes)); }

std::string EncodePng(const FrameBitmap& bitmap, std::string& problem) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) {
    problem = "a PNG image cannot have " + std::to_string(bitmap.Width()) + " x " + std::to_string(bitmap.Height()) +
              " pixels";
    return {};
  }
  // Encoded in memory and written through the checked path: an encoder
  // writing to a file itself would leave its last buffer unchecked.
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "png");
  if (!writer.write(FrameImage(bitmap))) {
    problem = writer.errorString().toStdString();
    return {};
  }
  return bytes.toStdString();
}

std::string PendingFile::WritePng(const FrameBitmap& bitmap) {
  std::string problem;
  const std::string png = EncodePng(bitmap, problem);
  if (!problem.empty()) return Failure(problem);
  return Write(png);
}

std::string PendingFile::Seal() { return Failure(file_->Seal()); }
std::string PendingFile::Replace() { return Failure(file_->Replace()); }
void PendingFile::Undo() { file_->Undo(); }
void PendingFile::Keep() { file_->Keep(); }
std::string PendingFile::Commit() { return Failure(file_->Commit()); }

std::string WriteFramePng(const std::string& path, const FrameBitmap& bitmap) {
  PendingFile file(path);
  if (std::string problem = file.WritePng(bitmap); !problem.empty()) return problem;
  return file.Commit();
}

}  // namespace zintrel
