#include "state/saved_file.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "state/temporary_files.h"

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

// Returns N when path is "prefix" followed by a descriptor number N, else -1.
int DescriptorAfter(const std::string& path, const std::string& prefix) {
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0 || path.size() - prefix.size() > 9) {
    return -1;
  }
  int number = 0;
  for (std::size_t i = prefix.size(); i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return -1;
    number = number * 10 + (path[i] - '0');
  }
  return number;
}

// Returns the descriptor of this process that path names, through any
// links (/dev/stdout names /proc/self/fd/1), or -1. Such a name is the
// descriptor itself: writing to it continues where the process's own
// output stands, in a file a shell opened for appending too.
int OwnDescriptorNamed(std::string path) {
  const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (int hop = 0; hop < 16; ++hop) {
    for (const char* prefix : {"/proc/self/fd/", "/proc/thread-self/fd/", "/dev/fd/"}) {
      if (const int descriptor = DescriptorAfter(path, prefix); descriptor >= 0) return descriptor;
    }
    if (const int descriptor = DescriptorAfter(path, own); descriptor >= 0) return descriptor;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length <= 0) return -1;
    std::string next(target, static_cast<std::size_t>(length));
    path = next.front() == '/' ? next : FolderOf(path) + "/" + next;
  }
  return -1;
}

// Whether what path names (links followed) is to be written in place.
bool IsStream(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  return S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISBLK(status.st_mode);
}

// A socket's name is not opened but connected to.
int ConnectTo(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int descriptor = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (descriptor < 0) return -1;
  if (::connect(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    ::close(descriptor);
    errno = error;
    return -1;
  }
  return descriptor;
}

}  // namespace

SavedFile::SavedFile(std::string path, bool waitForReader) : waitForReader_(waitForReader) {
  ownDescriptor_ = OwnDescriptorNamed(path);
  stream_ = ownDescriptor_ >= 0 || IsStream(path);
  target_ = stream_ ? std::move(path) : Resolved(path);
}

SavedFile::~SavedFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
  if (stream_) return;
  if (replaced_ && !kept_) Undo();
  // Short of Keep, the temporary name holds the new file: never placed, or
  // put back there by Undo.
  if (!temporary_.empty() && !kept_) ::unlink(temporary_.c_str());
}

std::string SavedFile::OpenStream() {
  if (ownDescriptor_ >= 0) {
    descriptor_ = ::fcntl(ownDescriptor_, F_DUPFD_CLOEXEC, 0);
    return descriptor_ >= 0 ? std::string() : Reason(errno);
  }
  struct stat status {};
  if (::stat(target_.c_str(), &status) != 0) return Reason(errno);
  // A state written over a disk would destroy what is on it.
  if (S_ISBLK(status.st_mode)) return Reason(ENOTSUP);
  if (S_ISSOCK(status.st_mode)) {
    descriptor_ = ConnectTo(target_);
    return descriptor_ >= 0 ? std::string() : Reason(errno);
  }
  // A pipe with no reader makes a plain open wait for one; asked first
  // without waiting, it says so (ENXIO) instead.
  descriptor_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor_ < 0 && errno == ENXIO && waitForReader_) {
    descriptor_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  }
  if (descriptor_ < 0) return Reason(errno);
  // Written as any output: each write waits until the reader takes it.
  const int flags = ::fcntl(descriptor_, F_GETFL);
  if (flags < 0 || ::fcntl(descriptor_, F_SETFL, flags & ~O_NONBLOCK) != 0) return Reason(errno);
  return {};
}

std::string SavedFile::Open() {
  if (descriptor_ >= 0) return {};
  if (sealed_) return Reason(EBADF);
  if (stream_) return OpenStream();
  const std::string folder = FolderOf(target_);
  // A folder of this program's own (the frames of a run) holds no one
  // else's leftovers, and is written many times.
  if (!IsTemporaryName(NameOf(folder))) RemoveStaleTemporaries(folder);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = TemporaryName(folder, "part");
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
  // back; so may an error of the device. A pipe or a terminal has nothing
  // to sync.
  if (::fsync(descriptor_) != 0 && !(stream_ && (errno == EINVAL || errno == EROFS))) return Reason(errno);
  const int closed = ::close(descriptor_);
  descriptor_ = -1;
  if (closed != 0 && errno != EINTR) return Reason(errno);
  sealed_ = true;
  return {};
}

std::string SavedFile::Replace() {
  if (std::string problem = Seal(); !problem.empty()) return problem;
  if (stream_) return {};
  struct stat existing {};
  // Putting the file there would put a folder where the file was asked for.
  if (::lstat(target_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) return Reason(EISDIR);
  const std::string backup = BackupName(FolderOf(target_), NameOf(target_));
  if (std::string problem = PlaceFile(temporary_, target_, backup, placed_); !problem.empty()) return problem;
  replaced_ = true;
  return {};
}

void SavedFile::Undo() {
  if (!replaced_ || kept_) return;
  UndoPlaceFile(temporary_, target_, placed_);
  replaced_ = false;
}

void SavedFile::Keep() {
  if (!replaced_ || kept_) return;
  kept_ = true;
  KeepPlaceFile(temporary_, placed_);
}

std::string SavedFile::Commit() {
  if (std::string problem = Replace(); !problem.empty()) return problem;
  Keep();
  return {};
}

std::string SaveWholeFile(const std::string& path, std::string_view bytes, bool waitForReader) {
  SavedFile file(path, waitForReader);
  if (std::string problem = file.Write(bytes); !problem.empty()) return problem;
  return file.Commit();
}

}  // namespace zintrel
