#include "win/clipboard.h"

#include <cstring>

#include "win/wide_text.h"

namespace zintrel {

std::string PutOnClipboard(HWND owner, UINT format, HGLOBAL memory) {
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return SystemErrorText(GetLastError());
  }
  EmptyClipboard();
  // The clipboard owns the memory once it takes it.
  const bool taken = SetClipboardData(format, memory) != nullptr;
  const DWORD error = GetLastError();
  CloseClipboard();
  if (taken) return {};
  GlobalFree(memory);
  return SystemErrorText(error);
}

std::string CopyTextToClipboard(HWND owner, const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return SystemErrorText(GetLastError());
  std::memcpy(GlobalLock(memory), text.c_str(), bytes);
  GlobalUnlock(memory);
  return PutOnClipboard(owner, CF_UNICODETEXT, memory);
}

std::wstring ClipboardText(HWND owner) {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) return {};
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data)); chars != nullptr) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace zintrel
