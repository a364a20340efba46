#include "simulation/wide_velocity.h"

#include <cmath>

#include "simulation/power.h"
#include "simulation/step_common.h"

namespace zintrel {
namespace {
using Wide = long double;
}  // namespace

bool LawWithinControls(const ParticleField& field) {
  return kActivityRange.Contains(field.Activity) && kRepulsionRange.Contains(field.Repulsion) &&
         kAccelerationRange.Contains(field.Acceleration) &&
         kRepulsiveAccelerationRange.Contains(field.RepulsiveAcceleration) &&
         kMaxSpeedRange.Contains(field.MaxSpeed) && field.ParticleCount >= 1 &&
         field.ParticleCount <= MaxParticles;
}

bool WideCappedVelocity(const ParticleField& field, int i, double& vx, double& vy) {
  if (!LawWithinControls(field)) return false;
  const int count = ActiveCount(field);
  const Wide gain = static_cast<Wide>(kForceGain) / count;
  const Wide pull = field.Activity * gain;
  const Wide push = static_cast<Wide>(field.Activity) * field.Repulsion * gain;
  Wide sumX = field.vx[i];
  Wide sumY = field.vy[i];
  for (int j = 0; j < count; ++j) {
    if (j == i) continue;
    // Differences of doubles are exact or rounded once; their squares and
    // everything after keep the extended range.
    const Wide dx = static_cast<Wide>(field.x[j]) - field.x[i];
    const Wide dy = static_cast<Wide>(field.y[j]) - field.y[i];
    const Wide r = std::sqrt(dx * dx + dy * dy);
    if (!(r > 0.0L)) continue;  // Two particles on one point exert no force.
    const Wide d = static_cast<Wide>(kDistanceScale) * r;
    const Wide force = pull * PowerRule(d, -field.Acceleration) -
                       push * PowerRule(d, -(field.Acceleration + field.RepulsiveAcceleration));
    // The direction toward j is (dx, dy) / r.
    sumX += force * (dx / r);
    sumY += force * (dy / r);
  }
  if (!std::isfinite(sumX) || !std::isfinite(sumY)) return false;
  const Wide speed = std::sqrt(sumX * sumX + sumY * sumY);
  if (!std::isfinite(speed)) return false;
  if (speed > field.MaxSpeed) {
    const Wide factor = field.MaxSpeed / speed;
    sumX *= factor;
    sumY *= factor;
  }
  vx = static_cast<double>(sumX);
  vy = static_cast<double>(sumY);
  return true;
}

}  // namespace zintrel
