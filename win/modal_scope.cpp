#include "win/modal_scope.h"

#include <utility>

namespace zintrel {
namespace {

// How many dialogs and boxes are open, one over another; only the
// user-interface thread opens them.
int openScopes = 0;

BOOL CALLBACK DisableWindow(HWND window, LPARAM context) {
  auto& [owner, disabled] = *reinterpret_cast<std::pair<HWND, std::vector<HWND>*>*>(context);
  if (window != owner && IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    disabled->push_back(window);
  }
  return TRUE;
}

}  // namespace

ModalScope::ModalScope(HWND owner) {
  ++openScopes;
  std::pair<HWND, std::vector<HWND>*> context{owner, &disabled_};
  EnumThreadWindows(GetCurrentThreadId(), DisableWindow, reinterpret_cast<LPARAM>(&context));
}

ModalScope::~ModalScope() {
  // A window destroyed meanwhile is left alone.
  for (HWND window : disabled_) {
    if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  --openScopes;
}

bool ModalScope::Open() { return openScopes > 0; }

}  // namespace zintrel
