#include "web/panel_description.h"

#include <nlohmann/json.hpp>

#include "settings/catalog.h"
#include "settings/display_texts.h"
#include "settings/gallery.h"
#include "settings/panel_layout.h"
#include "settings/ui_language.h"
#include "state/share_link.h"

namespace zintrel {
namespace {

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel: return "label";
    case ControlKind::kSlider: return "slider";
    case ControlKind::kCheckBox: return "checkbox";
    case ControlKind::kButton: return "button";
  }
  return "label";
}

}  // namespace

std::string PanelDescriptionJson() {
  nlohmann::json controls = nlohmann::json::array();
  for (const PanelControl& control : PanelControls()) {
    nlohmann::json item{{"kind", KindName(control.kind)},
                        {"name", control.name},
                        {"text", Tr(control.text)},
                        {"bounds", {control.bounds.left, control.bounds.top, control.bounds.width, control.bounds.height}}};
    if (control.kind == ControlKind::kSlider) {
      item["slider"] = static_cast<int>(control.slider);
      item["minimum"] = control.minimum;
      item["maximum"] = control.maximum;
      item["position"] = control.position;
      item["everyStep"] = control.everyStep;
    } else if (control.kind == ControlKind::kCheckBox) {
      item["checked"] = control.position != 0;
    } else if (control.kind == ControlKind::kButton) {
      item["button"] = static_cast<int>(control.button);
    }
    controls.push_back(item);
  }
  nlohmann::json menu = nlohmann::json::array();
  for (const MenuItem& item : DisplayMenuItems()) {
    menu.push_back({{"action", static_cast<int>(item.action)}, {"text", Tr(item.text)}, {"shortcut", item.shortcut}});
  }
  menu.push_back({{"action", static_cast<int>(kCopyLinkItem.action)},
                  {"text", Tr(kCopyLinkItem.text)},
                  {"shortcut", kCopyLinkItem.shortcut},
                  {"tip", Tr(kCopyLinkTip)}});
  menu.push_back({{"action", static_cast<int>(kGalleryItem.action)},
                  {"text", Tr(kGalleryItem.text)},
                  {"shortcut", kGalleryItem.shortcut}});
  // Each thumbnail is drawn at its link's display size, which the page
  // gives its picture before it loads, so that the list does not move.
  nlohmann::json runs = nlohmann::json::array();
  for (const GalleryRun& run : GalleryRuns()) {
    // GalleryRuns has read every link already.
    SharedRun shared;
    static_cast<void>(ReadLink(run.link, shared));
    runs.push_back({{"name", Tr(run.name.c_str())},
                    {"link", run.link},
                    {"thumbnail", run.thumbnail},
                    {"width", shared.width},
                    {"height", shared.height}});
  }
  return nlohmann::json{{"title", Tr(kPanelTitle)},
                        {"language", UiLanguage()},
                        {"linkCopied", Tr(kLinkCopiedText)},
                        {"stopRecording", Tr(kStopRecordingText)},
                        {"recordVideo", Tr("Record video…")},
                        {"width", kPanelWidth},
                        {"height", kPanelHeight},
                        {"controls", controls},
                        {"menu", menu},
                        {"gallery", {{"title", Tr(kGalleryTitle)}, {"close", Tr(kGalleryCloseText)}, {"runs", runs}}}}
      .dump();
}

void ChooseLanguage(const std::string& browserLanguages) {
  std::size_t begin = 0;
  while (begin <= browserLanguages.size()) {
    std::size_t end = browserLanguages.find(',', begin);
    if (end == std::string::npos) end = browserLanguages.size();
    if (const std::string language = MatchLanguage(browserLanguages.substr(begin, end - begin)); !language.empty()) {
      SetUiLanguage(language);
      return;
    }
    begin = end + 1;
  }
  SetUiLanguage(kSourceLanguage);
}

}  // namespace zintrel
