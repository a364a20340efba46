// Lists the visible top-level windows of the Wine session it runs in, for
// the scripts that drive the Windows program: one line per window,
//
//   window<TAB>enabled|disabled<TAB>CLASS<TAB>TITLE<TAB>WIDTHxHEIGHT
//
// with the client area's size as Windows has it (X learns of a new size
// only later),
// followed, for a dialog (a message box), by one line per static text in it,
//
//   text<TAB>TEXT
//
// in UTF-8. What the X server shows cannot tell a disabled window, nor the
// words of a box, which Wine draws as pixels.
//
//   list_windows --close CLASS
//
// instead asks the visible top-level windows of class CLASS to close, as
// ending a task or the session does, whether they are enabled or not.
//
//   list_windows --end-session CLASS
//
// instead tells them the session ends, as an installer closing programs
// does (WM_QUERYENDSESSION, then WM_ENDSESSION, with ENDSESSION_CLOSEAPP),
// and leaves the program to end itself: unlike a real session end, nothing
// ends the process after.

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                      nullptr);
  return bytes;
}

std::wstring Text(HWND window) {
  wchar_t text[1024] = L"";
  // Asked of the window itself, since a control of another process keeps
  // its text where GetWindowText does not look.
  SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return name;
}

BOOL CALLBACK ListText(HWND child, LPARAM) {
  if (ClassOf(child) == L"Static" && IsWindowVisible(child)) {
    if (const std::wstring text = Text(child); !text.empty()) std::printf("text\t%s\n", Utf8(text).c_str());
  }
  return TRUE;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM) {
  if (!IsWindowVisible(window)) return TRUE;
  const std::wstring className = ClassOf(window);
  RECT client{};
  GetClientRect(window, &client);
  std::printf("window\t%s\t%s\t%s\t%ldx%ld\n", IsWindowEnabled(window) ? "enabled" : "disabled",
              Utf8(className).c_str(), Utf8(Text(window)).c_str(), client.right, client.bottom);
  if (className == L"#32770") EnumChildWindows(window, ListText, 0);
  return TRUE;
}

BOOL CALLBACK CloseWindow(HWND window, LPARAM className) {
  if (IsWindowVisible(window) && ClassOf(window) == reinterpret_cast<const wchar_t*>(className)) {
    PostMessageW(window, WM_CLOSE, 0, 0);
  }
  return TRUE;
}

BOOL CALLBACK EndSession(HWND window, LPARAM className) {
  if (IsWindowVisible(window) && ClassOf(window) == reinterpret_cast<const wchar_t*>(className)) {
    DWORD_PTR agreed = 0;
    SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 20000, &agreed);
    SendMessageTimeoutW(window, WM_ENDSESSION, agreed != 0, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 20000, nullptr);
  }
  return TRUE;
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
  if (count == 3 && std::wstring(arguments[1]) == L"--close") {
    EnumWindows(CloseWindow, reinterpret_cast<LPARAM>(arguments[2]));
    return 0;
  }
  if (count == 3 && std::wstring(arguments[1]) == L"--end-session") {
    EnumWindows(EndSession, reinterpret_cast<LPARAM>(arguments[2]));
    return 0;
  }
  // Binary, so that no line ending is rewritten.
  _setmode(_fileno(stdout), _O_BINARY);
  EnumWindows(ListWindow, 0);
  return 0;
}
