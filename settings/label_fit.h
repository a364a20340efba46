#pragma once

namespace zintrel {

// A control's rectangle in pixels at 96 dots per inch.
struct Bounds {
  int left;
  int top;
  int width;
  int height;
};

// A label's room in the settings window: its own row, from a small margin
// at the window's edge to the left edge of its slider.
inline constexpr int kLabelRoomLeft = 2;
inline constexpr int kLabelRoomRight = 72;

// Returns where a label of textWidth pixels (at 96 dpi) goes: where the
// window's layout puts it when the text fits there, as the Japanese labels
// do, else widened within its room, keeping its left edge where it can, so
// a longer word in another language is never cut off.
constexpr Bounds FittedLabel(Bounds layout, int textWidth) {
  if (textWidth <= layout.width) return layout;
  int left = layout.left;
  if (left + textWidth > kLabelRoomRight) left = kLabelRoomRight - textWidth;
  if (left < kLabelRoomLeft) left = kLabelRoomLeft;
  return {left, layout.top, textWidth, layout.height};
}

}  // namespace zintrel
