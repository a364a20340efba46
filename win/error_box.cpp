#include "win/error_box.h"

#include "settings/display_texts.h"
#include "win/wide_text.h"

namespace zintrel {

std::wstring ApplicationTitle(const std::wstring& executablePath) {
  std::wstring name = executablePath.substr(executablePath.find_last_of(L"\\/") + 1);
  if (const std::size_t dot = name.rfind(L'.'); dot != std::wstring::npos && dot > 0) name.resize(dot);
  if (name.size() < 2) return name;
  // A first character outside the basic plane takes two code units.
  const std::size_t first = IS_HIGH_SURROGATE(name[0]) ? 2 : 1;
  CharLowerBuffW(name.data() + first, static_cast<DWORD>(name.size() - first));
  return name;
}

void ErrorBox::Report(HWND owner, const std::string& message, UINT icon) {
  if (open_) return;
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring text = Widen(WithFullStop(message));
  open_ = true;
  MessageBoxW(owner, text.c_str(), ApplicationTitle(std::wstring(path, length)).c_str(), MB_OK | icon);
  open_ = false;
}

ErrorBox& Errors() {
  static ErrorBox box;
  return box;
}

}  // namespace zintrel
