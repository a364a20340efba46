// Does to the Windows program what a test cannot do from the X side under
// Wine: starts it with a name that holds a lone surrogate (which no X
// program can pass), asks its display window the size it wants at another
// dpi (Wine never moves a window between monitors of different dpi), and
// reads and closes its box.
//
//   window_poke start-lone-surrogate PROGRAM
//                                     starts PROGRAM with a pipe named with
//                                     a lone surrogate as its argument, does
//                                     as box, then says whether the program
//                                     opened the pipe
//   window_poke dpi-client DPI        prints the client size the window
//                                     asks for at DPI ("W H"), or "declined"
//   window_poke box [SECONDS]         waits up to SECONDS (20) for the
//                                     program's box, prints its text and
//                                     presses OK
//   window_poke placement             prints the display window's rectangle,
//                                     its monitor's, its client size and
//                                     whether it has a caption:
//                                     "L T R B on L T R B client W H caption 0|1"
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/windows/window_poke.h"

namespace zintrel {
namespace {

void Print(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr, nullptr);
  std::printf("%s\n", utf8.c_str());
  std::fflush(stdout);
}

int Fail(const char* why) {
  std::fprintf(stderr, "window_poke: %s\n", why);
  return 1;
}

// Has the hook do request on the display window's thread; false if it did
// not within ten seconds.
bool Poke(HWND display, PokeRequest& request) {
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(PokeRequest),
                                      kPokeMapping);
  if (mapping == nullptr) return false;
  auto* shared = static_cast<PokeRequest*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PokeRequest)));
  *shared = request;
  wchar_t folder[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  std::wstring library(folder);
  library = library.substr(0, library.find_last_of(L"\\/") + 1) + L"window_poke_hook.dll";
  HMODULE hook = LoadLibraryW(library.c_str());
  auto* procedure = hook != nullptr ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(hook, "PokeHook"))) : nullptr;
  HHOOK placed = procedure != nullptr
                     ? SetWindowsHookExW(WH_GETMESSAGE, procedure, hook, GetWindowThreadProcessId(display, nullptr))
                     : nullptr;
  bool done = false;
  if (placed != nullptr) {
    PostMessageW(display, RegisterWindowMessageW(kPokeMessage), 0, 0);
    for (int wait = 0; wait < 200 && !done; ++wait) {
      Sleep(50);
      done = InterlockedCompareExchange(&shared->done, 0, 0) == 1;
    }
    UnhookWindowsHookEx(placed);
  }
  request = *shared;
  UnmapViewOfFile(shared);
  CloseHandle(mapping);
  return done;
}

struct BoxSearch {
  DWORD process;
  HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM lParam) {
  auto& search = *reinterpret_cast<BoxSearch*>(lParam);
  wchar_t name[16] = L"";
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  GetClassNameW(window, name, 16);
  if (process != search.process || !IsWindowVisible(window) || std::wstring(name) != L"#32770") return TRUE;
  search.box = window;
  return FALSE;
}

// The longest text of a static control in the box: its message (the icon's
// static has none).
BOOL CALLBACK FindText(HWND control, LPARAM lParam) {
  auto& text = *reinterpret_cast<std::wstring*>(lParam);
  wchar_t name[16] = L"";
  GetClassNameW(control, name, 16);
  if (lstrcmpiW(name, L"Static") != 0) return TRUE;
  wchar_t buffer[2048] = L"";
  DWORD_PTR length = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &length);
  if (std::wstring(buffer).size() > text.size()) text = buffer;
  return TRUE;
}

int ReadBox(DWORD process, int seconds) {
  BoxSearch search{process, nullptr};
  for (int wait = 0; wait <= seconds * 10 && search.box == nullptr; ++wait) {
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.box == nullptr) Sleep(100);
  }
  if (search.box == nullptr) return Fail("the program shows no box");
  std::wstring text;
  EnumChildWindows(search.box, FindText, reinterpret_cast<LPARAM>(&text));
  Print(text);
  PostMessageW(search.box, WM_COMMAND, IDOK, 0);
  return 0;
}

