#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/explore_keeping.h"

namespace zintrel {

// One file of an output folder: its name in the folder and its bytes.
using FolderFile = std::pair<std::string, std::string>;

// Returns "" when path can become an output folder: it names nothing yet
// (in a writable folder) or an empty folder. Anything in it would be mixed
// with the exploration's files, so a folder with anything in it is refused.
std::string CheckNewFolder(const std::string& path);

// Writes the files into a hidden staging folder beside path, each checked
// to its last byte, and renames it onto path in one step, so that path then
// holds them all or, after any failure, is as it was. Returns "" or the
// problem with the system's reason.
std::string WriteFolder(const std::string& path, const std::vector<FolderFile>& files);

// The file a shard writes beside the thumbnails of its runs that were not
// dropped: the exploration's settings, which shard it is, and every one of
// its candidates' measures.
inline constexpr char kShardFile[] = "shard.json";
std::string ShardJson(const ExploreSettings& settings, std::int64_t shard, std::int64_t shards,
                      const std::vector<TriedRun>& tried);

// Reads the shards' folders, checks that they are every shard of one
// exploration, once each, and appends their runs, thumbnails included, to
// runs. Sets settings to the exploration's. Returns "" or the problem.
std::string ReadShards(const std::vector<std::string>& folders, ExploreSettings& settings,
                       std::vector<TriedRun>& runs);

}  // namespace zintrel
