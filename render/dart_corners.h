#pragma once

// The corners of the dart a particle is drawn as, computed without the C
// library's sine and cosine on the common path but always equal to the
// corners computed with them.

#include "render/frame_bitmap.h"

namespace zintrel {

// The angle between a dart's tip and each of its two rear corners, 4 pi / 5.
inline constexpr double kDartRearAngle = 2.5132741228718345;

// Headings of magnitude below this take the estimated path; others (and NaN)
// call libm for every corner.
inline constexpr double kEstimatedHeadingLimit = 1024.0;

// A bound on how far EstimateCosSin's results lie from the true cosine and
// sine, rounding included, for headings below kEstimatedHeadingLimit.
inline constexpr double kCosSinEstimateError = 1e-11;

struct CosSin {
  double cos;
  double sin;
};

// Returns cos(heading) and sin(heading), each within kCosSinEstimateError of
// the true value, for |heading| < kEstimatedHeadingLimit. A short polynomial
// in place of libm: the caller only needs to know which side of a pixel
// boundary a corner falls on, and asks libm when the estimate cannot tell.
CosSin EstimateCosSin(double heading);

// Fills the three corners of the dart of the particle at (x, y): the tip
// along heading and the rear corners kDartRearAngle to either side, each
// truncated toward zero (TruncToCoordinate) from
// (x + cos(angle) size, y + sin(angle) size), angle = heading, heading +
// kDartRearAngle and heading - kDartRearAngle, with libm's cos and sin.
void DartCorners(double x, double y, double heading, double size, Point (&corners)[3]);

}  // namespace zintrel
