#pragma once

#include <string>
#include <vector>

namespace zintrel {

// A run of the gallery: found by the explorer, chosen by eye and named by
// what it shows. Every program carries the gallery (gallery/gallery.json,
// built in) and shows the runs' thumbnails, which each shell carries in its
// own resources under the same file names.
struct GalleryRun {
  std::string name;       // In English; Tr gives it in the user's language.
  std::string link;       // The run's link, from its "#"; opened as any link.
  std::string thumbnail;  // The file name of its animated GIF.
};

// Returns the gallery's runs in the order they are shown.
const std::vector<GalleryRun>& GalleryRuns();

// Returns the runs of a gallery.json text; throws std::runtime_error naming
// what is wrong with it.
std::vector<GalleryRun> ReadGallery(const std::string& json);

}  // namespace zintrel
