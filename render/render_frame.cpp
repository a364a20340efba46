#include "render/render_frame.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "simulation/vector_state.h"

namespace zintrel {
namespace {

// The angle between a dart's tip and each of its two rear corners, 4 pi / 5.
constexpr double kDartRearAngle = 2.5132741228718345;

// The rear corners' directions are the tip's turned by the rear angle, so
// they can be estimated from the tip's cosine and sine without two more
// calls into libm. The estimate of cos or sin of heading +- kDartRearAngle
// (each rounded to a double, as the drawing rule computes it) is off by the
// libm errors of the four inputs (about 1e-15 in all) plus the rounding of
// the sum, at most half a unit in the last place of a heading of magnitude
// below kRotatedHeadingLimit (1.2e-13). kEstimateError is well above both.
constexpr double kRotatedHeadingLimit = 1024.0;
constexpr double kEstimateError = 1e-12;

struct Turn {
  double cos;
  double sin;
};

const Turn& RearTurn() {
  static const Turn turn{std::cos(kDartRearAngle), std::sin(kDartRearAngle)};
  return turn;
}

// Returns TruncToCoordinate(base + value * size) for the value libm would
// give, knowing only an estimate within kEstimateError of it, or calls
// exact() for that value when the estimate cannot decide. The expression is
// monotone in value (each rounding step is), so if both ends of the
// estimate's interval truncate to the same integer, so does the exact value.
template <typename Exact>
int TruncEstimated(double base, double estimate, double size, Exact exact) {
  const int low = TruncToCoordinate(base + (estimate - kEstimateError) * size);
  const int high = TruncToCoordinate(base + (estimate + kEstimateError) * size);
  if (low == high) return low;
  return TruncToCoordinate(base + exact() * size);
}

// Fills the three corners of the dart of the particle at (x, y): the tip
// along heading and the rear corners kDartRearAngle to either side, each
// truncated from (x + cos(angle) size, y + sin(angle) size).
void DartCorners(double x, double y, double heading, double size, Point (&corners)[3]) {
  const double tipCos = std::cos(heading);
  const double tipSin = std::sin(heading);
  corners[0] = {TruncToCoordinate(x + tipCos * size), TruncToCoordinate(y + tipSin * size)};
  const double left = heading + kDartRearAngle;
  const double right = heading - kDartRearAngle;
  if (!(std::fabs(heading) < kRotatedHeadingLimit)) {
    corners[1] = {TruncToCoordinate(x + std::cos(left) * size),
                  TruncToCoordinate(y + std::sin(left) * size)};
    corners[2] = {TruncToCoordinate(x + std::cos(right) * size),
                  TruncToCoordinate(y + std::sin(right) * size)};
    return;
  }
  const Turn& turn = RearTurn();
  const double leftCos = tipCos * turn.cos - tipSin * turn.sin;
  const double leftSin = tipSin * turn.cos + tipCos * turn.sin;
  const double rightCos = tipCos * turn.cos + tipSin * turn.sin;
  const double rightSin = tipSin * turn.cos - tipCos * turn.sin;
  corners[1] = {TruncEstimated(x, leftCos, size, [&] { return std::cos(left); }),
                TruncEstimated(y, leftSin, size, [&] { return std::sin(left); })};
  corners[2] = {TruncEstimated(x, rightCos, size, [&] { return std::cos(right); }),
                TruncEstimated(y, rightSin, size, [&] { return std::sin(right); })};
}

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
