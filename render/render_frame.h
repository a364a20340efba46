#pragma once

#include <limits>

#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"

namespace zintrel {

// Draws the frame of one tick: clears the bitmap to black, then draws every
// active particle in index order (later ones over earlier ones) with the
// bitmap's pen and a black brush, as a dart pointing along its heading when
// showOrientation is set and as a disc otherwise. The caller has already
// sized the bitmap to FieldWidth x FieldHeight; the pen colour is left as the
// caller set it.
void RenderFrame(const ParticleField& field, FrameBitmap& bitmap, bool showOrientation);

// Returns value truncated toward zero, saturated to the int range (NaN gives
// INT_MIN), so that any double is a safe drawing coordinate.
// Inline: a dart's corners take up to a dozen of these.
inline int TruncToCoordinate(double value) {
  // Both bounds are exact doubles; inside them the conversion is defined.
  if (value < 2147483648.0 && value > -2147483649.0) return static_cast<int>(value);
  return value > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
}

}  // namespace zintrel
