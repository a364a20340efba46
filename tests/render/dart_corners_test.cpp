#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "render/dart_corners.h"
#include "render/render_frame.h"

namespace zintrel {
namespace {

// The corners as the drawing rule states them: three angles, libm's cos and
// sin of each, truncated toward zero.
void RuleCorners(double x, double y, double heading, double size, Point (&corners)[3]) {
  const double angles[3] = {heading, heading + kDartRearAngle, heading - kDartRearAngle};
  for (int k = 0; k < 3; ++k) {
    corners[k] = {TruncToCoordinate(x + std::cos(angles[k]) * size),
                  TruncToCoordinate(y + std::sin(angles[k]) * size)};
  }
}

void ExpectRuleCorners(double x, double y, double heading, double size) {
  Point expected[3];
  Point actual[3];
  RuleCorners(x, y, heading, size, expected);
  DartCorners(x, y, heading, size, actual);
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(actual[k].x, expected[k].x) << x << " " << y << " " << heading << " " << size << " " << k;
    ASSERT_EQ(actual[k].y, expected[k].y) << x << " " << y << " " << heading << " " << size << " " << k;
  }
}

// The estimate's error analysis (beside EstimateCosSin) bounds it by 7.4e-12
// against the true value, nearly all of it the cut-off series at the quadrant
// edges; libm adds at most a unit in the last place. The bound is tight
// enough that a wrong coefficient or a lost low part of pi / 2 fails it.
constexpr double kObservedBound = 7.4e-12 + 0x1p-52;
static_assert(kObservedBound < kCosSinEstimateError);

void ExpectNearLibm(double heading) {
  const CosSin estimate = EstimateCosSin(heading);
  ASSERT_LE(std::fabs(estimate.cos - std::cos(heading)), kObservedBound) << heading;
  ASSERT_LE(std::fabs(estimate.sin - std::sin(heading)), kObservedBound) << heading;
}

TEST(DartCornersTest, EstimateStaysNearLibmOnAFineGrid) {
  for (int i = -(1 << 20); i < (1 << 20); ++i) ExpectNearLibm(i * (1024.0 / (1 << 20)));
}

// Each multiple of pi / 4 below the limit is where the reduction changes
// quadrant or the reduced angle is largest; the neighbouring doubles on both
// sides must all be estimated well.
TEST(DartCornersTest, EstimateStaysNearLibmAtQuadrantEdges) {
  for (int k = -1304; k <= 1304; ++k) {
    double heading = k * 0.78539816339744831;
    for (int step = 0; step < 4; ++step) heading = std::nextafter(heading, -2000.0);
    for (int step = 0; step < 9; ++step) {
      if (std::fabs(heading) < kEstimatedHeadingLimit) ExpectNearLibm(heading);
      heading = std::nextafter(heading, 2000.0);
    }
  }
  for (const double heading : {0.0, -0.0, 4.9e-324, -4.9e-324, 1e-300, -1e-8, 1023.9999999999999,
                               -1023.9999999999999}) {
    ExpectNearLibm(heading);
  }
}

TEST(DartCornersTest, RandomDartsMatchTheRule) {
  std::mt19937_64 random(17);
  std::uniform_real_distribution<double> position(-20.0, 700.0), angle(-3.2, 3.2),
      wide(-1100.0, 1100.0), size(1.0, 12.0);
  for (int i = 0; i < 300000; ++i) {
    ExpectRuleCorners(position(random), position(random), angle(random), size(random));
  }
  for (int i = 0; i < 100000; ++i) {
    ExpectRuleCorners(position(random), position(random), wide(random), size(random));
  }
}

// Places each corner of the dart within a rounding or two of a whole pixel
// coordinate, where the estimate alone cannot tell which integer truncation
// gives and DartCorners must ask libm: on both sides of zero, whole and
// fractional sizes.
TEST(DartCornersTest, CornersOnPixelBoundariesMatchTheRule) {
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> angle(-3.2, 3.2);
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    const double heading = angle(random);
    const double size = i % 2 == 0 ? 6.0 : 3.0 + (i % 7) * 0.85;
    const double turns[3] = {0.0, kDartRearAngle, -kDartRearAngle};
    const int k = i % 3;
    const double corner = heading + (k == 0 ? 0.0 : turns[k]);
    const double offsetX = std::cos(corner) * size;
    const double offsetY = std::sin(corner) * size;
    for (const double whole : {-3.0, 0.0, 1.0, 17.0, 400.0}) {
      const double x = whole - offsetX;
      const double y = whole - offsetY;
      for (int nudge = -2; nudge <= 2; ++nudge) {
        double nx = x, ny = y;
        for (int n = 0; n < std::abs(nudge); ++n) {
          nx = std::nextafter(nx, nudge * 1e9);
          ny = std::nextafter(ny, nudge * 1e9);
        }
        ExpectRuleCorners(nx, ny, heading, size);
        ExpectRuleCorners(nx, y, -heading, size);
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 20000 * 5 * 5);
}

// Far positions and huge sizes take the checked truncation, which saturates.
TEST(DartCornersTest, FarPositionsAndHugeSizesMatchTheRule) {
  for (const double far : {536870911.5, 536870912.0, -6e8, 2147483645.3, -2147483647.5, 3e9}) {
    for (const double heading : {0.0, 0.7, -2.0, 3.1}) {
      ExpectRuleCorners(far, 10.25, heading, 6.0);
      ExpectRuleCorners(10.25, far, heading, 6.0);
      ExpectRuleCorners(10.25, 3.5, heading, far);
    }
  }
}

TEST(DartCornersTest, LargeAndNonFiniteHeadingsMatchTheRule) {
  for (const double heading : {1024.0, -1024.0, 1023.9999999999999, 5e3, -3e9, 1e300}) {
    for (const double x : {10.0, 10.5, -0.25}) ExpectRuleCorners(x, 7.75, heading, 6.0);
  }
  Point corners[3];
  DartCorners(10, 10, NAN, 6, corners);
  for (const Point& p : corners) EXPECT_EQ(p.x, TruncToCoordinate(NAN));
}

}  // namespace
}  // namespace zintrel
