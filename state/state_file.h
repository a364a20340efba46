#pragma once

#include <cstddef>
#include <string>

#include "simulation/particle_field.h"
#include "state/state_json.h"

namespace zintrel {

// A saved state is about 300 KB. Anything far larger is not one, and reading
// it whole could exhaust memory, so no more than this is ever read.
inline constexpr std::size_t kMaxStateFileBytes = 16 * 1024 * 1024;

// Where a state may come from.
enum class StateSource {
  kAnyFile,      // Pipes and devices too, as a command line may name them.
  kRegularFile,  // Only a plain file: opening a pipe can wait forever for a
                 // writer, which a window must never do. The file is opened
                 // without waiting, then checked.
};

// Reads the state file at path (the system's bytes as given; UTF-8 on
// Windows) into field, and its display settings
// into display when given, reading at most kMaxStateFileBytes + 1 bytes
// whatever size the file claims. Returns "" on success; otherwise one line
// that names the file and the problem, with field and display untouched.
// The line quotes the path and the file as they are: make it printable
// before showing it.
std::string ReadStateFile(const std::string& path, ParticleField& field, DisplaySettings* display,
                          StateSource source = StateSource::kAnyFile);

// What kept a state file from being read, for a window that words the
// problem in its user's language.
enum class StateFileProblem {
  kNone,
  kCannotRead,      // The system's reason says why.
  kFolder,
  kNotRegularFile,  // A pipe or a device, where only a plain file will do.
  kTooLarge,        // More than kMaxStateFileBytes.
  kNotAState,       // The reason says what is wrong with its contents.
};

struct StateFileError {
  StateFileProblem problem = StateFileProblem::kNone;
  std::string reason;  // The system's or the reader's words, in English.
};

// ReadStateFile, with the problem as a kind and a reason rather than a line.
StateFileError ReadStateFileReason(const std::string& path, ParticleField& field, DisplaySettings* display,
                                   StateSource source = StateSource::kAnyFile);

}  // namespace zintrel
