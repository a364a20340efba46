#include "tools/output.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

namespace zintrel {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Returns the frame's pixels as an image without copying them: the bitmap
// already uses the layout of QImage::Format_RGB32.
QImage FrameImage(const FrameBitmap& bitmap) {
  return QImage(reinterpret_cast<const uchar*>(bitmap.Pixels()), bitmap.Width(), bitmap.Height(),
                static_cast<qsizetype>(bitmap.Stride()) * 4, QImage::Format_RGB32);
}

}  // namespace

std::string CheckOutputFile(const std::string& path) {
  const QFileInfo file(QString::fromStdString(path));
  if (file.isDir()) return Quoted(path) + " is a folder";
  const QFileInfo folder(file.absolutePath());
  if (!folder.isDir()) return "cannot write " + Quoted(path) + ": its folder does not exist";
  if (!folder.isWritable()) return "cannot write " + Quoted(path) + ": its folder is not writable";
  if (file.exists() && !file.isWritable()) return "cannot write " + Quoted(path) + ": it is read-only";
  return {};
}

std::string CheckOutputFolder(const std::string& path) {
  // "frames/" names the folder frames, whose parent is the current folder.
  QString cleaned = QString::fromStdString(path);
  while (cleaned.size() > 1 && cleaned.endsWith(QLatin1Char('/'))) cleaned.chop(1);
  const QFileInfo folder(cleaned);
  if (folder.isSymLink() && !folder.exists()) return "frames folder " + Quoted(path) + " is a link to nothing";
  if (!folder.exists()) {
    const QFileInfo parent(folder.absolutePath());
    if (!parent.isDir()) return "cannot create frames folder " + Quoted(path) + ": its folder does not exist";
    if (!parent.isWritable()) return "cannot create frames folder " + Quoted(path) + ": its folder is not writable";
    return {};
  }
  if (!folder.isDir()) return "frames folder " + Quoted(path) + " is not a folder";
  if (!folder.isWritable()) return "frames folder " + Quoted(path) + " is not writable";
  return {};
}

PendingFile::PendingFile(const std::string& path)
    : path_(path), file_(std::make_unique<QSaveFile>(QString::fromStdString(path))) {}

// QSaveFile's destructor discards the temporary unless it was committed.
PendingFile::~PendingFile() = default;

std::string PendingFile::Failure(const std::string& reason) const {
  return "cannot write " + Quoted(path_) + ": " + reason;
}

std::string PendingFile::Open() {
  if (file_->isOpen()) return {};
  // Never fall back to writing the final file in place: that is exactly the
  // half-written output a failure must not leave.
  file_->setDirectWriteFallback(false);
  if (!file_->open(QIODevice::WriteOnly)) return Failure(file_->errorString().toStdString());
  return {};
}

std::string PendingFile::Write(const std::string& bytes) {
  if (std::string problem = Open(); !problem.empty()) return problem;
  if (file_->write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    return Failure(file_->errorString().toStdString());
  }
  return {};
}

std::string PendingFile::WritePng(const FrameBitmap& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) {
    return Failure("a PNG image cannot have " + std::to_string(bitmap.Width()) + " x " +
                   std::to_string(bitmap.Height()) + " pixels");
  }
  if (std::string problem = Open(); !problem.empty()) return problem;
  QImageWriter writer(file_.get(), "png");
  if (!writer.write(FrameImage(bitmap))) return Failure(writer.errorString().toStdString());
  return {};
}

std::string PendingFile::Commit() {
  if (std::string problem = Open(); !problem.empty()) return problem;
  if (!file_->commit()) return Failure(file_->errorString().toStdString());
  return {};
}

std::string WriteFramePng(const std::string& path, const FrameBitmap& bitmap) {
  PendingFile file(path);
  if (std::string problem = file.WritePng(bitmap); !problem.empty()) return problem;
  return file.Commit();
}

}  // namespace zintrel
