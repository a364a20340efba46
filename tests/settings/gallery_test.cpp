#include "settings/gallery.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "settings/catalog.h"
#include "state/share_link.h"

namespace zintrel {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The gallery the programs carry is the one in the source tree, every run
// named in each language as gallery.json names it, its link replayable and
// its thumbnail there; and every thumbnail there belongs to a run.
TEST(GalleryTest, EveryRunIsNamedLinkedAndPictured) {
  const std::filesystem::path folder = ZINTREL_GALLERY_DIR;
  const nlohmann::json source = nlohmann::json::parse(ReadText(folder / "gallery.json"));
  const std::vector<GalleryRun>& runs = GalleryRuns();
  ASSERT_EQ(runs.size(), source.at("runs").size());
  EXPECT_GE(runs.size(), 16u);
  EXPECT_LE(runs.size(), 24u);
  std::set<std::string> names;
  std::set<std::string> thumbnails;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const GalleryRun& run = runs[i];
    SCOPED_TRACE(run.name);
    SetUiLanguage("ja");
    EXPECT_EQ(Tr(run.name.c_str()), source["runs"][i]["name"]["ja"].get<std::string>());
    SetUiLanguage(kSourceLanguage);
    EXPECT_EQ(Tr(run.name.c_str()), run.name);
    EXPECT_TRUE(names.insert(run.name).second);
    EXPECT_TRUE(thumbnails.insert(run.thumbnail).second);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / run.thumbnail));
    SharedRun shared;
    EXPECT_EQ(ReadLink(run.link, shared), "");
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".gif") {
      EXPECT_TRUE(thumbnails.count(entry.path().filename().string())) << entry.path();
    }
  }
}

// A gallery that is not what it should be is refused, naming what is wrong,
// and a thumbnail's name never leads out of the shell's own resources.
TEST(GalleryTest, RefusesAFaultyGallery) {
  const std::string link = "#zintrel=1&seed=5&count=100&max-speed=8.0&size=3.0&activity=1.0&repulsion=8.0"
                           "&acceleration=1.0&repulsive-acceleration=1.0&running=1&initial-radius=10.0"
                           "&width=240&height=160&darts=1";
  const auto gallery = [&](const std::string& thumbnail, const std::string& runLink) {
    return R"({"runs": [{"name": {"en": "A", "ja": "あ"}, "link": ")" + runLink + R"(", "thumbnail": ")" +
           thumbnail + R"(", "reproduce": []}]})";
  };
  ASSERT_EQ(ReadGallery(gallery("a.gif", link)).size(), 1u);
  const struct {
    std::string json;
    const char* told;
  } faulty[] = {
      {"{}", "runs"},
      {"[", "parse"},
      {R"({"runs": [{"name": {"ja": "あ"}, "link": "", "thumbnail": "a.gif"}]})", "en"},
      {gallery("../a.gif", link), "'../a.gif' is not a plain file name"},
      {gallery("sub/a.gif", link), "not a plain file name"},
      {gallery("sub\\\\a.gif", link), "not a plain file name"},
      {gallery("", link), "not a plain file name"},
      {gallery("a.gif", "#zintrel=1&seed=5"), "the link of 'A'"},
  };
  for (const auto& [json, told] : faulty) {
    try {
      ReadGallery(json);
      ADD_FAILURE() << json << " was read";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(told), std::string::npos) << json << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace zintrel
