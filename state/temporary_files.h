#pragma once

#include <string>
#include <string_view>

namespace zintrel {

// Names for the files and folders a save keeps beside its target while it
// runs. Each name says whose it is: the machine, the boot and the process,
//
//   .zintrel-<boot>-<process>-<random>-<machine>.<kind>
//
// so that a later save can tell a temporary whose process died (a kill, a
// power loss) from one still being written, here or by another machine
// sharing the folder. The leading dot keeps them out of ordinary listings,
// where they never stay long.

// Returns a new name in folder for a temporary of this process of the kind
// given: "part" for a file being written, "frames" for a folder of frames.
std::string TemporaryName(const std::string& folder, std::string_view kind);

// Returns a new name in folder under which the file named target (a name
// in the same folder) waits while its replacement goes in. The name carries
// target's, so that should the process die in the instant the old file has
// left its name and the new one has not yet taken it, the next save in the
// folder puts the old file back. Returns "" where that name would be longer
// than a file system allows.
std::string BackupName(const std::string& folder, std::string_view target);

// The prefix of a backup's name inside a folder of frames: the frame of the
// same name, displaced from the folder the frames folder stands in.
inline constexpr char kDisplacedPrefix[] = "old-";

// Removes from folder what saves of this machine left behind when their
// process died: a file being written is deleted, an old file waiting under
// a backup name goes back to its name if that is free (else it is deleted),
// and a folder of frames goes with what it holds. What belongs to a running
// process, to another machine, or to no save of ours is left alone. Silent:
// failing to tidy up is no reason to fail a save.
void RemoveStaleTemporaries(const std::string& folder);

// Returns whether name (a bare file name) is one of this program's
// temporaries.
bool IsTemporaryName(std::string_view name);

}  // namespace zintrel
