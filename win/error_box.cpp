#include "win/error_box.h"

#include <algorithm>

#include "settings/display_texts.h"
#include "win/modal_scope.h"
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
  // A quit asked for while a box is open (the settings window closed from
  // outside, the session ending) ends that box at once, and every box after
  // it the same way, unread. It is held back instead until each box has
  // been shown and closed, and then passed on.
  std::optional<WPARAM> quit;
  while (!waiting_.empty()) {
    shown_ = std::move(waiting_.front());
    waiting_.pop_front();
    // Shown again for as long as a quit and not its reader ends it.
    while (!Show(shown_, quit)) {
    }
  }
  shown_ = {};
  open_ = false;
  if (quit) PostQuitMessage(static_cast<int>(*quit));
}

bool ErrorBox::Show(const Message& message, std::optional<WPARAM>& quit) {
  // An owner gone since the report (or none at all) leaves the box unowned,
  // and then every window of the thread is disabled here.
  const HWND owner = IsWindow(message.owner) ? message.owner : nullptr;
  const ModalScope behind(owner);
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  MessageBoxW(owner, message.text.c_str(), ApplicationTitle(std::wstring(path, length)).c_str(),
              MB_OK | message.icon);
  // The box's own loop ends on a quit and posts it again; taken back here,
  // it lets the next box (this one again) wait for its reader.
  MSG ended;
  if (!PeekMessageW(&ended, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return true;
  quit = ended.wParam;
  return false;
}

ErrorBox& Errors() {
  static ErrorBox box;
  return box;
}

}  // namespace zintrel
