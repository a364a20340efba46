#pragma once

#include <windows.h>

#include <exception>
#include <new>
#include <string>
#include <utility>

#include "settings/catalog.h"
#include "settings/display_texts.h"

namespace zintrel {

// Returns the application's title for an executable path: the file name
// without folder and extension, its first character unchanged and the rest
// in lower case ("C:\Games\ZinTrel.EXE" gives "Zintrel").
std::wstring ApplicationTitle(const std::wstring& executablePath);

// The application's box: a message box with an OK button, captioned with the
// application's title, showing a message with the language's full stop
// appended. The box keeps dispatching messages, so ticks go on behind it;
// while one is open further reports are dropped instead of piling up one
// box per tick.
class ErrorBox {
 public:
  // Shows message (UTF-8) over owner, with the stop icon unless told.
  void Report(HWND owner, const std::string& message, UINT icon = MB_ICONSTOP);
  bool IsOpen() const { return open_; }

 private:
  bool open_ = false;
};

// The box every window reports to.
ErrorBox& Errors();

// Runs action; a run-time error escaping it abandons it and is reported in
// the box over owner. Every handler and tick goes through here, because an
// exception must never unwind through the system's window procedures.
template <typename Action>
void RunGuarded(HWND owner, Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const std::bad_alloc&) {
    // What the library says ("std::bad_alloc") tells a person nothing.
    Errors().Report(owner, NotEnoughMemoryText());
  } catch (const std::exception& error) {
    Errors().Report(owner, error.what());
  } catch (...) {
    Errors().Report(owner, Tr("Unknown exception"));
  }
}

}  // namespace zintrel
