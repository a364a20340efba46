#include "win/error_box.h"

#include <algorithm>

#include "settings/display_texts.h"
#include "win/wide_text.h"

namespace zintrel {
namespace {

// Disables every enabled, visible top-level window of this thread but the
// box's owner (which the box disables itself, and enables again before it
// goes, so that the owner and not some other program gets the activation).
BOOL CALLBACK DisableWindow(HWND window, LPARAM context) {
  auto& disabled = *reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(context);
  if (window != disabled.first && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled.second->push_back(window);
  }
  return TRUE;
}

}  // namespace

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
  Message report{owner, Widen(WithFullStop(message)), icon};
  if (open_) {
    // A fault that recurs while its box is open would otherwise queue a box
    // per recurrence.
    if (!(report == shown_) && std::find(waiting_.begin(), waiting_.end(), report) == waiting_.end()) {
      waiting_.push_back(std::move(report));
    }
    // The loop below, further up this thread's stack, shows it in turn.
    return;
  }
  open_ = true;
  waiting_.push_back(std::move(report));
  while (!waiting_.empty()) {
    shown_ = std::move(waiting_.front());
    waiting_.pop_front();
    Show(shown_);
  }
  shown_ = {};
  open_ = false;
}

void ErrorBox::Show(const Message& message) {
  // An owner gone since the report (or none at all) leaves the box unowned,
  // and then every window of the thread is disabled here.
  const HWND owner = IsWindow(message.owner) ? message.owner : nullptr;
  std::vector<HWND> disabled;
  std::pair<HWND, std::vector<HWND>*> context{owner, &disabled};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&context));
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  MessageBoxW(owner, message.text.c_str(), ApplicationTitle(std::wstring(path, length)).c_str(),
              MB_OK | message.icon);
  for (HWND window : disabled) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
}

ErrorBox& Errors() {
  static ErrorBox box;
  return box;
}

}  // namespace zintrel
