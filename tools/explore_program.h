#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/explore_runs.h"

namespace zintrel {

// Everything the command line of zintrel-explore can ask for.
struct ExploreOptions {
  bool help = false;
  bool version = false;
  ExploreSettings settings;
  std::string out;
  int threads = 0;  // 0: every hardware thread.
  std::int64_t shard = -1;  // -1: every candidate; else shard of shards (from 0).
  std::int64_t shards = 0;
  bool merge = false;
  std::vector<std::string> mergeFolders;
};

// Parses the arguments (program name first). Returns "" or one line naming
// what is wrong.
std::string ParseExploreOptions(const std::vector<std::string>& arguments, ExploreOptions& options);

// The whole program: parses, explores or merges, writes the folder, prints
// a progress line on a terminal, and returns the exit status (those of
// zintrel-headless). A stop signal ends the exploration early: the runs
// decided by then are written as a whole folder (a shard writes nothing),
// and it returns 128 + the signal.
int RunExplore(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

}  // namespace zintrel
