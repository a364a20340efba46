#include "render/render_frame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "simulation/vector_state.h"

namespace zintrel {
namespace {

// The angle between a dart's tip and each of its two rear corners, 4 pi / 5.
constexpr double kDartRearAngle = 2.5132741228718345;

}  // namespace

int TruncToCoordinate(double value) {
  // Both bounds are exact doubles; inside them the conversion is defined.
  if (value < 2147483648.0 && value > -2147483649.0) return static_cast<int>(value);
  return value > 0 ? std::numeric_limits<int>::max() : std::numeric_limits<int>::min();
}

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
      const double heading = field.Heading[i];
      const double angles[3] = {heading, heading + kDartRearAngle, heading - kDartRearAngle};
      Point vertices[3];
      for (int k = 0; k < 3; ++k) {
        vertices[k] = {TruncToCoordinate(x + std::cos(angles[k]) * size),
                       TruncToCoordinate(y + std::sin(angles[k]) * size)};
      }
      bitmap.Polygon(vertices);
    } else {
      bitmap.Ellipse(TruncToCoordinate(x - size), TruncToCoordinate(y - size),
                     TruncToCoordinate(x + size), TruncToCoordinate(y + size));
    }
  }
}

}  // namespace zintrel
