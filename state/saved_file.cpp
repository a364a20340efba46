#include "state/saved_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace zintrel {
namespace {

std::string Reason(int error) { return std::strerror(error); }

// Saving through a link updates the file it names, as an editor does; a link
// to nothing is itself replaced.
std::string Resolved(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (real == nullptr) return path;
  std::string resolved(real);
  std::free(real);
  return resolved;
}

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

// A short name of its own in the target's folder: never longer than the
// name the user chose allows, and hidden from file listings.
std::string TemporaryName(const std::string& folder) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand letters(std::random_device{}());
  std::string name = folder + "/.zintrel-";
  for (int i = 0; i < 8; ++i) name += kLetters[letters() % (sizeof kLetters - 1)];
  return name + ".part";
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string PlaceFile(const std::string& from, const std::string& to, bool& exchanged, bool mayExchange) {
  exchanged = false;
  if (!mayExchange) {
    if (::rename(from.c_str(), to.c_str()) != 0) return Reason(errno);
  } else if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
    exchanged = true;
  } else if (errno == ENOENT || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
    // Nothing at to yet, or a file system that cannot exchange: a plain
    // rename, which still replaces to in one step.
    if (::rename(from.c_str(), to.c_str()) != 0) return Reason(errno);
  } else {
    return Reason(errno);
  }
  if (std::string problem = SyncFolder(FolderOf(to)); !problem.empty()) {
    UndoPlaceFile(from, to, exchanged);
    return problem;
  }
  return {};
}

void UndoPlaceFile(const std::string& from, const std::string& to, bool exchanged) {
  if (exchanged) {
    ::renameat2(AT_FDCWD, to.c_str(), AT_FDCWD, from.c_str(), RENAME_EXCHANGE);
  } else {
    ::rename(to.c_str(), from.c_str());
  }
  SyncFolder(FolderOf(to));
}

SavedFile::SavedFile(std::string path) : target_(Resolved(path)) {}

SavedFile::~SavedFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
  if (replaced_ && !kept_) Undo();
  // The temporary name holds the new file unless Replace moved it away, or
  // the displaced old one until Keep removed it.
  if (!temporary_.empty() && (!replaced_ || exchanged_) && !(kept_ && exchanged_)) ::unlink(temporary_.c_str());
}

std::string SavedFile::Open() {
  if (descriptor_ >= 0) return {};
  if (sealed_) return Reason(EBADF);
  const std::string folder = FolderOf(target_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName(folder);
    // 0666 less the umask, as any new file; an existing file's own
    // permissions are carried over below.
    descriptor_ = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor_ >= 0) {
      temporary_ = std::move(name);
      break;
    }
    if (errno != EEXIST) return Reason(errno);
  }
  if (descriptor_ < 0) return Reason(EEXIST);
  struct stat existing {};
  if (::stat(target_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    // Best effort: a file of another owner keeps the new file's defaults.
    ::fchmod(descriptor_, existing.st_mode & 07777);
  }
  return {};
}

std::string SavedFile::Write(std::string_view bytes) {
  if (std::string problem = Open(); !problem.empty()) return problem;
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return Reason(errno);
    // A file system that takes nothing and names no error is full.
    if (written == 0) return Reason(ENOSPC);
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

std::string SavedFile::Seal() {
  if (sealed_) return {};
  if (std::string problem = Open(); !problem.empty()) return problem;
  // A full disk may show only here, when the system writes what it kept
  // back; so may an error of the device.
  if (::fsync(descriptor_) != 0) return Reason(errno);
  const int closed = ::close(descriptor_);
  descriptor_ = -1;
  if (closed != 0 && errno != EINTR) return Reason(errno);
  sealed_ = true;
  return {};
}

std::string SavedFile::Replace() {
  if (std::string problem = Seal(); !problem.empty()) return problem;
  struct stat existing {};
  // Exchanging would put a folder where the file was asked for.
  if (::lstat(target_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) return Reason(EISDIR);
  if (std::string problem = PlaceFile(temporary_, target_, exchanged_); !problem.empty()) return problem;
  replaced_ = true;
  return {};
}

void SavedFile::Undo() {
  if (!replaced_ || kept_) return;
  UndoPlaceFile(temporary_, target_, exchanged_);
  replaced_ = false;
  exchanged_ = false;
}

void SavedFile::Keep() {
  if (!replaced_ || kept_) return;
  kept_ = true;
  if (exchanged_) ::unlink(temporary_.c_str());
}

std::string SavedFile::Commit() {
  if (std::string problem = Replace(); !problem.empty()) return problem;
  Keep();
  return {};
}

std::string SaveWholeFile(const std::string& path, std::string_view bytes) {
  SavedFile file(path);
  if (std::string problem = file.Write(bytes); !problem.empty()) return problem;
  return file.Commit();
}

}  // namespace zintrel
