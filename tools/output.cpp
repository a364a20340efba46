#include "tools/output.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <sys/stat.h>
#include <unistd.h>

#include "state/saved_file.h"

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
  // looked up as it is.
  if (IsFolder(path)) return Quoted(path) + " is a folder";
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) return "cannot write " + Quoted(path) + ": its folder does not exist";
  if (::access(folder.c_str(), W_OK) != 0) return "cannot write " + Quoted(path) + ": its folder is not writable";
  if (Exists(path) && ::access(path.c_str(), W_OK) != 0) return "cannot write " + Quoted(path) + ": it is read-only";
  return {};
}

std::string CheckOutputFolder(const std::string& path) {
  // "frames/" names the folder frames, whose parent is the current folder.
  std::string cleaned = path;
  while (cleaned.size() > 1 && cleaned.back() == '/') cleaned.pop_back();
  struct stat link {};
  if (::lstat(cleaned.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && !Exists(cleaned)) {
    return "frames folder " + Quoted(path) + " is a link to nothing";
  }
  if (!Exists(cleaned)) {
    const std::string parent = FolderOf(cleaned);
    if (!IsFolder(parent)) return "cannot create frames folder " + Quoted(path) + ": its folder does not exist";
    if (::access(parent.c_str(), W_OK) != 0) {
      return "cannot create frames folder " + Quoted(path) + ": its folder is not writable";
    }
    return {};
  }
  if (!IsFolder(cleaned)) return "frames folder " + Quoted(path) + " is not a folder";
  if (::access(cleaned.c_str(), W_OK) != 0) return "frames folder " + Quoted(path) + " is not writable";
  return {};
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
