#pragma once

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
int TruncToCoordinate(double value);

}  // namespace zintrel
