// The parts of the pair kernels that need no SIMD: the law folded once per
// tick, and the pair-by-pair pull the kernels fall back to.

#include <cmath>

#include "simulation/fast/pair_kernel.h"
#include "simulation/fast/portable_power.h"
#include "simulation/power.h"
#include "simulation/step_common.h"

namespace zintrel {
namespace {

// Below this, dx^2 + dy^2 has neither overflowed nor lost its last bits.
constexpr double kMaxSquare = 1e300;

// Returns sqrt(2)^n exactly as rounded once: a power of two, or sqrt(2) (an
// IEEE-rounded square root) times one. The C library's pow may take another
// code path on another processor; this cannot.
double PowerOfRootTwo(int n) { return std::ldexp(n % 2 == 0 ? 1.0 : std::sqrt(2.0), n / 2); }

// Returns d^exponent for d > 0 by the step's power rule, with the same bits
// on every processor: whole exponents by repeated squaring, others through
// the portable power instead of the C library's exp and log, whose last bit
// depends on the code path the processor selects.
double PairPower(double d, double exponent) {
  if (exponent == std::trunc(exponent)) return Power(d, exponent);
  return PortablePower(d, exponent);
}

}  // namespace

PairLaw MakePairLaw(const ParticleField& field, int count) {
  PairLaw law;
  const double A = field.Activity;
  law.pull = A * kForceGain / count;
  law.push = A * field.Repulsion * kForceGain / count;
  law.pullExponent = -field.Acceleration;
  law.pushExponent = -(field.Acceleration + field.RepulsiveAcceleration);

  // The vector forms assume every separation squares to well below 1e30:
  // true for positions within this bound, and moved positions are wrapped
  // into the field, whose size is a 32-bit integer.
  constexpr double kMaxCoordinate = 1e14;
  for (int i = 0; i < count; ++i) {
    if (!(std::fabs(field.x[i]) <= kMaxCoordinate && std::fabs(field.y[i]) <= kMaxCoordinate)) {
      return law;  // kScalar.
    }
  }
  // Up to this magnitude the folded constants (10^64, and 10^16 times the
  // powers of s the tables hold) stay in range.
  constexpr double kMaxWholeExponent = 64.0;
  constexpr double kMaxGeneralExponent = 16.0;
  const auto whole = [](double e) { return std::fabs(e) <= kMaxWholeExponent && e == std::trunc(e); };
  const auto general = [](double e) { return std::fabs(e) <= kMaxGeneralExponent; };
  if (whole(law.pullExponent) && whole(law.pushExponent)) {
    law.form = PairLaw::Form::kWhole;
    // d^e / r = (r / 10)^e / r = 10^-e (1/r)^(1 - e), and the kernels
    // compute (1/r)^m as 2^(|m| / 2) times a power of 1 / sqrt(2 s).
    law.pullPower = 1 - static_cast<int>(law.pullExponent);
    law.pushPower = 1 - static_cast<int>(law.pushExponent);
    law.pullFactor = law.pull * Power(10.0, -law.pullExponent) * PowerOfRootTwo(std::abs(law.pullPower));
    law.pushFactor = law.push * Power(10.0, -law.pushExponent) * PowerOfRootTwo(std::abs(law.pushPower));
  } else if (general(law.pullExponent) && general(law.pushExponent)) {
    law.form = PairLaw::Form::kGeneral;
    // d^e / r = (r / 10)^e / r = 10^-e s^((e - 1) / 2). The portable power
    // keeps the tables, and so the step, the same on every processor.
    law.powers = MakePowerTable(law.pull * PortablePower(10.0, -law.pullExponent),
                                0.5 * (law.pullExponent - 1.0),
                                law.push * PortablePower(10.0, -law.pushExponent),
                                0.5 * (law.pushExponent - 1.0));
  }
  return law;
}

void LiteralPairPull(const PairLaw& law, double dx, double dy, double& pullX, double& pullY) {
  // The same d as the literal step's, bit for bit: (x_i - x_j)^2 = dx^2.
  const double s = dx * dx + dy * dy;
  const double r = std::sqrt(s);
  const double d = kDistanceScale * r;
  if (!(d > 0.0)) {
    pullX = pullY = 0.0;
    return;
  }
  const double force = law.pull * PairPower(d, law.pullExponent) - law.push * PairPower(d, law.pushExponent);
  if (s < kMaxSquare) {
    // The direction (dx, dy) / r instead of (cos, sin) of the arctangent:
    // the same to a few units in the last place, and with IEEE operations
    // only, so it does not depend on the C library's choice of code path.
    pullX = dx / r * force;
    pullY = dy / r * force;
    return;
  }
  // Separations whose square overflows (only crafted states have them).
  // Scaled by a power of two, which is exact, the direction is the same.
  const double scale = std::fabs(dx) > std::fabs(dy) ? std::fabs(dx) : std::fabs(dy);
  const double ux = std::ldexp(dx, -std::ilogb(scale));
  const double uy = std::ldexp(dy, -std::ilogb(scale));
  const double u = std::sqrt(ux * ux + uy * uy);
  pullX = ux / u * force;
  pullY = uy / u * force;
}

void SumScalarRows(const PairLaw& law, const double* xs, const double* ys, int begin, int end,
                   const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX,
                   double* sumY) {
  for (int i = rowBegin; i < rowEnd; ++i) {
    double accX = 0.0, accY = 0.0;
    for (int j = begin; j < end; ++j) {
      double pullX, pullY;
      LiteralPairPull(law, xs[j] - rowX[i], ys[j] - rowY[i], pullX, pullY);
      accX += pullX;
      accY += pullY;
    }
    sumX[i - rowBegin] = accX;
    sumY[i - rowBegin] = accY;
  }
}

}  // namespace zintrel