// As Windows itself sees the window, which under Wine need not be what the
// X server says: the monitor's rectangle is the system's, not the screen's.
int PrintPlacement(HWND display) {
  RECT window{};
  RECT client{};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetWindowRect(display, &window) || !GetClientRect(display, &client) ||
      !GetMonitorInfoW(MonitorFromWindow(display, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return Fail("cannot read the display window's placement");
  }
  const RECT& whole = monitor.rcMonitor;
  const bool caption = (GetWindowLongPtrW(display, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  std::printf("%ld %ld %ld %ld on %ld %ld %ld %ld client %ld %ld caption %d\n", window.left, window.top, window.right,
              window.bottom, whole.left, whole.top, whole.right, whole.bottom, client.right, client.bottom,
              caption ? 1 : 0);
  return 0;
}

DWORD ProcessOf(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

// A pipe whose name holds a lone surrogate: no file of Wine's can have such
// a name, a pipe's is the system's own.
HANDLE LoneSurrogatePipe(std::wstring& name) {
  name = L"\\\\.\\pipe\\zintrel-" + std::to_wstring(GetCurrentProcessId()) + L"-\xD800.zintrel";
  return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096, 4096, 0,
                          nullptr);
}

// Says whether the pipe was connected, or connected and closed again: the
// program opened it by the very name, rather than only looking up one that
// is not there.
void SayWhetherOpened(HANDLE pipe) {
  const bool opened = !ConnectNamedPipe(pipe, nullptr) &&
                      (GetLastError() == ERROR_PIPE_CONNECTED || GetLastError() == ERROR_NO_DATA);
  std::printf("%s\n", opened ? "the pipe was opened" : "the pipe was never opened");
}

// Starts program with the pipe's name as its one argument, as a double
// click on a file starts it, then does as box with that program's box.
int StartWithLoneSurrogate(const std::wstring& program) {
  std::wstring name;
  HANDLE pipe = LoneSurrogatePipe(name);
  if (pipe == INVALID_HANDLE_VALUE) return Fail("cannot make the pipe");
  std::wstring line = L"\"" + program + L"\" \"" + name + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
    CloseHandle(pipe);
    return Fail("cannot start the program");
  }
  const int status = ReadBox(started.dwProcessId, 60);
  SayWhetherOpened(pipe);
  TerminateProcess(started.hProcess, 0);
  WaitForSingleObject(started.hProcess, 10000);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  CloseHandle(pipe);
  return status;
}

}  // namespace
}  // namespace zintrel

int wmain(int argc, wchar_t** argv) {
  using namespace zintrel;
  const std::wstring command = argc >= 2 ? argv[1] : L"";
  if (command == L"start-lone-surrogate" && argc == 3) return StartWithLoneSurrogate(argv[2]);
  HWND display = FindWindowW(L"TForm2", nullptr);
  if (display == nullptr) return Fail("no display window");
  if (command == L"dpi-client" && argc == 3) {
    PokeRequest request{};
    request.command = PokeCommand::kDpiScaledSize;
    request.dpi = static_cast<UINT>(_wtoi(argv[2]));
    request.size = {-1, -1};
    if (!Poke(display, request)) return Fail("the display window's thread never took the question");
    if (request.answered == 0) {
      std::printf("declined\n");
      return 0;
    }
    // The client area the answered outer size leaves at that dpi.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(display, GWL_STYLE)) & ~WS_MINIMIZE,
                             FALSE, static_cast<DWORD>(GetWindowLongPtrW(display, GWL_EXSTYLE)), request.dpi);
    std::printf("%ld %ld\n", request.size.cx - (frame.right - frame.left), request.size.cy - (frame.bottom - frame.top));
    return 0;
  }
  if (command == L"placement" && argc == 2) return PrintPlacement(display);
  if (command == L"box" && argc <= 3) return ReadBox(ProcessOf(display), argc == 3 ? _wtoi(argv[2]) : 20);
  return Fail(
      "usage: window_poke start-lone-surrogate PROGRAM | dpi-client DPI | box [SECONDS] | placement");
}
