#include "simulation/power.h"

#include <cmath>
#include <cstdint>

namespace zintrel {

double Power(double base, double exponent) {
  if (exponent == 0.0) return 1.0;
  const double magnitude = std::fabs(exponent);
  if (magnitude <= 2147483647.0 && magnitude == std::trunc(magnitude)) {
    const double result = RaiseToWhole(base, static_cast<std::uint32_t>(magnitude));
    return exponent < 0.0 ? 1.0 / result : result;
  }
  return std::exp(exponent * std::log(base));
}

}  // namespace zintrel
