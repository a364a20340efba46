#pragma once

#include <string>

namespace zintrel {

// Converts between the UTF-8 the shared code speaks and the UTF-16 of the
// Windows API. Invalid input becomes U+FFFD rather than failing, which is
// fine for a text a person reads but loses a file name that holds a lone
// surrogate: paths stay wide all the way to the file functions.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

// Returns the system's text for an error code (GetLastError, HRESULT),
// without the line break it ends with.
std::string SystemErrorText(unsigned long code);

}  // namespace zintrel
