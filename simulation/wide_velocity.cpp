#include "simulation/wide_velocity.h"

#include <algorithm>
#include <cmath>

#include "simulation/fast/portable_power.h"
#include "simulation/step_common.h"

namespace zintrel {
namespace {

// One pull, or the particle's own velocity, as (x, y) * 2^exponent.
struct ScaledPull {
  double x = 0.0;
  double y = 0.0;
  int exponent = 0;
  bool finite = true;
};

// Returns the pull of particle j on particle i at a scale of its own, or
// (0, 0) for two particles on one point.
ScaledPull PullAtScale(const ParticleField& field, int i, int j, double pull, double push) {
  const double dx = field.x[j] - field.x[i];
  const double dy = field.y[j] - field.y[i];
  if (dx == 0.0 && dy == 0.0) return {};
  // The separation scaled by a power of two (exact) so that its square
  // neither overflows nor underflows; the direction toward j is (ux, uy) / u.
  const int shift = std::ilogb(std::max(std::fabs(dx), std::fabs(dy)));
  const double ux = std::ldexp(dx, -shift);
  const double uy = std::ldexp(dy, -shift);
  const double u = std::sqrt(ux * ux + uy * uy);
  const double d = kDistanceScale * std::ldexp(u, shift);
  if (!std::isfinite(d)) return {.finite = false};
  if (!(d > 0.0)) return {};
  const ScaledDouble pullPower = PortableScaledPower(d, -field.Acceleration);
  const ScaledDouble pushPower = PortableScaledPower(d, -(field.Acceleration + field.RepulsiveAcceleration));
  const int exponent = std::max(pullPower.exponent, pushPower.exponent);
  const double force = pull * std::ldexp(pullPower.mantissa, pullPower.exponent - exponent) -
                       push * std::ldexp(pushPower.mantissa, pushPower.exponent - exponent);
  return {force * (ux / u), force * (uy / u), exponent};
}

}  // namespace

bool LawWithinControls(const ParticleField& field) {
  return kActivityRange.Contains(field.Activity) && kRepulsionRange.Contains(field.Repulsion) &&
         kAccelerationRange.Contains(field.Acceleration) &&
         kRepulsiveAccelerationRange.Contains(field.RepulsiveAcceleration) &&
         kMaxSpeedRange.Contains(field.MaxSpeed) && field.ParticleCount >= 1 &&
         field.ParticleCount <= MaxParticles;
}

void CapDirection(double sx, double sy, double maxSpeed, double& vx, double& vy) {
  const double factor = maxSpeed / std::sqrt(sx * sx + sy * sy);
  vx = factor * sx;
  vy = factor * sy;
}

bool WideCappedVelocity(const ParticleField& field, int i, double& vx, double& vy) {
  if (!LawWithinControls(field)) return false;
  const int count = ActiveCount(field);
  const double pull = field.Activity * kForceGain / count;
  const double push = field.Activity * field.Repulsion * kForceGain / count;
  // Every pull is computed twice rather than kept: the first pass finds the
  // largest scale, the second adds them all at that scale, in index order
  // after the particle's own velocity. Scalings by powers of two are exact,
  // and only the smallest pulls, far below the largest one's last bit, lose
  // bits on the way (into the subnormal numbers, rounded as IEEE 754 says),
  // so the sum has the same bits on every processor and C library.
  int top = 0;  // The own velocity's scale.
  for (int j = 0; j < count; ++j) {
    if (j == i) continue;
    const ScaledPull p = PullAtScale(field, i, j, pull, push);
    if (!p.finite) return false;
    if (p.x != 0.0 || p.y != 0.0) top = std::max(top, p.exponent);
  }
  double sumX = std::ldexp(field.vx[i], -top);
  double sumY = std::ldexp(field.vy[i], -top);
  for (int j = 0; j < count; ++j) {
    if (j == i) continue;
    const ScaledPull p = PullAtScale(field, i, j, pull, push);
    sumX += std::ldexp(p.x, p.exponent - top);
    sumY += std::ldexp(p.y, p.exponent - top);
  }
  // Not a number (a stored velocity that was none) stays one at any scale.
  if (!std::isfinite(sumX) || !std::isfinite(sumY)) return false;
  // The speed is sqrt(sumX^2 + sumY^2) 2^top. Beyond the cap only the
  // direction counts, and that is the scaled sum's own.
  const double speed = std::ldexp(std::sqrt(sumX * sumX + sumY * sumY), top);
  if (speed > field.MaxSpeed) {
    CapDirection(sumX, sumY, field.MaxSpeed, vx, vy);
  } else {
    vx = std::ldexp(sumX, top);
    vy = std::ldexp(sumY, top);
  }
  return true;
}

}  // namespace zintrel
