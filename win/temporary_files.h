#pragma once

#include <windows.h>

#include <string>

namespace zintrel {

// Whose a save's temporary is, as its name tells: a process of a machine,
// told apart from a later process given the same id (after it ended, or
// after a restart) by the moment it started.
struct TemporaryOwner {
  std::wstring machine;           // The computer's name, at most 15 characters.
  DWORD process = 0;              // The process id.
  unsigned long long started = 0; // When it started, in 100 ns since 1601 (FILETIME).
};

// Returns this process, as its temporaries name it.
const TemporaryOwner& ThisProcess();

// Returns the name of owner's temporary number serial:
// "~zintrel-MACHINE-PID-STARTED-SERIAL.part", STARTED in 16 hexadecimal
// digits. At most 68 characters whatever the target's name, so that a
// target named with the 255 characters a folder entry holds has a temporary
// that fits too.
std::wstring TemporaryName(const TemporaryOwner& owner, unsigned serial);

// Reads a temporary's name back into its owner; false for any other name,
// a temporary of an older version of the program (which named no machine)
// among them.
bool ReadTemporaryName(const std::wstring& name, TemporaryOwner& owner);

// Removes from folder (ending in a separator) the temporaries that outlived
// their process: those of this machine whose process no longer runs, or
// whose id now belongs to a process started at another moment. A
// temporary of a running save, of another machine sharing the folder, or
// of a process this one may not look at, is kept. What cannot be removed
// stays; nothing here fails a save.
void RemoveStaleTemporaries(const std::wstring& folder);

// Returns the folder entry target names, as a text every name of that entry
// gives: the full path of its folder as the system resolved it in opening
// the temporary beside it (a link, a short name, "..", another case, all
// undone), and its own name as the folder holds it where it exists. Saves
// replace entries, not the files behind them, so two hard links to one file
// are two entries and do not clash. target is a full path.
std::wstring EntryOf(HANDLE temporary, const std::wstring& target);
// Returns whether two entries from EntryOf are one, comparing them as the
// file system compares names, whatever their case.
bool SameEntry(const std::wstring& entry, const std::wstring& other);

}  // namespace zintrel
