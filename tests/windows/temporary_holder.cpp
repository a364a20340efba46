// A save for the temporary-file tests to kill while it writes: writes BYTES
// bytes into a recording's file at PATH and then, told to finish, puts it
// on its name and ends with status 0; otherwise it waits, its temporary
// open and half written, until the test ends it.
//
//   temporary_holder PATH BYTES [finish]
#include <windows.h>

#include <cstdlib>
#include <string>

#include "win/file_output.h"

int wmain(int count, wchar_t** arguments) {
  if (count < 3) return 2;
  zintrel::RecordingFile file(arguments[1]);
  if (!file.Write(std::string(std::wcstoul(arguments[2], nullptr, 10), 'g')).empty()) return 1;
  if (count > 3 && std::wstring(arguments[3]) == L"finish") return file.Finish().empty() ? 0 : 1;
  Sleep(INFINITE);
  return 0;
}
