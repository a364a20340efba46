#pragma once

// Pieces of the step shared by every implementation: what happens to one
// particle once the pair forces have been added to its velocity.

#include <cmath>

#include "simulation/arctan.h"
#include "simulation/particle_field.h"
#include "simulation/step_fault.h"
#include "simulation/wide_velocity.h"

namespace zintrel {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kHalfPi = 1.5707963267948966;
// Pixel distances are scaled by this before the force law sees them.
inline constexpr double kDistanceScale = 0.1;
// The pair force is multiplied by kForceGain / N.
inline constexpr double kForceGain = 30.0;

// Caps the speed of particle i (whose velocity already holds this tick's
// forces), records its heading, moves it and wraps it round the edges.
// Returns the fault without touching the field if any stored value would be
// non-finite.
inline StepFault FinishParticle(ParticleField& field, int i, double vx, double vy) {
  const double maxSpeed = field.MaxSpeed;
  if (!std::isfinite(vx) || !std::isfinite(vy)) {
    // The sum of the pulls left the double range. Within the controls' law
    // it is carried again at a wider range and capped there; beyond them
    // (crafted states, or a sum that is not finite even so) it is a fault.
    const StepFault fault =
        std::isnan(vx) || std::isnan(vy) ? StepFault::kInvalidOperation : StepFault::kOverflow;
    if (!WideCappedVelocity(field, i, vx, vy)) return fault;
  } else if (const double speed = std::sqrt(vx * vx + vy * vy); std::isinf(speed)) {
    // The squares overflowed although the velocity itself is finite (a very
    // close pair pushes hard). The cap still applies, along the velocity
    // scaled down by a power of two, rather than a fault.
    const int shift = std::ilogb(std::fmax(std::fabs(vx), std::fabs(vy)));
    CapDirection(std::ldexp(vx, -shift), std::ldexp(vy, -shift), maxSpeed, vx, vy);
  } else if (speed > maxSpeed) {
    // Only a negative cap can make a zero speed exceed it.
    if (speed == 0.0) return StepFault::kDivisionByZero;
    const double factor = maxSpeed / speed;
    vx = factor * vx;
    vy = factor * vy;
  }

  // Arctangent, not std::atan: the heading is stored, so its bits must not
  // depend on the processor.
  double heading;
  if (vx != 0.0) {
    heading = Arctangent(vy / vx) + kPi;
    if (vx > 0.0) heading += kPi;
  } else {
    heading = vy > 0.0 ? kHalfPi : -kHalfPi;
  }

  double x = field.x[i] + vx;
  double y = field.y[i] + vy;
  // Checked before the wrap, which would turn an infinity into an edge.
  if (std::isinf(x) || std::isinf(y)) return StepFault::kOverflow;
  // Wrap exactly onto the opposite edge; the overshoot is dropped.
  if (x > field.FieldWidth) {
    x = 0.0;
  } else if (x < 0.0) {
    x = field.FieldWidth;
  }
  if (y > field.FieldHeight) {
    y = 0.0;
  } else if (y < 0.0) {
    y = field.FieldHeight;
  }
  field.vx[i] = vx;
  field.vy[i] = vy;
  field.Heading[i] = heading;
  field.x[i] = x;
  field.y[i] = y;
  return StepFault::kNone;
}

}  // namespace zintrel
