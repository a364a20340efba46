#include "simulation/fast/exact_fma.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace zintrel {
namespace {

__extension__ typedef unsigned __int128 Wide;  // GCC and Clang on 64-bit targets.

// A finite nonzero double as magnitude * 2^exponent, magnitude < 2^53.
struct Parts {
  std::uint64_t magnitude;
  int exponent;
  bool negative;
};

Parts Decompose(double x) {
  const auto bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) return {fraction, -1074, (bits >> 63) != 0};  // Subnormal.
  return {fraction | (std::uint64_t{1} << 52), biased - 1075, (bits >> 63) != 0};
}

int BitLength(Wide x) {
  const auto high = static_cast<std::uint64_t>(x >> 64);
  if (high != 0) return 128 - std::countl_zero(high);
  return 64 - std::countl_zero(static_cast<std::uint64_t>(x));
}

// Shifts x right by `shift` bits, keeping whether anything nonzero fell off
// in bit 0 (the sticky bit).
Wide ShiftRightSticky(Wide x, int shift) {
  if (shift <= 0) return x;
  if (shift >= 128) return x != 0 ? 1 : 0;
  const Wide lost = x & ((Wide{1} << shift) - 1);
  return (x >> shift) | (lost != 0 ? 1 : 0);
}

// The top bit of every aligned operand: two bits below the top of the word
// leave room for the carry of an addition.
constexpr int kTop = 125;

}  // namespace

double ExactFusedMulAdd(double a, double b, double c) {
  // With an infinite or undefined operand, or a zero factor, the separate
  // operations already give the IEEE answer (the product of finite factors
  // is exact, so a non-finite c decides alone).
  if (!std::isfinite(a) || !std::isfinite(b)) return a * b + c;
  if (!std::isfinite(c)) return c;
  if (a == 0.0 || b == 0.0) return a * b + c;
  if (c == 0.0) return a * b;  // One rounding of a nonzero product.

  const Parts pa = Decompose(a), pb = Decompose(b), pc = Decompose(c);
  // The exact product, up to 106 bits, and c, each with its top bit at kTop.
  Wide product = Wide{pa.magnitude} * pb.magnitude;
  int productExponent = pa.exponent + pb.exponent;
  const int productShift = kTop + 1 - BitLength(product);
  product <<= productShift;
  productExponent -= productShift;
  Wide addend = pc.magnitude;
  int addendExponent = pc.exponent;
  const int addendShift = kTop + 1 - BitLength(addend);
  addend <<= addendShift;
  addendExponent -= addendShift;

  // Align the smaller to the larger. Both carry at least 20 spare low bits
  // (the product has at most 106 of its 126), so a shift of up to 20 loses
  // nothing, and after a longer one the sum cancels at most one leading bit
  // and rounds far above the sticky bit.
  const bool productLarger = productExponent > addendExponent ||
                             (productExponent == addendExponent && product >= addend);
  Wide large = productLarger ? product : addend;
  Wide small = productLarger ? addend : product;
  const int exponent = productLarger ? productExponent : addendExponent;
  small = ShiftRightSticky(small, exponent - (productLarger ? addendExponent : productExponent));
  const bool negative = productLarger ? pa.negative != pb.negative : pc.negative;
  const bool subtract = (pa.negative != pb.negative) != pc.negative;
  const Wide sum = subtract ? large - small : large + small;
  if (sum == 0) return 0.0;  // Exact cancellation gives +0 when rounding to nearest.

  // Keep 53 bits, or fewer where the result is subnormal, and round the rest
  // to nearest, ties to even.
  const int length = BitLength(sum);
  int drop = length - 53;
  if (exponent + length - 1 < -1022) drop = -1074 - exponent;
  Wide kept = sum;
  if (drop > 0) {
    kept = sum >> drop;
    const Wide rest = sum & ((Wide{1} << drop) - 1);
    const Wide half = Wide{1} << (drop - 1);
    if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
  } else if (drop < 0) {
    // Exact: only a subnormal result has bits to spare.
    kept = sum << -drop;
  }
  // kept <= 2^53 converts exactly, and scaling by a power of two is exact
  // down to the subnormals (which `drop` made the result fit) and overflows
  // to infinity exactly when the rounded result does.
  const double magnitude = std::ldexp(static_cast<double>(kept), exponent + drop);
  return negative ? -magnitude : magnitude;
}

}  // namespace zintrel
