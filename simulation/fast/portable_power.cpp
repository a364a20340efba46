#include "simulation/fast/portable_power.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "simulation/power.h"

namespace zintrel {
namespace {

// The compiler must not fuse a product and a sum here (the build turns
// contraction off): every rounding below is part of the result's definition.

constexpr std::uint64_t kMantissaMask = 0x000FFFFFFFFFFFFFull;
constexpr std::uint64_t kOneBits = 0x3FF0000000000000ull;  // The bits of 1.0.
// ln 2 split so that k * kLn2Hi is exact for every |k| below 2^11.
constexpr double kLn2Hi = 0x1.62e42fee00000p-1;
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;
constexpr double kInvLn2 = 0x1.71547652b82fep0;
constexpr double kSqrt2 = 1.4142135623730951;

// Returns a + b exactly as a rounded sum and its error.
WideDouble TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// Like TwoSum, for |a| >= |b| (or a = 0).
WideDouble FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// Returns a * b exactly as a rounded product and its error, by splitting
// each factor into halves of 26 bits (there is no fused multiply-add to
// lean on). Needs |a|, |b| below 2^995.
WideDouble TwoProduct(double a, double b) {
  constexpr double kSplitter = 134217729.0;  // 2^27 + 1.
  const double p = a * b;
  const double ca = kSplitter * a;
  const double aHi = ca - (ca - a);
  const double aLo = a - aHi;
  const double cb = kSplitter * b;
  const double bHi = cb - (cb - b);
  const double bLo = b - bHi;
  return {p, ((aHi * bHi - p) + aHi * bLo + aLo * bHi) + aLo * bLo};
}

// 1 / i!, rounded once each when compiling.
constexpr std::array<double, 15> kInverseFactorials = [] {
  std::array<double, 15> inverse{};
  double factorial = 1.0;
  for (int i = 1; i < 15; ++i) {
    factorial *= i;  // Exact up to 14!.
    inverse[i] = 1.0 / factorial;
  }
  return inverse;
}();

// Returns 2^n for -1022 <= n <= 1023.
double PowerOfTwo(int n) {
  return std::bit_cast<double>(static_cast<std::uint64_t>(n + 1023) << 52);
}

}  // namespace

WideDouble MultiplyWide(WideDouble y, double factor) {
  const double product = y.hi * factor;
  // Beyond this the exponential is 0 or infinite whatever the low part.
  if (!(std::fabs(product) < 0x1p900)) return {product, 0.0};
  const WideDouble p = TwoProduct(y.hi, factor);
  return FastTwoSum(p.hi, p.lo + y.lo * factor);
}

WideDouble PortableLog(double x) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  int k = 0;
  if ((bits >> 52) == 0) {  // Subnormal: make it normal first.
    bits = std::bit_cast<std::uint64_t>(x * 0x1p54);
    k = -54;
  }
  k += static_cast<int>(bits >> 52) - 1023;
  double m = std::bit_cast<double>((bits & kMantissaMask) | kOneBits);
  if (m > kSqrt2) {  // Centre the mantissa on 1: m in (sqrt(1/2), sqrt(2)].
    m *= 0.5;
    ++k;
  }
  // ln m = 2 atanh(u) with u = (m - 1) / (m + 1), |u| < 0.172. The quotient
  // is carried as u + uLo; the series beyond its first term is small enough
  // for plain doubles.
  const double f = m - 1.0;  // Exact.
  const WideDouble g = TwoSum(m, 1.0);
  const double u = f / g.hi;
  const WideDouble ug = TwoProduct(u, g.hi);
  const double uLo = (((f - ug.hi) - ug.lo) - u * g.lo) / g.hi;
  const double v = u * u;
  double series = 2.0 / 23.0;
  for (int odd = 21; odd >= 3; odd -= 2) series = 2.0 / odd + v * series;
  const WideDouble logM = FastTwoSum(2.0 * u, 2.0 * uLo + u * v * series);

  const WideDouble sum = TwoSum(k * kLn2Hi, logM.hi);
  return FastTwoSum(sum.hi, sum.lo + (logM.lo + k * kLn2Lo));
}

double PortableExp(WideDouble y) {
  if (std::isnan(y.hi)) return y.hi;
  if (y.hi > 1000.0) return std::numeric_limits<double>::infinity();
  if (y.hi < -1000.0) return 0.0;
  // e^y = 2^n e^r with |r| <= ln(2) / 2; r is exact up to y's own low part.
  const double n = std::floor(y.hi * kInvLn2 + 0.5);
  const WideDouble r = TwoSum(y.hi - n * kLn2Hi, y.lo - n * kLn2Lo);
  // e^r - 1 - r by Taylor's series to r^14 / 14! (the next term is below 1e-19).
  double tail = kInverseFactorials[14];
  for (int i = 13; i >= 2; --i) tail = kInverseFactorials[i] + r.hi * tail;
  tail = r.hi * r.hi * tail;
  // e^(r + rLo) = e^r (1 + rLo) to well below a unit in the last place.
  const double e = 1.0 + (r.hi + (tail + r.lo * (1.0 + r.hi)));

  const int power = static_cast<int>(n);
  if (power > 1023) return e * PowerOfTwo(power - 600) * PowerOfTwo(600);
  // Below the normal range the first product is exact and the second
  // rounds once, into the subnormal numbers.
  if (power < -1022) return e * PowerOfTwo(power + 600) * PowerOfTwo(-600);
  return e * PowerOfTwo(power);
}

double PortablePower(double base, double exponent) {
  if (exponent == 0.0) return 1.0;
  return PortableExp(MultiplyWide(PortableLog(base), exponent));
}

}  // namespace zintrel

namespace zintrel {

ScaledDouble PortableScaledPower(double base, double exponent) {
  if (exponent == 0.0) return {1.0, 0};
  const double magnitude = std::fabs(exponent);
  if (magnitude == std::trunc(magnitude)) {
    int e = 0;
    const double m = std::frexp(base, &e);  // base = m 2^e, m in [1/2, 1).
    // m^n lies in [2^-6, 1] for n <= 6; scaling by 2^(e n) is exact, so the
    // roundings are those of the plain repeated squaring.
    const int n = static_cast<int>(magnitude);
    const double power = RaiseToWhole(m, static_cast<std::uint32_t>(n));
    return exponent < 0.0 ? ScaledDouble{1.0 / power, -e * n} : ScaledDouble{power, e * n};
  }
  const WideDouble y = MultiplyWide(PortableLog(base), exponent);
  // e^y = 2^(4q) e^r: 4 q ln 2 is exact in its high part for |q| < 2^11,
  // which covers every y this is asked for (|y| < 4500), and |r| <= 2 ln 2.
  const double q = std::floor(y.hi * kInvLn2 * 0.25 + 0.5);
  const WideDouble shifted = TwoSum(y.hi, -4.0 * (q * kLn2Hi));
  const WideDouble r = FastTwoSum(shifted.hi, shifted.lo + (y.lo - 4.0 * (q * kLn2Lo)));
  return {PortableExp(r), 4 * static_cast<int>(q)};
}

}  // namespace zintrel
