#pragma once

#include <windows.h>

#include <vector>

namespace zintrel {

// While one is alive, a dialog or box of the program is open and nothing
// behind it takes input: every visible, enabled top-level window of this
// thread is disabled, so neither window takes a click, a key or closing, and
// the drop target refuses files, as behind the Linux program's dialogs. The
// dialog's owner is left to the dialog, which disables it itself and enables
// it again before it goes, so that the owner and not some other program gets
// the activation back.
class ModalScope {
 public:
  explicit ModalScope(HWND owner);
  ~ModalScope();
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;

  // Returns whether a dialog or box of the program is open.
  static bool Open();

 private:
  std::vector<HWND> disabled_;
};

}  // namespace zintrel
