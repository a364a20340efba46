// Putting a finished file on its name so that what was there can always be
// put back: the step every save ends with.

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "state/saved_file.h"

namespace zintrel {
namespace {

std::string Reason(int error) { return std::strerror(error); }

// A rename is durable only once its folder is synced. Some file systems
// cannot sync a folder at all (EINVAL); there is nothing more to do then.
std::string SyncFolder(const std::string& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return Reason(errno);
  std::string problem;
  if (::fsync(descriptor) != 0 && errno != EINVAL) problem = Reason(errno);
  ::close(descriptor);
  return problem;
}

// The errors by which a file system says it cannot exchange two names (FAT,
// NFS, SMB, most FUSE file systems), as opposed to refusing this exchange.
bool CannotExchange(int error) { return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP; }

// Gives the old file at to the second name backup, then puts from on to.
// The old file never leaves the disk: a hard link keeps it under both names
// until the rename; where links are refused (FAT), it is renamed away first
// and renamed back should the second rename fail.
std::string PlaceBesideBackup(const std::string& from, const std::string& to, const std::string& backup) {
  if (backup.empty()) return Reason(ENAMETOOLONG);
  if (::link(to.c_str(), backup.c_str()) == 0) {
    if (::rename(from.c_str(), to.c_str()) == 0) return {};
    const int error = errno;
    ::unlink(backup.c_str());
    return Reason(error);
  }
  if (::rename(to.c_str(), backup.c_str()) != 0) return Reason(errno);
  if (::rename(from.c_str(), to.c_str()) == 0) return {};
  const int error = errno;
  ::rename(backup.c_str(), to.c_str());
  return Reason(error);
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

unsigned NewFolderPermissions() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0777 & ~mask;
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PlaceFile(const std::string& from, const std::string& to, const std::string& backup, Placement& placed) {
  placed = Placement{};
  struct stat existing {};
  if (::lstat(to.c_str(), &existing) != 0) {
    if (errno != ENOENT) return Reason(errno);
    if (::rename(from.c_str(), to.c_str()) != 0) return Reason(errno);
  } else if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
    placed.old = Placement::Old::kExchanged;
  } else if (!CannotExchange(errno)) {
    return Reason(errno);
  } else if (std::string problem = PlaceBesideBackup(from, to, backup); !problem.empty()) {
    return problem;
  } else {
    placed.old = Placement::Old::kBackedUp;
    placed.backup = backup;
  }
  std::string problem = SyncFolder(FolderOf(to));
  if (problem.empty() && !placed.backup.empty() && FolderOf(placed.backup) != FolderOf(to)) {
    problem = SyncFolder(FolderOf(placed.backup));
  }
  if (!problem.empty()) {
    UndoPlaceFile(from, to, placed);
    placed = Placement{};
  }
  return problem;
}

void UndoPlaceFile(const std::string& from, const std::string& to, const Placement& placed) {
  switch (placed.old) {
    case Placement::Old::kNone: ::rename(to.c_str(), from.c_str()); break;
    case Placement::Old::kExchanged:
      ::renameat2(AT_FDCWD, to.c_str(), AT_FDCWD, from.c_str(), RENAME_EXCHANGE);
      break;
    // One rename, in which the new file goes: to never stands empty.
    case Placement::Old::kBackedUp: ::rename(placed.backup.c_str(), to.c_str()); break;
  }
  SyncFolder(FolderOf(to));
}

void KeepPlaceFile(const std::string& from, const Placement& placed) {
  switch (placed.old) {
    case Placement::Old::kNone: break;
    case Placement::Old::kExchanged: ::unlink(from.c_str()); break;
    case Placement::Old::kBackedUp: ::unlink(placed.backup.c_str()); break;
  }
}

std::string RenameOnto(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return Reason(errno);
  if (std::string problem = SyncFolder(FolderOf(to)); !problem.empty()) {
    ::rename(to.c_str(), from.c_str());
    return problem;
  }
  return {};
}

}  // namespace zintrel
