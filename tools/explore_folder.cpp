#include "tools/explore_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>

#include "state/saved_file.h"
#include "state/temporary_files.h"

namespace zintrel {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// Returns whether the folder holds nothing but "." and "..".
bool IsEmptyFolder(const std::string& path) {
  DIR* listing = ::opendir(path.c_str());
  if (listing == nullptr) return false;
  bool empty = true;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") empty = false;
  }
  ::closedir(listing);
  return empty;
}

// Reads a whole file; returns "" or the system's reason.
std::string ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot read " + Quoted(path) + ": " + std::strerror(errno);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return "cannot read " + Quoted(path) + ": " + std::strerror(errno);
  return {};
}

}  // namespace

std::string CheckNewFolder(const std::string& path) {
  const std::string folder = WithoutTrailingSlash(path);
  struct stat status {};
  if (::stat(folder.c_str(), &status) == 0) {
    if (!S_ISDIR(status.st_mode)) return Quoted(path) + " is not a folder";
    if (!IsEmptyFolder(folder)) return Quoted(path) + " is not empty: give a new folder";
    if (::access(folder.c_str(), W_OK) != 0) return "cannot write " + Quoted(path) + ": " + std::strerror(errno);
  }
  const std::string parent = FolderOf(folder);
  if (::stat(parent.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    return "cannot create " + Quoted(path) + ": its folder does not exist";
  }
  if (::access(parent.c_str(), W_OK) != 0) return "cannot create " + Quoted(path) + ": " + std::strerror(errno);
  return {};
}

std::string WriteFolder(const std::string& path, const std::vector<FolderFile>& files) {
  const std::string folder = WithoutTrailingSlash(path);
  const std::string parent = FolderOf(folder);
  const std::string failure = "cannot write " + Quoted(path) + ": ";
  // A staging folder of a killed run is named like the tool's frames, so
  // that the next save in the folder removes it with what it holds.
  RemoveStaleTemporaries(parent);
  const std::string staging = TemporaryName(parent, "frames");
  if (::mkdir(staging.c_str(), 0700) != 0) return failure + std::strerror(errno);
  std::size_t written = 0;
  std::string problem;
  for (; written < files.size() && problem.empty(); ++written) {
    problem = SaveWholeFile(staging + "/" + files[written].first, files[written].second);
  }
  if (problem.empty() && ::chmod(staging.c_str(), NewFolderPermissions()) != 0) problem = std::strerror(errno);
  if (problem.empty()) problem = RenameOnto(staging, folder);
  if (problem.empty()) return {};
  for (std::size_t i = 0; i < written; ++i) ::unlink((staging + "/" + files[i].first).c_str());
  ::rmdir(staging.c_str());
  return failure + problem;
}

std::string ShardJson(const ExploreSettings& settings, std::int64_t shard, std::int64_t shards,
                      const std::vector<TriedRun>& tried) {
  nlohmann::ordered_json json;
  json["seed"] = settings.seed;
  json["runs"] = settings.runs;
  json["ticks"] = settings.ticks;
  json["width"] = settings.width;
  json["height"] = settings.height;
  json["thumbnailFrames"] = settings.thumbnailFrames;
  json["novelty"] = settings.novelty;
  json["page"] = settings.page;
  json["shard"] = shard;
  json["shards"] = shards;
  json["candidates"] = nlohmann::ordered_json::array();
  for (const TriedRun& run : tried) {
    json["candidates"].push_back({{"index", run.index},
                                  {"dropped", DroppedName(run.dropped)},
                                  {"measures", MeasureValues(run.measures)}});
  }
  return json.dump(1) + "\n";
}

std::string ReadShards(const std::vector<std::string>& folders, ExploreSettings& settings,
                       std::vector<TriedRun>& runs) {
  std::set<std::int64_t> shardsSeen;
  std::set<std::int64_t> candidates;
  std::int64_t shards = 0;
  for (std::size_t f = 0; f < folders.size(); ++f) {
    const std::string file = WithoutTrailingSlash(folders[f]) + "/" + kShardFile;
    std::string text;
    if (std::string problem = ReadWholeFile(file, text); !problem.empty()) return problem;
    try {
      const nlohmann::json json = nlohmann::json::parse(text);
      ExploreSettings read;
      read.seed = json.at("seed").get<std::uint32_t>();
      read.runs = json.at("runs").get<std::int64_t>();
      read.ticks = json.at("ticks").get<std::int64_t>();
      read.width = json.at("width").get<int>();
      read.height = json.at("height").get<int>();
      read.thumbnailFrames = json.at("thumbnailFrames").get<std::int64_t>();
      read.novelty = json.at("novelty").get<std::int64_t>();
      read.page = json.at("page").get<std::string>();
      const auto shard = json.at("shard").get<std::int64_t>();
      if (f == 0) {
        settings = read;
        shards = json.at("shards").get<std::int64_t>();
      } else if (!(read == settings) || json.at("shards").get<std::int64_t>() != shards) {
        return Quoted(folders[f]) + " is a shard of another exploration than " + Quoted(folders[0]);
      }
      if (!shardsSeen.insert(shard).second) return Quoted(folders[f]) + " is shard " + std::to_string(shard) + " again";
      for (const nlohmann::json& candidate : json.at("candidates")) {
        TriedRun run;
        run.index = candidate.at("index").get<std::int64_t>();
        if (run.index < 0 || run.index >= settings.runs || !candidates.insert(run.index).second) {
          return Quoted(file) + " holds candidate " + std::to_string(run.index) + " twice or out of range";
        }
        run.measures = MeasuresFromValues(candidate.at("measures").get<MeasureArray>());
        const std::string dropped = candidate.at("dropped").get<std::string>();
        run.dropped = dropped == DroppedName(Dropped::kFault) ? Dropped::kFault : DropReason(run.measures);
        if (dropped != DroppedName(run.dropped)) return Quoted(file) + " was written by another version";
        if (run.dropped == Dropped::kNo) {
          const std::string gif = WithoutTrailingSlash(folders[f]) + "/" + ThumbnailName(run.index);
          if (std::string problem = ReadWholeFile(gif, run.thumbnail); !problem.empty()) return problem;
        }
        runs.push_back(std::move(run));
      }
    } catch (const nlohmann::json::exception& error) {
      return Quoted(file) + " is not a shard's file: " + error.what();
    }
  }
  if (static_cast<std::int64_t>(shardsSeen.size()) != shards) {
    return "the exploration has " + std::to_string(shards) + " shards and " + std::to_string(shardsSeen.size()) +
           " were given";
  }
  if (static_cast<std::int64_t>(candidates.size()) != settings.runs) {
    return "the shards hold " + std::to_string(candidates.size()) + " of the " + std::to_string(settings.runs) +
           " runs: one stopped early";
  }
  return {};
}

}  // namespace zintrel
