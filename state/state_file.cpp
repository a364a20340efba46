#include "state/state_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zintrel {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePointer = std::unique_ptr<std::FILE, FileCloser>;

#ifdef _WIN32
std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}
#endif

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

#ifdef _WIN32
// Returns no problem when path may be read as the source allows. The checks
// look at the file itself, links followed.
StateFileError CheckKind(const std::string& path, StateSource source) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(PathOf(path), error);
  if (error) return {StateFileProblem::kCannotRead, error.message()};
  if (std::filesystem::is_directory(status)) return {StateFileProblem::kFolder, {}};
  if (source == StateSource::kRegularFile && !std::filesystem::is_regular_file(status)) {
    return {StateFileProblem::kNotRegularFile, {}};
  }
  return {};
}

StateFileError OpenForReading(const std::string& path, StateSource source, FilePointer& file) {
  if (StateFileError error = CheckKind(path, source); error.problem != StateFileProblem::kNone) return error;
  errno = 0;
  file.reset(_wfopen(PathOf(path).c_str(), L"rb"));
  if (!file) return {StateFileProblem::kCannotRead, std::strerror(errno)};
  return {};
}
#else
// Opens path (its bytes as given), then checks what was opened: a name
// swapped for a pipe between a check and the open cannot make a window
// wait. Where only a plain file will do, the open itself never waits.
StateFileError OpenForReading(const std::string& path, StateSource source, FilePointer& file) {
  const bool plainOnly = source == StateSource::kRegularFile;
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (plainOnly ? O_NONBLOCK : 0));
  if (descriptor < 0) return {StateFileProblem::kCannotRead, std::strerror(errno)};
  struct stat status {};
  StateFileError error;
  if (::fstat(descriptor, &status) != 0) {
    error = {StateFileProblem::kCannotRead, std::strerror(errno)};
  } else if (S_ISDIR(status.st_mode)) {
    error = {StateFileProblem::kFolder, {}};
  } else if (plainOnly && !S_ISREG(status.st_mode)) {
    error = {StateFileProblem::kNotRegularFile, {}};
  } else {
    file.reset(::fdopen(descriptor, "rb"));
    if (!file) error = {StateFileProblem::kCannotRead, std::strerror(errno)};
  }
  if (!file) ::close(descriptor);
  return error;
}
#endif

// Reads up to limit + 1 bytes of file into bytes.
StateFileError ReadBounded(std::FILE* file, std::size_t limit, std::string& bytes) {
  bytes.clear();
  char chunk[64 * 1024];
  errno = 0;
  while (bytes.size() <= limit) {
    const std::size_t wanted = std::min(sizeof chunk, limit + 1 - bytes.size());
    const std::size_t got = std::fread(chunk, 1, wanted, file);
    bytes.append(chunk, got);
    if (got < wanted) break;
  }
  if (std::ferror(file)) return {StateFileProblem::kCannotRead, std::strerror(errno)};
  if (bytes.size() > limit) return {StateFileProblem::kTooLarge, {}};
  return {};
}

}  // namespace

StateFileError ReadStateFileReason(const std::string& path, ParticleField& field, DisplaySettings* display,
                                   StateSource source) {
  FilePointer file;
  StateFileError error = OpenForReading(path, source, file);
  std::string bytes;
  if (error.problem == StateFileProblem::kNone) error = ReadBounded(file.get(), kMaxStateFileBytes, bytes);
  if (error.problem == StateFileProblem::kNone) {
    if (std::string problem = ReadStateJson(bytes, field, display); !problem.empty()) {
      error = {StateFileProblem::kNotAState, std::move(problem)};
    }
  }
  return error;
}

std::string ReadStateFile(const std::string& path, ParticleField& field, DisplaySettings* display,
                          StateSource source) {
  const StateFileError error = ReadStateFileReason(path, field, display, source);
  switch (error.problem) {
    case StateFileProblem::kNone: return {};
    case StateFileProblem::kCannotRead: return "cannot read " + Quoted(path) + ": " + error.reason;
    case StateFileProblem::kFolder: return Quoted(path) + " is a folder, not a saved state";
    case StateFileProblem::kNotRegularFile: return Quoted(path) + " is not a regular file";
    case StateFileProblem::kTooLarge: return Quoted(path) + " is too large to be a saved state";
    case StateFileProblem::kNotAState: return Quoted(path) + ": " + error.reason;
  }
  return {};
}

}  // namespace zintrel
