#include "render/dart_corners.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "render/render_frame.h"

namespace zintrel {
namespace {

// Half the width of the interval in which DartCorners knows the libm value of
// every cosine and sine it needs. The tip's estimates are within
// kCosSinEstimateError of the truth and libm within a unit in the last place
// (2.2e-16). A rear corner's estimate turns the tip's by kDartRearAngle: the
// two estimate errors add up to at most sqrt(2) kCosSinEstimateError, the
// rounding of the rotated angle to a double (as the rule computes it) to half
// a unit in the last place of 2048, 1.2e-13, and the libm values of the turn
// and the products' rounding to a few 1e-16. All of it is well below 1e-10,
// and a dart's corner lies that close to a pixel boundary about once in a
// billion, so libm is all but never called.
constexpr double kEstimateError = 1e-10;

// pi / 2 split for the reduction of the heading to [-pi / 4, pi / 4]:
// kHalfPiHigh has 33 significant bits, so k kHalfPiHigh is exact for every
// quadrant number k below 2^20, and kHalfPiLow is the rest of pi / 2,
// rounded. kRoundingShift, added and subtracted, rounds a double of
// magnitude below 2^51 to the nearest integer and leaves that integer, modulo
// 2^52, in the low bits of the sum.
constexpr double kHalfPiHigh = 0x1.921fb54400000p+0;
constexpr double kHalfPiLow = 0x1.0b4611a626331p-34;
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kRoundingShift = 0x1.8p52;

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

// Below this magnitude of x, y and size, every base + (value +- kEstimateError)
// size with |value| <= 1 + kEstimateError lies well inside the int range, so
// a plain conversion truncates exactly as TruncToCoordinate does.
constexpr double kPlainTruncLimit = 0x1p29;

// A pair of doubles (an x and a y) and of ints, as the compiler's vector
// extensions: both coordinates of a corner go through the same instructions
// (SSE2 on x86-64) with the same IEEE rounding as one coordinate would.
using Pair = double __attribute__((vector_size(16)));
using IntPair = std::int32_t __attribute__((vector_size(8)));

// TruncEstimated for both coordinates of a corner whose base, estimate and
// size are below kPlainTruncLimit, where a plain conversion truncates exactly
// as TruncToCoordinate does. Returns whether both coordinates were decided.
bool TruncEstimatedPair(Pair base, Pair estimate, double size, Point& corner) {
  const IntPair low = __builtin_convertvector(base + (estimate - kEstimateError) * size, IntPair);
  const IntPair high = __builtin_convertvector(base + (estimate + kEstimateError) * size, IntPair);
  corner = {low[0], low[1]};
  return low[0] == high[0] && low[1] == high[1];
}

}  // namespace

// The reduced angle r = heading - k pi / 2 has |r| <= pi / 4 + 4e-13 (k is
// rounded from a product that is itself rounded). heading - k kHalfPiHigh is
// exact: both are multiples of 2^-53 once k is non-zero, and their
// difference is below 1. Subtracting k kHalfPiLow then costs half a unit in
// the last place of r, 5.6e-17, and the dropped tail of pi / 2 less than
// 1e-20. On |r| <= 0.7854 the Taylor series cut after r^11 (sine) and r^12
// (cosine) err by less than their first omitted terms, 6.95e-12 and 3.9e-13;
// the evaluation below rounds at most a few units of 1e-16. The sum stays
// below 7.4e-12, three quarters of kCosSinEstimateError. The polynomials in
// z = r^2 are split in powers of z^2 (Estrin's scheme) so that their
// dependency chains are half as long as nested multiplication's.
CosSin EstimateCosSin(double heading) {
  const double shifted = heading * kTwoOverPi + kRoundingShift;
  const double k = shifted - kRoundingShift;
  const std::uint64_t quadrant = std::bit_cast<std::uint64_t>(shifted) & 3;
  const double r = (heading - k * kHalfPiHigh) - k * kHalfPiLow;
  const double z = r * r;
  const double z2 = z * z;
  const double sinTail = (-1.0 / 6 + z * (1.0 / 120)) +
                         z2 * ((-1.0 / 5040 + z * (1.0 / 362880)) + z2 * (-1.0 / 39916800));
  const double cosTail =
      (-1.0 / 2 + z * (1.0 / 24)) +
      z2 * ((-1.0 / 720 + z * (1.0 / 40320)) + z2 * (-1.0 / 3628800 + z * (1.0 / 479001600)));
  const std::uint64_t sinR = std::bit_cast<std::uint64_t>(r + (r * z) * sinTail);
  const std::uint64_t cosR = std::bit_cast<std::uint64_t>(1.0 + z * cosTail);
  // Quadrant q turns (cos r, sin r) by q right angles: odd quadrants swap the
  // two, quadrants 1 and 2 negate the cosine, 2 and 3 the sine. Masks rather
  // than branches, since the quadrant of consecutive particles is random.
  const std::uint64_t swap = (cosR ^ sinR) & (std::uint64_t{0} - (quadrant & 1));
  const std::uint64_t signBit = std::uint64_t{1} << 63;
  const std::uint64_t cosSign = ((quadrant + 1) & 2) != 0 ? signBit : 0;
  const std::uint64_t sinSign = (quadrant & 2) != 0 ? signBit : 0;
  return {std::bit_cast<double>((cosR ^ swap) ^ cosSign),
          std::bit_cast<double>((sinR ^ swap) ^ sinSign)};
}

void DartCorners(double x, double y, double heading, double size, Point (&corners)[3]) {
  const double left = heading + kDartRearAngle;
  const double right = heading - kDartRearAngle;
  if (!(std::fabs(heading) < kEstimatedHeadingLimit)) {
    corners[0] = {TruncToCoordinate(x + std::cos(heading) * size),
                  TruncToCoordinate(y + std::sin(heading) * size)};
    corners[1] = {TruncToCoordinate(x + std::cos(left) * size),
                  TruncToCoordinate(y + std::sin(left) * size)};
    corners[2] = {TruncToCoordinate(x + std::cos(right) * size),
                  TruncToCoordinate(y + std::sin(right) * size)};
    return;
  }
  const CosSin tip = EstimateCosSin(heading);
  const Turn& turn = RearTurn();
  const double leftCos = tip.cos * turn.cos - tip.sin * turn.sin;
  const double leftSin = tip.sin * turn.cos + tip.cos * turn.sin;
  const double rightCos = tip.cos * turn.cos + tip.sin * turn.sin;
  const double rightSin = tip.sin * turn.cos - tip.cos * turn.sin;
  if (std::fabs(x) < kPlainTruncLimit && std::fabs(y) < kPlainTruncLimit &&
      std::fabs(size) < kPlainTruncLimit) {
    // The same roundings as the scalar expressions above: each lane adds the
    // same two rounded products, and negation is exact.
    const Pair base = {x, y};
    const Pair tipPair = {tip.cos, tip.sin};
    const Pair leftPair = tipPair * turn.cos + Pair{-tip.sin, tip.cos} * turn.sin;
    const Pair rightPair = tipPair * turn.cos + Pair{tip.sin, -tip.cos} * turn.sin;
    // All three are estimated, whatever the first gives: one branch below.
    const bool tipDecided = TruncEstimatedPair(base, tipPair, size, corners[0]);
    const bool leftDecided = TruncEstimatedPair(base, leftPair, size, corners[1]);
    const bool rightDecided = TruncEstimatedPair(base, rightPair, size, corners[2]);
    if (tipDecided && leftDecided && rightDecided) return;
  }
  corners[0] = {TruncEstimated(x, tip.cos, size, [&] { return std::cos(heading); }),
                TruncEstimated(y, tip.sin, size, [&] { return std::sin(heading); })};
  corners[1] = {TruncEstimated(x, leftCos, size, [&] { return std::cos(left); }),
                TruncEstimated(y, leftSin, size, [&] { return std::sin(left); })};
  corners[2] = {TruncEstimated(x, rightCos, size, [&] { return std::cos(right); }),
                TruncEstimated(y, rightSin, size, [&] { return std::sin(right); })};
}

}  // namespace zintrel
