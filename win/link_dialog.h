#pragma once

#include <windows.h>

#include <string>

namespace zintrel {

// Asks for a link's address in the Open link dialog over owner, proposing
// proposed; returns "" when the user cancels. Both windows wait behind it,
// as behind a file dialog.
std::wstring AskForLink(HWND owner, const std::wstring& proposed);

}  // namespace zintrel
