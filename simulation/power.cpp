#include "simulation/power.h"

#include <cmath>
#include <cstdint>

namespace zintrel {

double Power(double base, double exponent) {
  if (exponent == 0.0) return 1.0;
  const double magnitude = std::fabs(exponent);
  if (magnitude <= 2147483647.0 && magnitude == std::trunc(magnitude)) {
    auto bits = static_cast<std::uint32_t>(magnitude);
    double result = 1.0;
    double square = base;
    for (;;) {
      if (bits & 1u) result *= square;
      bits >>= 1;
      if (bits == 0) break;
      square *= square;
    }
    return exponent < 0.0 ? 1.0 / result : result;
  }
  return std::exp(exponent * std::log(base));
}

}  // namespace zintrel
