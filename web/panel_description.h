#pragma once

#include <string>

namespace zintrel {

// Returns what the page builds its controls from, as JSON: the settings
// window's title, its size, its controls in tab order (kind, name, text,
// bounds at 96 dots per inch, range, start position, tick marks, and the
// slider or button number a handler takes) and the display's menu.
std::string PanelDescriptionJson();

// Returns the error box's text for a message: the message with a full stop,
// unless it ends with one already, as in the desktop programs' boxes.
std::string ErrorBoxText(const std::string& message);

}  // namespace zintrel
