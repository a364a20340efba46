#pragma once

#include <cstdint>

namespace zintrel {

// Returns base^magnitude by repeated squaring: the base is squared again and
// again, and the squares that the set bits of magnitude select are
// multiplied in. Shared by the power rule and the scaled power of sums
// carried beyond the double range.
double RaiseToWhole(double base, std::uint32_t magnitude);

// Returns base raised to exponent by the program's one power rule: exponent 0
// gives 1; a whole exponent of magnitude up to 2^31 - 1 is computed by
// repeated squaring (and one final reciprocal when negative), so the result is
// exact wherever it is representable; any other exponent gives
// exp(exponent * ln(base)).
double Power(double base, double exponent);

}  // namespace zintrel
