#pragma once

#include <windows.h>

namespace zintrel {

// A window shown alone on its monitor: without its frame and caption,
// covering the whole monitor, taskbar included; and brought back to the
// place, size and state (normal or maximised) it had. The window's client
// size changes as in any resize, so whoever measures it sees the new size
// the next time it looks.
class FullScreen {
 public:
  bool Active() const { return active_; }
  // Shows window full screen on the monitor it is mostly on; false where the
  // system cannot tell its place or the monitor.
  bool Enter(HWND window);
  // Gives window back its frame, place and size; nothing if not full screen.
  void Leave(HWND window);
  void Toggle(HWND window) { active_ ? Leave(window) : static_cast<void>(Enter(window)); }

 private:
  bool active_ = false;
  // The window's place, size and state, and its style, before Enter.
  WINDOWPLACEMENT placement_{};
  LONG_PTR style_ = 0;
};

}  // namespace zintrel
