#include "app/slider_mapping.h"

#include <algorithm>

#include "simulation/power.h"

namespace zintrel {

int ParticleCountAt(int position) {
  // The power rule keeps whole exponents exact, so 99 gives 2500, not 2499.
  return static_cast<int>(Power(2500.0, position / 99.0));
}

double ParticleSizeAt(int position, bool showOrientation) {
  return position + 1 + (showOrientation ? 2 : 0);
}

int TimerIntervalAt(int position) {
  return static_cast<int>(Power(16.0, position / 33.0));
}

double ExponentAt(int position) { return position / 33.0; }

double InitialRadiusAt(int position, int fieldWidth, int fieldHeight) {
  const double share = position / 99.0;
  // Widened so that no size a window can report overflows the margin.
  const long long shorter = std::min(static_cast<long long>(fieldWidth) - 4,
                                     static_cast<long long>(fieldHeight) - 4);
  const double radius = static_cast<double>(shorter) * share / 2.0 + 1.0;
  return radius < 1.0 ? 1.0 : radius;
}

}  // namespace zintrel
