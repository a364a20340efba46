#include "win/full_screen.h"

namespace zintrel {

bool FullScreen::Enter(HWND window) {
  if (active_) return true;
  placement_ = WINDOWPLACEMENT{};
  placement_.length = sizeof placement_;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetWindowPlacement(window, &placement_) ||
      !GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return false;
  }
  style_ = GetWindowLongPtrW(window, GWL_STYLE);
  // Only the frame goes: a maximised window keeps WS_MAXIMIZE, so that the
  // placement brings it back maximised.
  SetWindowLongPtrW(window, GWL_STYLE, style_ & ~static_cast<LONG_PTR>(WS_OVERLAPPEDWINDOW));
  const RECT& whole = monitor.rcMonitor;
  SetWindowPos(window, HWND_TOP, whole.left, whole.top, whole.right - whole.left, whole.bottom - whole.top,
               SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
  active_ = true;
  return true;
}

void FullScreen::Leave(HWND window) {
  if (!active_) return;
  active_ = false;
  // The frame as it was; the rest of the style (hidden meanwhile, say) as it
  // is now.
  const LONG_PTR frame = WS_OVERLAPPEDWINDOW;
  SetWindowLongPtrW(window, GWL_STYLE, (GetWindowLongPtrW(window, GWL_STYLE) & ~frame) | (style_ & frame));
  // The placement restores the normal rectangle and, for a window that was
  // maximised, the maximised state over it; a window hidden meanwhile stays
  // hidden. SWP_FRAMECHANGED has the frame drawn again at once.
  if (!IsWindowVisible(window)) placement_.showCmd = SW_HIDE;
  SetWindowPlacement(window, &placement_);
  SetWindowPos(window, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
}

}  // namespace zintrel
