// Preloaded into a program under test, makes one of the calls by which it
// writes files fail, as a full disk or a failing device would: the Nth call
// to open, write, fsync, fdatasync, close, rename, renameat2, link, unlink or
// mkdir
// that touches a path under FAIL_CALLS_UNDER (or a file opened there)
// returns -1 with errno FAIL_CALLS_ERRNO (EIO when unset), and has no other
// effect; a failing close still releases the descriptor, as the system's
// does. Calls elsewhere (the program's libraries, sockets, the display) are
// neither counted nor failed.
//
//   FAIL_CALLS_UNDER   absolute folder whose files are watched
//   FAIL_CALLS_AT      1-based number of the call that fails; 0 or unset:
//                      none fails, the calls are only counted
//   FAIL_CALLS_ERRNO   errno of the failure
//   FAIL_CALLS_REPORT  file that receives, at exit, the number of calls
//                      counted and the name of the one that failed
//   FAIL_CALLS_FILE_SYSTEM
//                      what the watched folder's file system cannot do, as
//                      most beyond a local disk cannot: "no-exchange" makes
//                      every exchange of two names fail with EINVAL (NFS,
//                      SMB, FUSE); "fat" makes every hard link fail with
//                      EPERM too (FAT, exFAT). Those failures are not counted.
//
// A test in the same process may instead call FailCallsSet,
// FailCallsCounted and FailCallsFileSystem (found with dlsym), which
// override the environment.

#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxDescriptors = 65536;
std::atomic<bool> gWatched[kMaxDescriptors];
char gUnder[4096];
std::size_t gUnderLength = 0;
std::atomic<long> gCount{0};
std::atomic<long> gFailAt{0};
std::atomic<int> gErrno{EIO};
const char* gFailed = "";
// 0: a local disk; 1: no exchange; 2: no exchange and no hard links.
std::atomic<int> gFileSystem{0};

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void ReadEnvironment() {
  if (const char* under = std::getenv("FAIL_CALLS_UNDER")) {
    std::snprintf(gUnder, sizeof gUnder, "%s", under);
    gUnderLength = std::strlen(gUnder);
    while (gUnderLength > 1 && gUnder[gUnderLength - 1] == '/') gUnder[--gUnderLength] = '\0';
  }
  if (const char* at = std::getenv("FAIL_CALLS_AT")) gFailAt = std::atol(at);
  if (const char* error = std::getenv("FAIL_CALLS_ERRNO")) gErrno = std::atoi(error);
  if (const char* kind = std::getenv("FAIL_CALLS_FILE_SYSTEM")) {
    gFileSystem = std::strcmp(kind, "fat") == 0 ? 2 : std::strcmp(kind, "no-exchange") == 0 ? 1 : 0;
  }
}

__attribute__((destructor)) void WriteReport() {
  const char* report = std::getenv("FAIL_CALLS_REPORT");
  if (report == nullptr) return;
  if (std::FILE* file = std::fopen(report, "w")) {
    std::fprintf(file, "%ld %s\n", gCount.load(), gFailed);
    std::fclose(file);
  }
}

bool Under(int directory, const char* path) {
  if (gUnderLength == 0 || path == nullptr) return false;
  char absolute[8192];
  if (path[0] != '/') {
    // Relative to the working folder; a relative path from another folder's
    // descriptor is not followed.
    if (directory != AT_FDCWD || getcwd(absolute, sizeof absolute) == nullptr) return false;
    std::size_t length = std::strlen(absolute);
    std::snprintf(absolute + length, sizeof absolute - length, "/%s", path);
    path = absolute;
  }
  return std::strncmp(path, gUnder, gUnderLength) == 0 && (path[gUnderLength] == '/' || path[gUnderLength] == '\0');
}

bool Watched(int descriptor) { return descriptor >= 0 && descriptor < kMaxDescriptors && gWatched[descriptor]; }

// Counts a watched call; true, with errno set, when it is the one to fail.
bool FailsNow(const char* name) {
  const long count = ++gCount;
  if (count != gFailAt) return false;
  gFailed = name;
  errno = gErrno;
  return true;
}

