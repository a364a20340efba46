#include "simulation/power.h"

#include <cmath>

namespace zintrel {

double RaiseToWhole(double base, std::uint32_t magnitude) {
  double result = 1;
  double square = base;
  for (;;) {
    if (magnitude & 1u) result *= square;
    magnitude >>= 1;
    if (magnitude == 0) return result;
    square *= square;
  }
}

double Power(double base, double exponent) {
  if (exponent == 0.0) return 1;
  const double magnitude = std::fabs(exponent);
  if (magnitude <= 2147483647.0 && magnitude == std::trunc(magnitude)) {
    const double result = RaiseToWhole(base, static_cast<std::uint32_t>(magnitude));
    return exponent < 0.0 ? 1 / result : result;
  }
  return std::exp(exponent * std::log(base));
}

}  // namespace zintrel
