#include "render/render_frame.h"

#include <algorithm>

#include "render/dart_corners.h"
#include "simulation/vector_state.h"

namespace zintrel {

void RenderFrame(const ParticleField& field, FrameBitmap& bitmap, bool showOrientation) {
  // The drawing is scalar SSE code; see vector_state.h.
  ClearUpperVectorState();
  const int width = bitmap.Width();
  const int height = bitmap.Height();
  bitmap.BrushColor = 0x000000;
  // The outline of this box lies one pixel outside the bitmap on every side,
  // so only the black brush lands.
  bitmap.Rectangle(-1, -1, width + 1, height + 1);
  bitmap.BrushColor = 0x000000;

  const int count = std::clamp<int>(field.ParticleCount, 0, MaxParticles);
  const double size = field.ParticleSize;
  if (showOrientation) {
    // The corners of the next dart are computed before the current one is
    // drawn: they do not depend on the pixels, and the processor can overlap
    // their long chain of multiplications with the drawing.
    Point next[3];
    if (count > 0) DartCorners(field.x[0], field.y[0], field.Heading[0], size, next);
    for (int i = 0; i < count; ++i) {
      const Point vertices[3] = {next[0], next[1], next[2]};
      if (i + 1 < count) DartCorners(field.x[i + 1], field.y[i + 1], field.Heading[i + 1], size, next);
      bitmap.Polygon(vertices);
    }
    return;
  }
  for (int i = 0; i < count; ++i) {
    const double x = field.x[i];
    const double y = field.y[i];
    bitmap.Ellipse(TruncToCoordinate(x - size), TruncToCoordinate(y - size),
                   TruncToCoordinate(x + size), TruncToCoordinate(y + size));
  }
}

}  // namespace zintrel
