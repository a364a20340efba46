#pragma once

#include <windows.h>

#include <deque>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/catalog.h"
#include "settings/display_texts.h"

namespace zintrel {

// Returns the application's title for an executable path: the file name
// without folder and extension, its first character unchanged and the rest
// in lower case ("C:\Games\ZinTrel.EXE" gives "Zintrel").
std::wstring ApplicationTitle(const std::wstring& executablePath);

// The application's box: a message box with an OK button, captioned with the
// application's title, showing a message with the language's full stop
// appended. While it is open every window of the program is disabled, not
// only the one it is shown over, so nothing can be done behind it; it keeps
// dispatching messages, so ticks go on. A report made while a box is open
// waits for it and is shown next, in the order made, over its own window;
// only a report the open box or a waiting one already tells, word for word,
// is not told twice. A quit while boxes are open or waiting waits until the
// last is closed, so no report is lost to it.
class ErrorBox {
 public:
  // Shows message (UTF-8) over owner, with the stop icon unless told. Returns
  // at once when a box is open already, else once every box is closed.
  void Report(HWND owner, const std::string& message, UINT icon = MB_ICONSTOP);
  bool IsOpen() const { return open_; }

 private:
  struct Message {
    HWND owner;
    std::wstring text;
    UINT icon;
    bool operator==(const Message& other) const { return text == other.text && icon == other.icon; }
  };
  // Shows one box, modal to every window of this thread. Returns false when
  // a quit ended it rather than its reader, and then holds the quit's code
  // in quit.
  static bool Show(const Message& message, std::optional<WPARAM>& quit);

  bool open_ = false;
  Message shown_{};
  std::deque<Message> waiting_;
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
