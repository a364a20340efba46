#include "win/state_input.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

#include "settings/display_texts.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

// Closes a file at the end of its scope.
struct OpenFile {
  HANDLE handle;
  ~OpenFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

StateFileError CannotRead(DWORD error) { return {StateFileProblem::kCannotRead, SystemErrorText(error)}; }

}  // namespace

StateFileError ReadStateBytes(const std::wstring& path, std::string& bytes) {
  // Backup semantics let a folder open too, so that it is named as one
  // rather than refused with "Access is denied".
  const OpenFile file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return CannotRead(GetLastError());
  if (GetFileType(file.handle) != FILE_TYPE_DISK) return {StateFileProblem::kNotRegularFile, {}};
  BY_HANDLE_FILE_INFORMATION information{};
  if (!GetFileInformationByHandle(file.handle, &information)) return CannotRead(GetLastError());
  if ((information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {StateFileProblem::kFolder, {}};
  bytes.clear();
  // Whatever size the file claims, no more than the bound and one byte is
  // read, so a file that grows meanwhile is still refused.
  constexpr std::size_t kChunk = 64 * 1024;
  while (bytes.size() <= kMaxStateFileBytes) {
    const std::size_t offset = bytes.size();
    const std::size_t wanted = std::min(kChunk, kMaxStateFileBytes + 1 - offset);
    bytes.resize(offset + wanted);
    DWORD got = 0;
    if (!ReadFile(file.handle, bytes.data() + offset, static_cast<DWORD>(wanted), &got, nullptr)) {
      const DWORD error = GetLastError();
      bytes.clear();
      return CannotRead(error);
    }
    bytes.resize(offset + got);
    if (got == 0) break;
  }
  if (bytes.size() > kMaxStateFileBytes) return {StateFileProblem::kTooLarge, {}};
  return {};
}

std::string OpenStateFile(SettingsPanel& panel, const std::wstring& path, AreaSize room) {
  std::string bytes;
  StateFileError error = ReadStateBytes(path, bytes);
  auto field = std::make_unique<ParticleField>();
  DisplaySettings display;
  if (error.problem == StateFileProblem::kNone) {
    if (std::string problem = ReadStateJson(bytes, *field, &display); !problem.empty()) {
      error = {StateFileProblem::kNotAState, std::move(problem)};
    }
  }
  if (error.problem != StateFileProblem::kNone) return OpenFailedText(Narrow(path), error);
  try {
    panel.AdoptState(*field, display, room);
  } catch (const std::exception& failure) {
    return failure.what();
  }
  return {};
}

}  // namespace zintrel
