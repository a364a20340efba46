// The hook window_poke places on the Windows program's window thread; it
// runs there, so the messages it makes carry pointers the window can follow.
#include "tests/windows/window_poke.h"


namespace {

using zintrel::PokeCommand;
using zintrel::PokeRequest;

void Serve(HWND window) {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, zintrel::kPokeMapping);
  if (mapping == nullptr) return;
  auto* request = static_cast<PokeRequest*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(PokeRequest)));
  if (request != nullptr) {
    if (request->command == PokeCommand::kDpiScaledSize) {
      request->answered = static_cast<LONG>(
          SendMessageW(window, WM_GETDPISCALEDSIZE, request->dpi, reinterpret_cast<LPARAM>(&request->size)));
    }
    InterlockedExchange(&request->done, 1);
    UnmapViewOfFile(request);
  }
  CloseHandle(mapping);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK PokeHook(int code, WPARAM removed, LPARAM lParam) {
  static const UINT poke = RegisterWindowMessageW(zintrel::kPokeMessage);
  auto* message = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && removed == PM_REMOVE && message->message == poke) {
    Serve(message->hwnd);
    message->message = WM_NULL;
  }
  return CallNextHookEx(nullptr, code, removed, lParam);
}
