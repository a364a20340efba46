#include "tools/frame_sequence.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tools/output.h"

namespace zintrel {

std::string FrameFileName(std::int64_t tick) {
  char name[32];
  std::snprintf(name, sizeof name, "%06lld.png", static_cast<long long>(tick));
  return name;
}

namespace {

// Found by whoever comes across a staging folder that a killed run left.
constexpr char kNoteText[] =
    "This folder holds the frames of a zintrel-headless run that did not finish:\n"
    "the program was killed, or the machine stopped, before it could move them\n"
    "into place or remove them. Nothing uses these files. The folder can be deleted.\n";

// Returns path without trailing slashes ("/" stays), so that it names the
// folder itself when it is renamed or its parent is looked up.
std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Returns the permissions mkdir would give a new folder: everything the
// umask allows. umask can only be read by setting it, so it is set back at
// once; no other thread creates files while frames are committed.
std::filesystem::perms NewFolderPermissions() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return static_cast<std::filesystem::perms>(0777 & ~mask);
}

}  // namespace

FrameSequence::FrameSequence() = default;

// QTemporaryDir removes the staging folder and whatever is left in it.
FrameSequence::~FrameSequence() = default;

std::string FrameSequence::Start(const std::string& folder) {
  folder_ = WithoutTrailingSlash(folder);
  const QFileInfo target(QString::fromStdString(folder_));
  newFolder_ = !target.exists();
  // On the same file system as the frames' final place, so that putting
  // them there takes renames only.
  const QString parent = newFolder_ ? target.absolutePath() : target.absoluteFilePath();
  staging_ = std::make_unique<QTemporaryDir>(parent + QLatin1Char('/') + QLatin1String(kStagingPrefix) +
                                             QStringLiteral("XXXXXX"));
  if (!staging_->isValid()) {
    return "cannot write frames into '" + folder + "': " + staging_->errorString().toStdString();
  }
  QFile note(staging_->filePath(QLatin1String(kStagingNote)));
  const qint64 noteSize = static_cast<qint64>(sizeof kNoteText) - 1;
  if (!note.open(QIODevice::WriteOnly) || note.write(kNoteText, noteSize) != noteSize) {
    return "cannot write frames into '" + folder + "': " + note.errorString().toStdString();
  }
  count_ = 0;
  return {};
}

std::string FrameSequence::Add(const FrameBitmap& bitmap) {
  const std::string name = FrameFileName(count_ + 1);
  const std::string problem = WriteFramePng(staging_->filePath(QString::fromStdString(name)).toStdString(), bitmap);
  if (problem.empty()) ++count_;
  return problem;
}

std::string FrameSequence::Commit() { return newFolder_ ? CommitAsNewFolder() : CommitIntoFolder(); }

std::string FrameSequence::CommitAsNewFolder() {
  const std::filesystem::path staging = staging_->path().toStdString();
  const std::string failure = "cannot create frames folder '" + folder_ + "': ";
  std::error_code error;
  // The note would otherwise end up among the frames. Should the process
  // die between here and the rename, the staging folder is left without it,
  // but the target folder still does not exist.
  std::filesystem::remove(staging / kStagingNote, error);
  if (!error) std::filesystem::permissions(staging, NewFolderPermissions(), error);
  if (!error) std::filesystem::rename(staging, folder_, error);
  if (error) return failure + error.message();
  staging_->setAutoRemove(false);
  return {};
}

std::string FrameSequence::CommitIntoFolder() {
  const std::filesystem::path staging = staging_->path().toStdString();
  for (std::int64_t tick = 1; tick <= count_; ++tick) {
    const std::string name = FrameFileName(tick);
    std::error_code error;
    std::filesystem::rename(staging / name, std::filesystem::path(folder_) / name, error);
    if (error) return "cannot write '" + (std::filesystem::path(folder_) / name).string() + "': " + error.message();
  }
  return {};
}

}  // namespace zintrel
