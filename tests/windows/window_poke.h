#pragma once

// What window_poke hands its hook inside the Windows program, through a
// shared mapping: the program's own thread then does what no other process
// can do for it (a pointer in a message means nothing across processes).
#include <windows.h>

namespace zintrel {

inline constexpr wchar_t kPokeMapping[] = L"Local\\ZintrelWindowPoke";
inline constexpr wchar_t kPokeMessage[] = L"ZintrelWindowPoke";

enum class PokeCommand : LONG {
  kDpiScaledSize = 1,  // Ask the window its size at `dpi` (WM_GETDPISCALEDSIZE).
};

struct PokeRequest {
  PokeCommand command;
  UINT dpi;
  // Written by the hook.
  LONG done;      // 1 once the hook has done the command.
  LONG answered;  // What the window answered to WM_GETDPISCALEDSIZE.
  SIZE size;      // The size it answered with, or as it was.
};

}  // namespace zintrel
