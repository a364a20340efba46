#include <cmath>

#include "simulation/power.h"
#include "simulation/step_common.h"
#include "simulation/step_particles.h"
#include "simulation/vector_state.h"

namespace zintrel {
namespace {

// Returns the force at scaled distance d > 0: positive pulls toward the
// partner, negative pushes away.
double PairForce(const ParticleField& field, double d, int count) {
  const double A = field.Activity;
  const double B = field.Repulsion;
  const double a = field.Acceleration;
  const double b = field.RepulsiveAcceleration;
  return (A * Power(d, -a) - A * B * Power(d, -(a + b))) * kForceGain / count;
}

}  // namespace

StepFault StepParticlesLiteral(ParticleField& field) {
  // Every pair makes four libm calls; with the upper vector state left dirty
  // by whatever ran before, each of them would pay for it. Nothing inside the
  // loop dirties it again (libm's AVX variants use 128-bit encodings only).
  ClearUpperVectorState();
  const int count = ActiveCount(field);
  for (int i = 0; i < count; ++i) {
    const double xi = field.x[i];
    const double yi = field.y[i];
    double vx = field.vx[i];
    double vy = field.vy[i];
    for (int j = 0; j < count; ++j) {
      if (j == i) continue;
      // Particles below i have already moved in this tick; the rest have not.
      const double xj = field.x[j];
      const double yj = field.y[j];
      const double d = kDistanceScale * std::sqrt((xi - xj) * (xi - xj) + (yi - yj) * (yi - yj));
      const double force = d > 0.0 ? PairForce(field, d, count) : 0.0;
      double theta;
      if (xi != xj) {
        theta = std::atan((yj - yi) / (xj - xi));
        if (xi > xj) theta += kPi;
      } else {
        theta = yi < yj ? kHalfPi : -kHalfPi;
      }
      vx += std::cos(theta) * force;
      vy += std::sin(theta) * force;
    }
    const StepFault fault = FinishParticle(field, i, vx, vy);
    if (fault != StepFault::kNone) return fault;
  }
  return StepFault::kNone;
}

}  // namespace zintrel
