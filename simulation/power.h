#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>

#include "simulation/fast/portable_power.h"

namespace zintrel {

// Returns base^magnitude by repeated squaring: the base is squared again and
// again, and the squares that the set bits of magnitude select are
// multiplied in. Shared by the double and the extended-precision power.
template <typename Real>
Real RaiseToWhole(Real base, std::uint32_t magnitude) {
  Real result = 1;
  Real square = base;
  for (;;) {
    if (magnitude & 1u) result *= square;
    magnitude >>= 1;
    if (magnitude == 0) return result;
    square *= square;
  }
}

// Returns base raised to exponent by the program's one power rule: exponent 0
// gives 1; a whole exponent of magnitude up to 2^31 - 1 is computed by
// repeated squaring (and one final reciprocal when negative), so the result is
// exact wherever it is representable; any other exponent gives
// exp(exponent * ln(base)).
double Power(double base, double exponent);

// The power rule for any floating type: Power for doubles, and the same rule
// at extended precision where a sum is carried beyond the double range. The
// extended exponential and logarithm of the C libraries differ from system
// to system, so there the non-whole power is the program's own.
template <typename Real>
Real PowerRule(Real base, double exponent) {
  if (exponent == 0.0) return 1;
  const double magnitude = std::fabs(exponent);
  if (magnitude <= 2147483647.0 && magnitude == std::trunc(magnitude)) {
    const Real result = RaiseToWhole(base, static_cast<std::uint32_t>(magnitude));
    return exponent < 0.0 ? 1 / result : result;
  }
  if constexpr (std::is_same_v<Real, long double>) {
    return PortableWidePower(base, exponent);
  } else {
    return std::exp(static_cast<Real>(exponent) * std::log(base));
  }
}

}  // namespace zintrel
