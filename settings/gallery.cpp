#include "settings/gallery.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "state/share_link.h"

namespace zintrel {

extern const char kGalleryJson[];

std::vector<GalleryRun> ReadGallery(const std::string& json) {
  std::vector<GalleryRun> runs;
  try {
    const nlohmann::json gallery = nlohmann::json::parse(json);
    for (const nlohmann::json& run : gallery.at("runs")) {
      runs.push_back({run.at("name").at("en").get<std::string>(), run.at("link").get<std::string>(),
                      run.at("thumbnail").get<std::string>()});
      // A file name of its own folder, nothing a shell could be led out of
      // its resources by.
      const std::string& file = runs.back().thumbnail;
      if (file.empty() || file.find_first_of("/\\") != std::string::npos || file.front() == '.') {
        throw std::runtime_error("the thumbnail name '" + file + "' is not a plain file name");
      }
      SharedRun shared;
      if (const std::string problem = ReadLink(runs.back().link, shared); !problem.empty()) {
        throw std::runtime_error("the link of '" + runs.back().name + "': " + problem);
      }
    }
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(std::string("the gallery is not what it should be: ") + e.what());
  }
  return runs;
}

const std::vector<GalleryRun>& GalleryRuns() {
  static const std::vector<GalleryRun> runs = ReadGallery(kGalleryJson);
  return runs;
}

}  // namespace zintrel
