#include "tools/frame_sequence.h"

#include <QFile>
#include <QTemporaryDir>
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

}  // namespace

FrameSequence::FrameSequence() = default;

// QTemporaryDir removes the staging folder and whatever is left in it.
FrameSequence::~FrameSequence() = default;

std::string FrameSequence::Start(const std::string& folder) {
  folder_ = folder;
  // Inside the target folder, so the final moves are renames on one file system.
  staging_ = std::make_unique<QTemporaryDir>(QString::fromStdString(folder) + QLatin1Char('/') +
                                             QLatin1String(kStagingPrefix) + QStringLiteral("XXXXXX"));
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

std::string FrameSequence::Commit() {
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
