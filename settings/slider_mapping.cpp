#include "settings/slider_mapping.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "settings/catalog.h"
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

namespace {

// std::to_chars ignores the C locale, which Qt sets from the environment and
// which would turn the decimal point into a comma in some languages. The
// largest double has 309 digits before the point.
std::string Fixed(double value, int decimals) {
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                                    decimals);
  return std::string(text, result.ptr);
}

// Whole numbers print without a fraction, anything else as briefly as it
// reads back exactly.
std::string Plain(double value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

}  // namespace

namespace {

// Returns the position in minimum .. maximum whose value is nearest target;
// among equally near ones current if it is one, else the lowest. valueAt is
// exact for every position, so equal distances really are equal.
template <typename ValueAt>
int NearestPosition(int minimum, int maximum, int current, double target, ValueAt valueAt) {
  int best = minimum;
  double bestDistance = std::fabs(valueAt(minimum) - target);
  for (int position = minimum + 1; position <= maximum; ++position) {
    const double distance = std::fabs(valueAt(position) - target);
    if (distance < bestDistance) {
      best = position;
      bestDistance = distance;
    }
  }
  if (current >= minimum && current <= maximum && std::fabs(valueAt(current) - target) == bestDistance) {
    return current;
  }
  return best;
}

}  // namespace

int& SliderPositions::operator[](Slider slider) {
  static constexpr int SliderPositions::*kMembers[] = {
      &SliderPositions::TrackBar1, &SliderPositions::TrackBar2, &SliderPositions::TrackBar3,
      &SliderPositions::TrackBar4, &SliderPositions::TrackBar5, &SliderPositions::TrackBar6,
      &SliderPositions::TrackBar7, &SliderPositions::TrackBar8, &SliderPositions::TrackBar9};
  return this->*kMembers[static_cast<int>(slider)];
}

SliderPositions PositionsShowing(const ParticleField& field, bool showOrientation, int timerInterval,
                                 const SliderPositions& current) {
  const auto identity = [](int position) { return static_cast<double>(position); };
  SliderPositions positions = current;
  positions.TrackBar1 = NearestPosition(0, 99, current.TrackBar1, field.ParticleCount, ParticleCountAt);
  positions.TrackBar2 = NearestPosition(0, 6, current.TrackBar2, field.ParticleSize, [showOrientation](int p) {
    return ParticleSizeAt(p, showOrientation);
  });
  positions.TrackBar3 = NearestPosition(1, 24, current.TrackBar3, field.MaxSpeed, identity);
  positions.TrackBar4 = NearestPosition(0, 99, current.TrackBar4, field.Acceleration, ExponentAt);
  positions.TrackBar5 = NearestPosition(0, 99, current.TrackBar5, field.RepulsiveAcceleration, ExponentAt);
  positions.TrackBar6 = NearestPosition(0, 99, current.TrackBar6, field.Activity, identity);
  positions.TrackBar7 = NearestPosition(0, 99, current.TrackBar7, field.Repulsion, identity);
  if (field.InitialRadius >= 1.0) {
    positions.TrackBar8 = NearestPosition(0, 99, current.TrackBar8, field.InitialRadius, [&field](int p) {
      return InitialRadiusAt(p, field.FieldWidth, field.FieldHeight);
    });
  }
  positions.TrackBar9 = NearestPosition(0, 99, current.TrackBar9, timerInterval, TimerIntervalAt);
  return positions;
}

std::string SliderValueText(SliderQuantity quantity, double value) {
  // Each tip says in one sentence what the slider does, then its value.
  switch (quantity) {
    case SliderQuantity::kParticleCount:
      return Format(Tr("How many particles move: %1$s"), {Plain(value)});
    case SliderQuantity::kParticleSize:
      return Format(Tr("How large the particles are drawn: radius %1$s px"), {Plain(value)});
    case SliderQuantity::kMaxSpeed:
      return Format(Tr("The fastest a particle may move: %1$s px per tick"), {Plain(value)});
    case SliderQuantity::kActivity:
      return Format(Tr("How strongly the particles pull and push: A = %1$s"), {Fixed(value, 3)});
    case SliderQuantity::kRepulsion:
      return Format(Tr("How much the push weighs at short range: B = %1$s"), {Fixed(value, 3)});
    case SliderQuantity::kAcceleration:
      return Format(Tr("How fast the force fades with distance: a = %1$s"), {Fixed(value, 3)});
    case SliderQuantity::kRepulsiveAcceleration:
      return Format(Tr("How sharply the push takes over up close: b = %1$s"), {Fixed(value, 3)});
    case SliderQuantity::kInitialRadius:
      return Format(Tr("The disc the particles are scattered in: radius %1$s px"), {Fixed(value, 2)});
    case SliderQuantity::kTimerInterval:
      return Format(Tr("Time between two ticks: %1$s ms"), {Plain(value)});
  }
  return Plain(value);
}

}  // namespace zintrel
