#include "state/state_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>


namespace zintrel {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::filesystem::path PathOf(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Returns "" when path may be read as the source allows, else the problem.
// The checks look at the file itself, links followed.
std::string CheckKind(const std::string& path, StateSource source) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(PathOf(path), error);
  if (error) return "cannot read " + Quoted(path) + ": " + error.message();
  if (std::filesystem::is_directory(status)) return Quoted(path) + " is a folder, not a saved state";
  if (source == StateSource::kRegularFile && !std::filesystem::is_regular_file(status)) {
    return Quoted(path) + " is not a regular file";
  }
  return {};
}

// Reads up to limit + 1 bytes of path into bytes. Returns "" or the problem.
std::string ReadBounded(const std::string& path, std::size_t limit, std::string& bytes) {
  errno = 0;
#ifdef _WIN32
  std::unique_ptr<std::FILE, FileCloser> file(_wfopen(PathOf(path).c_str(), L"rb"));
#else
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
#endif
  if (!file) return "cannot read " + Quoted(path) + ": " + std::strerror(errno);
  bytes.clear();
  char chunk[64 * 1024];
  while (bytes.size() <= limit) {
    const std::size_t wanted = std::min(sizeof chunk, limit + 1 - bytes.size());
    const std::size_t got = std::fread(chunk, 1, wanted, file.get());
    bytes.append(chunk, got);
    if (got < wanted) break;
  }
  if (std::ferror(file.get())) return "cannot read " + Quoted(path) + ": " + std::strerror(errno);
  if (bytes.size() > limit) return Quoted(path) + " is too large to be a saved state";
  return {};
}

}  // namespace

std::string ReadStateFile(const std::string& path, ParticleField& field, DisplaySettings* display,
                          StateSource source) {
  std::string problem = CheckKind(path, source);
  std::string bytes;
  if (problem.empty()) problem = ReadBounded(path, kMaxStateFileBytes, bytes);
  if (problem.empty()) {
    problem = ReadStateJson(bytes, field, display);
    if (!problem.empty()) problem = Quoted(path) + ": " + problem;
  }
  return problem;
}

}  // namespace zintrel
