// Lists the visible top-level windows of the Wine session it runs in, for
// the scripts that drive the Windows program: one line per window,
//
//   window<TAB>enabled|disabled<TAB>CLASS<TAB>TITLE
//
// followed, for a dialog (a message box), by one line per static text in it,
//
//   text<TAB>TEXT
//
// in UTF-8. What the X server shows cannot tell a disabled window, nor the
// words of a box, which Wine draws as pixels.

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
  std::printf("window\t%s\t%s\t%s\n", IsWindowEnabled(window) ? "enabled" : "disabled", Utf8(className).c_str(),
              Utf8(Text(window)).c_str());
  if (className == L"#32770") EnumChildWindows(window, ListText, 0);
  return TRUE;
}

}  // namespace

int main() {
  // Binary, so that no line ending is rewritten.
  _setmode(_fileno(stdout), _O_BINARY);
  EnumWindows(ListWindow, 0);
  return 0;
}
