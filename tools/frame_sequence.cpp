#include "tools/frame_sequence.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "state/saved_file.h"
#include "state/temporary_files.h"
#include "tools/output.h"

namespace zintrel {

std::string FrameFileName(std::int64_t tick) {
  char name[32];
  std::snprintf(name, sizeof name, "%06lld.png", static_cast<long long>(tick));
  return name;
}

std::int64_t FrameTickOf(const std::string& name) {
  constexpr std::string_view kSuffix = ".png";
  if (name.size() < 6 + kSuffix.size() || name.size() > 18 + kSuffix.size() || !name.ends_with(kSuffix)) return 0;
  std::int64_t tick = 0;
  for (std::size_t i = 0; i + kSuffix.size() < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    tick = tick * 10 + (name[i] - '0');
  }
  return FrameFileName(tick) == name ? tick : 0;
}

namespace {

// Found by whoever comes across a staging folder that a killed run left.
constexpr char kNoteText[] =
    "This folder holds the frames of a zintrel-headless run that did not finish:\n"
    "the program was killed, or the machine stopped, before it could move them\n"
    "into place or remove them. Nothing uses these files. The folder can be deleted.\n";

}  // namespace

FrameSequence::FrameSequence() = default;

FrameSequence::~FrameSequence() {
  if (committed_ && !kept_) Undo();
  RemoveStaging();
}

void FrameSequence::RemoveStaging() {
  if (staging_.empty() || stagingPlaced_) return;
  // Only what this sequence put there: the note, its frames, and the
  // earlier frames they displaced.
  ::unlink((staging_ + "/" + kStagingNote).c_str());
  for (std::int64_t tick = 1; tick <= count_; ++tick) {
    const std::string name = FrameFileName(tick);
    ::unlink((staging_ + "/" + name).c_str());
    ::unlink((staging_ + "/" + kDisplacedPrefix + name).c_str());
  }
  ::rmdir(staging_.c_str());
  staging_.clear();
}

std::string FrameSequence::Start(const std::string& folder) {
  folder_ = WithoutTrailingSlash(folder);
  struct stat status {};
  newFolder_ = ::stat(folder_.c_str(), &status) != 0;
  // On the same file system as the frames' final place, so that putting
  // them there takes renames only.
  const std::string parent = newFolder_ ? FolderOf(folder_) : folder_;
  RemoveStaleTemporaries(parent);
  std::string name = TemporaryName(parent, "frames");
  if (::mkdir(name.c_str(), 0700) != 0) return "cannot write frames into '" + folder + "': " + std::strerror(errno);
  staging_ = name;
  if (std::string problem = SaveWholeFile(staging_ + "/" + kStagingNote, kNoteText); !problem.empty()) {
    return "cannot write frames into '" + folder + "': " + problem;
  }
  count_ = 0;
  return {};
}

std::string FrameSequence::Add(const FrameBitmap& bitmap) {
  const std::string name = FrameFileName(count_ + 1);
  const std::string problem = WriteFramePng(staging_ + "/" + name, bitmap);
  if (problem.empty()) ++count_;
  return problem;
}

std::string FrameSequence::Place() {
  std::string problem = newFolder_ ? CommitAsNewFolder() : CommitIntoFolder();
  committed_ = problem.empty();
  return problem;
}

std::string FrameSequence::Commit() {
  if (std::string problem = Place(); !problem.empty()) return problem;
  Keep();
  return {};
}

std::string FrameSequence::CommitAsNewFolder() {
  const std::string failure = "cannot create frames folder '" + folder_ + "': ";
  // The note would otherwise end up among the frames. Should the process
  // die between here and the rename, the staging folder is left without it,
  // but the target folder still does not exist.
  if (::unlink((staging_ + "/" + kStagingNote).c_str()) != 0) return failure + std::strerror(errno);
  if (::chmod(staging_.c_str(), NewFolderPermissions()) != 0) return failure + std::strerror(errno);
  // Renamed, never exchanged: a folder of that name made meanwhile by
  // someone else is theirs (the rename then fails), unless it is empty.
  if (std::string problem = RenameOnto(staging_, folder_); !problem.empty()) return failure + problem;
  stagingPlaced_ = true;
  return {};
}

std::string FrameSequence::CommitIntoFolder() {
  placed_.clear();
  for (std::int64_t tick = 1; tick <= count_; ++tick) {
    const std::string name = FrameFileName(tick);
    const std::string target = folder_ + "/" + name;
    // Only a file is replaced: a folder or a link of that name is the
    // user's, and would be swapped into the staging folder.
    struct stat existing {};
    std::string problem;
    if (::lstat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
      problem = "it is not a regular file";
    } else {
      Placement placed;
      problem = PlaceFile(staging_ + "/" + name, target, staging_ + "/" + kDisplacedPrefix + name, placed);
      if (problem.empty()) placed_.push_back(placed);
    }
    if (!problem.empty()) {
      committed_ = true;
      Undo();
      return "cannot write '" + target + "': " + problem;
    }
  }
  return {};
}

void FrameSequence::Undo() {
  if (kept_) return;
  if (newFolder_) {
    if (stagingPlaced_) {
      // The folder goes back to being the staging folder, removed with it.
      ::rename(folder_.c_str(), staging_.c_str());
      stagingPlaced_ = false;
    }
  } else {
    for (std::size_t i = placed_.size(); i-- > 0;) {
      const std::string name = FrameFileName(static_cast<std::int64_t>(i) + 1);
      UndoPlaceFile(staging_ + "/" + name, folder_ + "/" + name, placed_[i]);
    }
    placed_.clear();
  }
  committed_ = false;
}

void FrameSequence::Keep() { kept_ = true; }

}  // namespace zintrel
