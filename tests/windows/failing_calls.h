#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zintrel {

// Makes one call of the file functions this program imports fail, the way
// the system fails it, so that a test can see what the program's own code
// does then: the test program's import table is pointed at stand-ins that
// pass every call through to the system but the Nth, counting from Arm,
// which fails with an error of the kind that call meets on a full or broken
// disk. The code under test is the shipped code, calling what it always
// calls; only the system's answer to one call changes.
//
//   CreateFileW       ERROR_ACCESS_DENIED, nothing created
//   WriteFile         ERROR_DISK_FULL, after half the bytes were written
//   FlushFileBuffers  ERROR_DISK_FULL
//   GetFileSizeEx     ERROR_IO_DEVICE
//   CloseHandle       ERROR_DISK_FULL, the handle closed all the same, as a
//                     close that fails still closes
//   MoveFileExW       ERROR_ACCESS_DENIED, nothing moved
class FailingCalls {
 public:
  // Points the import table at the stand-ins, which pass every call through
  // until Arm.
  FailingCalls();
  // Points it back at the system's functions.
  ~FailingCalls();
  FailingCalls(const FailingCalls&) = delete;
  FailingCalls& operator=(const FailingCalls&) = delete;

  // Returns whether every function above was found in the import table.
  bool Installed() const { return installed_ == 6; }

  // Counts calls from zero again; the nth fails (none when n is 0).
  void Arm(int n);
  // Returns the name of the call that failed since Arm, or "" if none did.
  std::string Failed() const;
  // Returns the error the failed call gave, or 0.
  DWORD Error() const;

 private:
  struct Slot {
    void** entry;
    void* system;
  };
  std::vector<Slot> slots_;
  int installed_ = 0;
};

}  // namespace zintrel
