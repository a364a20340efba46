#include "simulation/power.h"

namespace zintrel {

double Power(double base, double exponent) { return PowerRule(base, exponent); }

}  // namespace zintrel
