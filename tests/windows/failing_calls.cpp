#include "tests/windows/failing_calls.h"

#include <cstring>

namespace zintrel {
namespace {

// What the stand-ins share: the system's functions, the call to fail, and
// what failed. The tests call on one thread.
struct Injection {
  decltype(&CreateFileW) createFile = nullptr;
  decltype(&WriteFile) writeFile = nullptr;
  decltype(&FlushFileBuffers) flushFileBuffers = nullptr;
  decltype(&GetFileSizeEx) getFileSizeEx = nullptr;
  decltype(&CloseHandle) closeHandle = nullptr;
  decltype(&MoveFileExW) moveFileEx = nullptr;
  int calls = 0;
  int failAt = 0;
  const char* failed = "";
  DWORD error = 0;
} injection;

// Counts a call; returns whether it is the one to fail, noting it.
bool Fails(const char* name, DWORD error) {
  if (injection.failAt == 0 || ++injection.calls != injection.failAt) return false;
  injection.failed = name;
  injection.error = error;
  return true;
}

HANDLE WINAPI FailingCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE model) {
  if (Fails("CreateFileW", ERROR_ACCESS_DENIED)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return injection.createFile(name, access, share, security, disposition, flags, model);
}

BOOL WINAPI FailingWriteFile(HANDLE file, LPCVOID bytes, DWORD size, LPDWORD written, LPOVERLAPPED overlapped) {
  if (Fails("WriteFile", ERROR_DISK_FULL)) {
    // A disk that fills up takes what it has room for first.
    DWORD part = 0;
    injection.writeFile(file, bytes, size / 2, &part, overlapped);
    if (written != nullptr) *written = part;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return injection.writeFile(file, bytes, size, written, overlapped);
}

BOOL WINAPI FailingFlushFileBuffers(HANDLE file) {
  if (Fails("FlushFileBuffers", ERROR_DISK_FULL)) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return injection.flushFileBuffers(file);
}

BOOL WINAPI FailingGetFileSizeEx(HANDLE file, PLARGE_INTEGER size) {
  if (Fails("GetFileSizeEx", ERROR_IO_DEVICE)) {
    SetLastError(ERROR_IO_DEVICE);
    return FALSE;
  }
  return injection.getFileSizeEx(file, size);
}

BOOL WINAPI FailingCloseHandle(HANDLE handle) {
  if (Fails("CloseHandle", ERROR_DISK_FULL)) {
    injection.closeHandle(handle);
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return injection.closeHandle(handle);
}

BOOL WINAPI FailingMoveFileEx(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (Fails("MoveFileExW", ERROR_ACCESS_DENIED)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return injection.moveFileEx(from, to, flags);
}

// The stand-in for an imported function's name, and where the system's is
// kept; nothing for a function not stood in for.
void* StandIn(const char* name, void**& system) {
  const struct {
    const char* name;
    void* standIn;
    void** system;
  } table[] = {
      {"CreateFileW", reinterpret_cast<void*>(&FailingCreateFile), reinterpret_cast<void**>(&injection.createFile)},
      {"WriteFile", reinterpret_cast<void*>(&FailingWriteFile), reinterpret_cast<void**>(&injection.writeFile)},
      {"FlushFileBuffers", reinterpret_cast<void*>(&FailingFlushFileBuffers),
       reinterpret_cast<void**>(&injection.flushFileBuffers)},
      {"GetFileSizeEx", reinterpret_cast<void*>(&FailingGetFileSizeEx),
       reinterpret_cast<void**>(&injection.getFileSizeEx)},
      {"CloseHandle", reinterpret_cast<void*>(&FailingCloseHandle), reinterpret_cast<void**>(&injection.closeHandle)},
      {"MoveFileExW", reinterpret_cast<void*>(&FailingMoveFileEx), reinterpret_cast<void**>(&injection.moveFileEx)},
  };
  for (const auto& entry : table) {
    if (std::strcmp(entry.name, name) == 0) {
      system = entry.system;
      return entry.standIn;
    }
  }
  return nullptr;
}

void Point(void** entry, void* to) {
  DWORD protection = 0;
  VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection);
  *entry = to;
  VirtualProtect(entry, sizeof *entry, protection, &protection);
}

}  // namespace

FailingCalls::FailingCalls() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    // The names, and beside them the addresses the loader filled in, which
    // every call of the program goes through.
    const auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + library->OriginalFirstThunk);
    auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; name->u1.AddressOfData != 0; ++name, ++address) {
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
      void** system = nullptr;
      void* standIn = StandIn(reinterpret_cast<const char*>(byName->Name), system);
      if (standIn == nullptr) continue;
      auto** entry = reinterpret_cast<void**>(&address->u1.Function);
      *system = *entry;
      slots_.push_back({entry, *entry});
      Point(entry, standIn);
      ++installed_;
    }
  }
}

FailingCalls::~FailingCalls() {
  Arm(0);
  for (const Slot& slot : slots_) Point(slot.entry, slot.system);
}

void FailingCalls::Arm(int n) {
  injection.calls = 0;
  injection.failAt = n;
  injection.failed = "";
  injection.error = 0;
}

std::string FailingCalls::Failed() const { return injection.failed; }

DWORD FailingCalls::Error() const { return injection.error; }

}  // namespace zintrel
