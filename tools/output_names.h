#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zintrel {

// One file a run is asked to write, and the option that named it.
struct NamedOutput {
  std::string option;  // "--state-out"
  std::string path;    // As given; "" when not asked for.
};

// Returns "" when no two outputs name one file, else the problem, with both
// names. Names are compared as the system resolves them, not as text: two
// spellings of one folder, a link and the file it names, and a file inside
// framesDir named like one of its first frames frames all name one file.
// Each output is put on its name by a rename, so a second hard link to a
// file is a name of its own and is not one file with the first.
std::string CheckDistinctOutputs(const std::vector<NamedOutput>& files, const std::string& framesDir,
                                 std::int64_t frames);

}  // namespace zintrel
