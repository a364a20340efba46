#pragma once

#include <windows.h>

namespace zintrel {

// The window procedure of a class whose windows are objects of Window: the
// object handed to CreateWindowExW keeps its window handle from the first
// message on, and every message goes to its OnMessage. Window declares this
// a friend.
template <typename Window>
LRESULT CALLBACK WindowProcOf(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self != nullptr ? self->OnMessage(message, wParam, lParam) : DefWindowProcW(window, message, wParam, lParam);
}

// Registers the class name for windows of Window: the program's icon, the
// arrow cursor and the button-face colour wherever nothing else is drawn.
template <typename Window>
void RegisterWindowClass(HINSTANCE instance, const wchar_t* name) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &WindowProcOf<Window>;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, L"ZINTREL");
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RegisterClassExW(&windowClass);
}

}  // namespace zintrel
