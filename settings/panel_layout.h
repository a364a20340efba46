#pragma once

#include <span>

#include "settings/catalog.h"
#include "settings/slider_mapping.h"

namespace zintrel {

// The settings window's controls as every shell lays them out: in tab
// order, each with its text, its range and start position, and its place
// in the window's 204 x 519 client area at 96 dots per inch. A shell builds
// its widgets from this and maps their events onto SettingsPanel.

enum class ControlKind { kLabel, kSlider, kCheckBox, kButton };

// The four buttons, named after them.
enum class Button { kButton1, kButton2, kButton3, kButton4 };

struct PanelBounds {
  int left;
  int top;
  int width;
  int height;
};

struct PanelControl {
  ControlKind kind;
  const char* name;   // The control's name in the program: "TrackBar1", "StaticText1", ...
  const char* text;   // English, looked up with Tr where shown; empty for a slider.
  PanelBounds bounds;
  Slider slider;      // Sliders only.
  int minimum;        // Sliders only.
  int maximum;        // Sliders only.
  int position;       // A slider's start position; a check box's start state (1 checked).
  bool everyStep;     // Sliders only: a tick mark at every position, else at the two ends.
  Button button;      // Buttons only.
};

inline constexpr int kPanelWidth = 204;
inline constexpr int kPanelHeight = 519;

// The settings window's title.
inline constexpr const char* kPanelTitle = TrNoop("Zintrel - Settings");

// Returns every control of the settings window in tab order; the labels,
// which never take the focus, come last.
std::span<const PanelControl> PanelControls();

// Returns the control of a slider.
const PanelControl& SliderControl(Slider slider);

// The display window's menu, as each shell shows it: text and shortcut.
// The page names its actions by these values, so a new one comes last.
enum class MenuAction {
  kSaveState,
  kOpenState,
  kSavePicture,
  kCopyPicture,
  kRecord,
  kCopyLink,
  kFullScreen,
  kOpenLink,
  kGallery
};
struct MenuItem {
  MenuAction action;
  const char* text;      // English, looked up with Tr where shown.
  const char* shortcut;  // As the keyboard names it: "Ctrl+S".
};
std::span<const MenuItem> DisplayMenuItems();

// The web page's fifth action: an address that replays the run, from its
// start, under the settings as they stand. Where a link and a state file
// differ is said beside it, and once more when a link has been copied.
inline constexpr MenuItem kCopyLinkItem{MenuAction::kCopyLink, TrNoop("Copy link"), ""};
inline constexpr const char* kCopyLinkTip =
    TrNoop("A link replays this run from its start under these settings; Save state… keeps this very moment");
inline constexpr const char* kLinkCopiedText =
    TrNoop("Link copied: it replays this run from its start under these settings");

// The desktop programs' link actions, in their display window's menu after
// Copy picture: the run as a link onto the clipboard, and a link taken from
// the clipboard or typed, started as zintrel-headless --link starts it.
inline constexpr MenuItem kDesktopCopyLinkItem{MenuAction::kCopyLink, TrNoop("Copy link"), "Ctrl+Shift+C"};
inline constexpr MenuItem kOpenLinkItem{MenuAction::kOpenLink, TrNoop("Open link…"), "Ctrl+L"};
inline constexpr const char* kOpenLinkTitle = TrNoop("Open link");
inline constexpr const char* kOpenLinkPrompt = TrNoop("Address of a Zintrel link:");

// The gallery, in every program's display menu after the link actions: a
// window (the page's: a dialog) of the runs in settings/gallery.h playing
// with their names, where choosing one opens its link.
inline constexpr MenuItem kGalleryItem{MenuAction::kGallery, TrNoop("Gallery…"), "Ctrl+G"};
inline constexpr const char* kGalleryTitle = TrNoop("Gallery");
// The button that closes it where the window has none of its own (the page's).
inline constexpr const char* kGalleryCloseText = TrNoop("Close");

}  // namespace zintrel
