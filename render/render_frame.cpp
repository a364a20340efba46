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
  for (int i = 0; i < count; ++i) {
    const double x = field.x[i];
    const double y = field.y[i];
    if (showOrientation) {
      Point vertices[3];
      DartCorners(x, y, field.Heading[i], size, vertices);
      bitmap.Polygon(vertices);
    } else {
      bitmap.Ellipse(TruncToCoordinate(x - size), TruncToCoordinate(y - size),
                     TruncToCoordinate(x + size), TruncToCoordinate(y + size));
    }
  }
}

}  // namespace zintrel
