#include "tools/output_names.h"

#include <sys/stat.h>

#include <cstdlib>

#include "state/saved_file.h"
#include "tools/frame_sequence.h"

namespace zintrel {
namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

// The place a path names: a folder, by device and inode, and a name in it.
struct Place {
  dev_t device = 0;
  ino_t inode = 0;
  std::string name;
  bool known = false;

  bool operator==(const Place& other) const {
    return known && other.known && device == other.device && inode == other.inode && name == other.name;
  }
};

// Returns where a write to path lands: a link is followed to the file it
// names, as the writer does; a name that holds nothing yet (or a link to
// nothing) is that name in its folder, the folder's links followed.
Place PlaceOf(std::string path) {
  path = WithoutTrailingSlash(path);
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    path = real;
    std::free(real);
  }
  Place place;
  struct stat folder {};
  if (::stat(FolderOf(path).c_str(), &folder) != 0) return place;
  place = {folder.st_dev, folder.st_ino, NameOf(path), true};
  return place;
}

}  // namespace

std::string CheckDistinctOutputs(const std::vector<NamedOutput>& files, const std::string& framesDir,
                                 std::int64_t frames) {
  std::vector<Place> places;
  for (const NamedOutput& file : files) places.push_back(file.path.empty() ? Place{} : PlaceOf(file.path));
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (places[i] == places[j]) {
        return files[i].option + " " + Quoted(files[i].path) + " and " + files[j].option + " " +
               Quoted(files[j].path) + " name the same file";
      }
    }
  }
  if (framesDir.empty()) return {};
  const Place folder = PlaceOf(framesDir);
  struct stat inside {};
  const bool exists = ::stat(framesDir.c_str(), &inside) == 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    // A frames folder that does not exist yet passes its check, and so does
    // a file of the same name; the frames would take the name first.
    if (places[i] == folder) {
      return files[i].option + " " + Quoted(files[i].path) + " and --frames-dir " + Quoted(framesDir) +
             " name the same path";
    }
    if (!exists || !places[i].known || places[i].device != inside.st_dev || places[i].inode != inside.st_ino) continue;
    const std::int64_t tick = FrameTickOf(places[i].name);
    if (tick >= 1 && tick <= frames) {
      return files[i].option + " " + Quoted(files[i].path) + " and --frames-dir " + Quoted(framesDir) +
             " name the same file, the frame of tick " + std::to_string(tick);
    }
  }
  return {};
}

}  // namespace zintrel