void Watch(int descriptor, bool watched) {
  if (descriptor >= 0 && descriptor < kMaxDescriptors) gWatched[descriptor] = watched;
}

int OpenAt(int directory, const char* path, int flags, mode_t mode, const char* name) {
  using Function = int (*)(int, const char*, int, ...);
  static const Function next = Next<Function>("openat");
  const bool watched = Under(directory, path);
  if (watched && FailsNow(name)) return -1;
  const int descriptor = next(directory, path, flags, mode);
  Watch(descriptor, watched);
  return descriptor;
}

mode_t ModeOf(int flags, va_list arguments) {
  return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(arguments, int))
                                                                     : 0;
}

}  // namespace

extern "C" {

void FailCallsSet(long failAt, int error) {
  gCount = 0;
  gFailAt = failAt;
  gErrno = error;
  gFailed = "";
}

long FailCallsCounted() { return gCount; }

void FailCallsFileSystem(int kind) { gFileSystem = kind; }

void FailCallsWatch(const char* under) {
  std::snprintf(gUnder, sizeof gUnder, "%s", under);
  gUnderLength = std::strlen(gUnder);
}

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  return OpenAt(AT_FDCWD, path, flags, mode, "open");
}

int open64(const char* path, int flags, ...) __attribute__((alias("open")));

int openat(int directory, const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  const mode_t mode = ModeOf(flags, arguments);
  va_end(arguments);
  return OpenAt(directory, path, flags, mode, "openat");
}

int openat64(int directory, const char* path, int flags, ...) __attribute__((alias("openat")));

ssize_t write(int descriptor, const void* bytes, size_t size) {
  static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (Watched(descriptor) && FailsNow("write")) return -1;
  return next(descriptor, bytes, size);
}

int fsync(int descriptor) {
  static const auto next = Next<int (*)(int)>("fsync");
  if (Watched(descriptor) && FailsNow("fsync")) return -1;
  return next(descriptor);
}

int fdatasync(int descriptor) {
  static const auto next = Next<int (*)(int)>("fdatasync");
  if (Watched(descriptor) && FailsNow("fdatasync")) return -1;
  return next(descriptor);
}

int close(int descriptor) {
  static const auto next = Next<int (*)(int)>("close");
  const bool watched = Watched(descriptor);
  Watch(descriptor, false);
  const int result = next(descriptor);
  if (watched && FailsNow("close")) return -1;
  return result;
}

int rename(const char* from, const char* to) {
  static const auto next = Next<int (*)(const char*, const char*)>("rename");
  if ((Under(AT_FDCWD, from) || Under(AT_FDCWD, to)) && FailsNow("rename")) return -1;
  return next(from, to);
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to) {
  static const auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
  if ((Under(fromDirectory, from) || Under(toDirectory, to)) && FailsNow("renameat")) return -1;
  return next(fromDirectory, from, toDirectory, to);
}

int renameat2(int fromDirectory, const char* from, int toDirectory, const char* to, unsigned flags) {
  static const auto next = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
  const bool watched = Under(fromDirectory, from) || Under(toDirectory, to);
  if (watched && (flags & RENAME_EXCHANGE) != 0 && gFileSystem >= 1) {
    errno = EINVAL;
    return -1;
  }
  if (watched && FailsNow("renameat2")) return -1;
  return next(fromDirectory, from, toDirectory, to, flags);
}

int link(const char* from, const char* to) {
  static const auto next = Next<int (*)(const char*, const char*)>("link");
  const bool watched = Under(AT_FDCWD, from) || Under(AT_FDCWD, to);
  if (watched && gFileSystem >= 2) {
    errno = EPERM;
    return -1;
  }
  if (watched && FailsNow("link")) return -1;
  return next(from, to);
}

int unlink(const char* path) {
  static const auto next = Next<int (*)(const char*)>("unlink");
  if (Under(AT_FDCWD, path) && FailsNow("unlink")) return -1;
  return next(path);
}

int mkdir(const char* path, mode_t mode) {
  static const auto next = Next<int (*)(const char*, mode_t)>("mkdir");
  if (Under(AT_FDCWD, path) && FailsNow("mkdir")) return -1;
  return next(path, mode);
}

}  // extern "C"
