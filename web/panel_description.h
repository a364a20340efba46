#pragma once

#include <string>

namespace zintrel {

// Returns what the page builds its controls from, as JSON: the settings
// window's title, its size, its controls in tab order (kind, name, text,
// bounds at 96 dots per inch, range, start position, tick marks, and the
// slider or button number a handler takes), the display's menu, and the
// gallery's runs (name, link, thumbnail and its size).
std::string PanelDescriptionJson();

// Makes the first of the browser's languages (navigator.languages, joined
// by commas: "ja-JP,en-US") that the programs speak the page's language;
// English where none is.
void ChooseLanguage(const std::string& browserLanguages);

}  // namespace zintrel
