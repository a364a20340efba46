#include "win/temporary_files.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace zintrel {
namespace {

constexpr wchar_t kPrefix[] = L"~zintrel-";
constexpr wchar_t kSuffix[] = L".part";

unsigned long long Integer(const FILETIME& time) {
  return static_cast<unsigned long long>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

// Reads a whole field of digits in base (10 or 16); false for an empty one,
// one with anything else in it, or one too large.
bool ReadNumber(const std::wstring& field, int base, unsigned long long limit, unsigned long long& value) {
  if (field.empty() || field.size() > 16) return false;
  value = 0;
  for (const wchar_t c : field) {
    unsigned digit = 0;
    if (c >= L'0' && c <= L'9') {
      digit = static_cast<unsigned>(c - L'0');
    } else if (base == 16 && c >= L'a' && c <= L'f') {
      digit = static_cast<unsigned>(c - L'a' + 10);
    } else {
      return false;
    }
    value = value * static_cast<unsigned>(base) + digit;
  }
  return value <= limit;
}

// Whether the process of owner, a process of this machine, still runs. One
// this process may not look at is taken to run: its temporary is kept.
bool StillRuns(const TemporaryOwner& owner) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner.process);
  // No process has that id any more.
  if (process == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
  FILETIME created{}, exited{}, kernel{}, user{};
  DWORD code = 0;
  bool runs = true;
  if (GetProcessTimes(process, &created, &exited, &kernel, &user) && GetExitCodeProcess(process, &code)) {
    // Ended (someone still holds it open), or another process under the
    // same id. A process that ended with STILL_ACTIVE's number as its code
    // is taken to run, which only keeps a file.
    runs = code == STILL_ACTIVE && Integer(created) == owner.started;
  }
  CloseHandle(process);
  return runs;
}

}  // namespace

const TemporaryOwner& ThisProcess() {
  static const TemporaryOwner owner = [] {
    TemporaryOwner self;
    wchar_t name[256] = L"";
    DWORD size = 256;
    if (GetComputerNameW(name, &size)) self.machine.assign(name, std::min<DWORD>(size, MAX_COMPUTERNAME_LENGTH));
    // A machine without a name still needs one that reads back.
    if (self.machine.empty()) self.machine = L"-";
    self.process = GetCurrentProcessId();
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) self.started = Integer(created);
    return self;
  }();
  return owner;
}

std::wstring TemporaryName(const TemporaryOwner& owner, unsigned serial) {
  wchar_t started[17] = L"";
  std::swprintf(started, std::size(started), L"%016llx", owner.started);
  return kPrefix + owner.machine + L"-" + std::to_wstring(owner.process) + L"-" + started + L"-" +
         std::to_wstring(serial) + kSuffix;
}

bool ReadTemporaryName(const std::wstring& name, TemporaryOwner& owner) {
  const std::size_t prefix = std::wcslen(kPrefix);
  const std::size_t suffix = std::wcslen(kSuffix);
  if (name.size() <= prefix + suffix || name.compare(0, prefix, kPrefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kSuffix) != 0) {
    return false;
  }
  // The machine's name may hold "-": the three fields after it are read
  // from the end.
  std::wstring rest = name.substr(prefix, name.size() - prefix - suffix);
  std::wstring fields[3];
  for (int i = 2; i >= 0; --i) {
    const std::size_t dash = rest.rfind(L'-');
    if (dash == std::wstring::npos) return false;
    fields[i] = rest.substr(dash + 1);
    rest.resize(dash);
  }
  unsigned long long process = 0;
  unsigned long long serial = 0;
  if (rest.empty() || !ReadNumber(fields[0], 10, 0xffffffffu, process) || fields[1].size() != 16 ||
      !ReadNumber(fields[1], 16, ~0ull, owner.started) || !ReadNumber(fields[2], 10, 0xffffffffu, serial)) {
    return false;
  }
  owner.machine = rest;
  owner.process = static_cast<DWORD>(process);
  return true;
}

void RemoveStaleTemporaries(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW((folder + kPrefix + L"*" + kSuffix).c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::wstring> stale;
  do {
    TemporaryOwner owner;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !ReadTemporaryName(found.cFileName, owner)) {
      continue;
    }
    // Another machine's process ids say nothing here. Computer names
    // compare without regard to case.
    if (CompareStringOrdinal(owner.machine.c_str(), -1, ThisProcess().machine.c_str(), -1, TRUE) != CSTR_EQUAL) {
      continue;
    }
    if (!StillRuns(owner)) stale.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // A temporary still open in its save cannot be removed, whatever was
  // concluded of its owner: it is written without sharing.
  for (const std::wstring& name : stale) DeleteFileW((folder + name).c_str());
}

std::wstring EntryOf(HANDLE temporary, const std::wstring& target) {
  std::vector<wchar_t> path(MAX_PATH);
  DWORD length = GetFinalPathNameByHandleW(temporary, path.data(), static_cast<DWORD>(path.size()), 0);
  if (length >= path.size()) {
    path.resize(length + 1);
    length = GetFinalPathNameByHandleW(temporary, path.data(), static_cast<DWORD>(path.size()), 0);
  }
  std::wstring entry;
  if (length != 0 && length < path.size()) {
    entry.assign(path.data(), length);
  } else {
    // Wine answers no path longer than MAX_PATH: the target's own full path
    // stands in, with short names undone where the system can, which only
    // misses a link on the way.
    const std::wstring folder = target.substr(0, target.find_last_of(L"\\/") + 1);
    path.resize(32768);
    length = GetLongPathNameW(folder.c_str(), path.data(), static_cast<DWORD>(path.size()));
    entry = length != 0 && length < path.size() ? std::wstring(path.data(), length) : folder;
    entry += L"\\";
  }
  entry.resize(entry.find_last_of(L'\\') + 1);
  // An existing file gives its long name, even when target names it by its
  // short one; a new one can only have the name given.
  // A name with wildcards is no file's; looked up, it would find others.
  const std::wstring name = target.substr(target.find_last_of(L"\\/") + 1);
  if (name.find_first_of(L"*?") != std::wstring::npos) return entry + name;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(target.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    return entry + found.cFileName;
  }
  return entry + name;
}

bool SameEntry(const std::wstring& entry, const std::wstring& other) {
  return !entry.empty() &&
         CompareStringOrdinal(entry.data(), static_cast<int>(entry.size()), other.data(),
                              static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace zintrel
