#include "state/state_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>


namespace zintrel {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

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

// Reads up to limit + 1 bytes of path into bytes.
StateFileError ReadBounded(const std::string& path, std::size_t limit, std::string& bytes) {
  errno = 0;
#ifdef _WIN32
  std::unique_ptr<std::FILE, FileCloser> file(_wfopen(PathOf(path).c_str(), L"rb"));
#else
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
#endif
  if (!file) return {StateFileProblem::kCannotRead, std::strerror(errno)};
  bytes.clear();
  char chunk[64 * 1024];
  while (bytes.size() <= limit) {
    const std::size_t wanted = std::min(sizeof chunk, limit + 1 - bytes.size());
    const std::size_t got = std::fread(chunk, 1, wanted, file.get());
    bytes.append(chunk, got);
    if (got < wanted) break;
  }
  if (std::ferror(file.get())) return {StateFileProblem::kCannotRead, std::strerror(errno)};
  if (bytes.size() > limit) return {StateFileProblem::kTooLarge, {}};
  return {};
}

}  // namespace

StateFileError ReadStateFileReason(const std::string& path, ParticleField& field, DisplaySettings* display,
                                   StateSource source) {
  StateFileError error = CheckKind(path, source);
  std::string bytes;
  if (error.problem == StateFileProblem::kNone) error = ReadBounded(path, kMaxStateFileBytes, bytes);
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
