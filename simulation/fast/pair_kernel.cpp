// The pair loop, compiled once per SIMD target and dispatched at run time.
// Each pair costs no trigonometry, no division and, for whole exponents, no
// power function: the direction from i to j is (dx, dy) / r, 1 / r comes
// from an approximate reciprocal square root refined to full double accuracy
// by Newton's iteration, and the force over r is a product of powers of it.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simulation/fast/pair_kernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <cmath>

#include <hwy/highway.h>

#include "simulation/fast/power_kernel-inl.h"

#include "simulation/fast/pair_kernel.h"
#include "simulation/step_common.h"

HWY_BEFORE_NAMESPACE();
namespace zintrel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;

// Squared pixel distances below this (pairs closer than 1e-10 pixels) are
// computed pair by pair: the power tables of non-whole laws start just
// below, and the AVX-512 first guess of the reciprocal square root is only
// specified for normal numbers. (Positions within +-kMaxCoordinate keep s
// far below the other end of the single-precision range.)
constexpr double kMinSquare = 1e-20;
// Added to s where the law's powers are compiled in. It is below half a unit
// in the last place of kMinSquare, so s + kFloor is s for every s the vector
// path takes; for s = 0 it is a normal single-precision number whose 1/r,
// raised to at most the 7th power and multiplied by at most
// kMaxCompiledFactor, stays finite.
constexpr double kFloor = 1e-37;
constexpr double kMaxCompiledFactor = 1e20;

// Returns z = 1 / sqrt(2 s) for s in [kMinSquare, 1e30] to within a few
// units in the last place, without the divider. (1 / r is sqrt(2) z; asking
// for z lets Newton's step use s where it would use s / 2, saving a
// multiplication per pair, and the powers of sqrt(2) go into the law's
// constants.)
HWY_INLINE V HalfReciprocalSqrt(D d, V s) {
  const V twice = hn::Add(s, s);
  const V threeHalves = hn::Set(d, 1.5);
#if HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
  // 14 correct bits; two Newton steps reach full double precision.
  V z{_mm512_rsqrt14_pd(twice.raw)};
  constexpr int kSteps = 2;
#else
  // The classic bit-level first guess (within 3.5 %), computed with integer
  // operations only. Unlike the single-precision approximation instructions,
  // whose last bits differ between processor makers, it gives the same bits
  // on every CPU, so a state steps identically wherever the program runs.
  // Four Newton steps reach full double precision.
  const hn::RebindToSigned<D> di;
  V z = hn::BitCast(d, hn::Sub(hn::Set(di, int64_t{0x5FE6EB50C7B537A9}),
                               hn::ShiftRight<1>(hn::BitCast(di, twice))));
  constexpr int kSteps = 4;
#endif
  for (int k = 0; k < kSteps; ++k) {
    z = hn::Mul(z, hn::NegMulAdd(hn::Mul(s, z), z, threeHalves));
  }
  return z;
}

// Returns base^n for a whole n >= 0 by repeated squaring.
HWY_INLINE V PowerWhole(D d, V base, int n) {
  if (n == 0) return hn::Set(d, 1.0);
  V result = base;
  bool started = false;
  V square = base;
  for (;;) {
    if (n & 1) {
      result = started ? hn::Mul(result, square) : square;
      started = true;
    }
    n >>= 1;
    if (n == 0) return result;
    square = hn::Mul(square, square);
  }
}

// Returns (1/r)^power without its factor 2^(|power| / 2), given
// z = 1 / sqrt(2 s) = 1 / (sqrt(2) r) and s: z^power, or (s z)^-power for a
// negative power (s z = r / sqrt(2)).
HWY_INLINE V InversePower(D d, V z, V s, int power) {
  return power >= 0 ? PowerWhole(d, z, power) : PowerWhole(d, hn::Mul(s, z), -power);
}

// The law's constants, broadcast once per row.
struct VectorLaw {
  V pull, push, minSquare, floor;
  explicit VectorLaw(D d, const PairLaw& law)
      : pull(hn::Set(d, law.form == PairLaw::Form::kWhole ? law.pullFactor : law.pull)),
        push(hn::Set(d, law.form == PairLaw::Form::kWhole ? law.pushFactor : law.push)),
        minSquare(hn::Set(d, kMinSquare)),
        floor(hn::Set(d, kFloor)) {}
};

// Returns z^n for a whole n known when compiling.
template <int n>
HWY_INLINE V PowerOf(D d, V z) {
  if constexpr (n == 0) {
    return hn::Set(d, 1.0);
  } else if constexpr (n == 1) {
    return z;
  } else {
    const V root = PowerOf<n / 2>(d, z);
    return n % 2 == 0 ? hn::Mul(root, root) : hn::Mul(hn::Mul(root, root), z);
  }
}

// The shapes of the pull per pixel a kernel is compiled for: kGeneralShape
// reads the law's power tables, kAnyWhole multiplies with powers read at run
// time, and
// (kPull, kExtra) with kPull > 0 is the whole law whose powers of 1/r are
// kPull and kPull + kExtra, with no loop and no branch per pair. The control
// ranges give kPull = a + 1 in 1..4 and kExtra = b in 0..3.
constexpr int kGeneralShape = -2;
constexpr int kAnyWhole = -1;
constexpr int kMaxCompiledPull = 4;
constexpr int kMaxCompiledExtra = 3;

// Returns F(d) / r for squared separations s of at least kMinSquare.
template <int kPull, int kExtra>
HWY_INLINE V PullPerPixel(D d, const PairLaw& law, const VectorLaw& vl, V s) {
  if constexpr (kPull == kGeneralShape) {
    return PowerDifference(d, *law.powers, s);
  } else if constexpr (kPull == kAnyWhole) {
    const V z = HalfReciprocalSqrt(d, s);
    const V pullTerm = InversePower(d, z, s, law.pullPower);
    const V pushTerm = InversePower(d, z, s, law.pushPower);
    return hn::NegMulAdd(vl.push, pushTerm, hn::Mul(vl.pull, pullTerm));
  } else {
    // The repulsive power extends the attractive one: one product less.
    const V z = HalfReciprocalSqrt(d, s);
    return hn::Mul(PowerOf<kPull>(d, z), hn::NegMulAdd(vl.push, PowerOf<kExtra>(d, z), vl.pull));
  }
}

// Returns the pull of the separations (dx, dy) held in the first `count`
// lanes, pair by pair; the other lanes give 0.
HWY_NOINLINE void LiteralLanes(const PairLaw& law, V dx, V dy, int count, V& pullX, V& pullY) {
  const D d;
  HWY_ALIGN double bufferX[hn::MaxLanes(d)];
  HWY_ALIGN double bufferY[hn::MaxLanes(d)];
  HWY_ALIGN double outX[hn::MaxLanes(d)] = {};
  HWY_ALIGN double outY[hn::MaxLanes(d)] = {};
  hn::Store(dx, d, bufferX);
  hn::Store(dy, d, bufferY);
  for (int k = 0; k < count && k < static_cast<int>(hn::Lanes(d)); ++k) {
    LiteralPairPull(law, bufferX[k], bufferY[k], outX[k], outY[k]);
  }
  pullX = hn::Load(d, outX);
  pullY = hn::Load(d, outY);
}

// Adds the pull of the separations in the first `count` lanes of (dx, dy)
// (all lanes unless kTail) to (accX, accY).
template <int kPull, int kExtra, bool kTail>
HWY_INLINE void AddPulls(D d, const PairLaw& law, const VectorLaw& vl, V dx, V dy, int count,
                         V& accX, V& accY) {
  if constexpr (kTail) {
    // Whatever lies past the run must not reach the sums, NaN included.
    const auto inRun = hn::FirstN(d, static_cast<size_t>(count));
    dx = hn::IfThenElseZero(inRun, dx);
    dy = hn::IfThenElseZero(inRun, dy);
  }
  const V s = hn::MulAdd(dx, dx, hn::Mul(dy, dy));
  // d = 0 (the row itself, or a particle on the same point) gives no force;
  // 0 < s < kMinSquare is left to the pair-by-pair path.
  const auto near = hn::Lt(s, vl.minSquare);
  if constexpr (kPull > 0) {
    // s + kFloor is s itself for every s the vector path takes, and gives
    // s = 0 a finite 1/r with a finite pull, so that such a lane adds
    // g * (0, 0) = 0 with no mask to compute.
    if (HWY_LIKELY(hn::AllFalse(d, near)) ||
        hn::AllFalse(d, hn::And(near, hn::Gt(s, hn::Zero(d))))) {
      const V perPixel = PullPerPixel<kPull, kExtra>(d, law, vl, hn::Add(s, vl.floor));
      accX = hn::MulAdd(perPixel, dx, accX);
      accY = hn::MulAdd(perPixel, dy, accY);
      return;
    }
  } else {
    const auto apart = hn::Gt(s, hn::Zero(d));
    if (HWY_LIKELY(hn::AllFalse(d, hn::And(apart, near)))) {
      const V perPixel = hn::IfThenElseZero(apart, PullPerPixel<kPull, kExtra>(d, law, vl, s));
      accX = hn::MulAdd(perPixel, dx, accX);
      accY = hn::MulAdd(perPixel, dy, accY);
      return;
    }
  }
  V pullX, pullY;
  LiteralLanes(law, dx, dy, count, pullX, pullY);
  accX = hn::Add(accX, pullX);
  accY = hn::Add(accY, pullY);
}

template <int kPull, int kExtra>
HWY_INLINE void SumRow(const PairLaw& law, const VectorLaw& vl, const double* xs, const double* ys,
                       int begin, int end, double xi, double yi, double& sumX, double& sumY) {
  const D d;
  const int lanes = static_cast<int>(hn::Lanes(d));
  const V rowX = hn::Set(d, xi);
  const V rowY = hn::Set(d, yi);
  V accX = hn::Zero(d);
  V accY = hn::Zero(d);
  int j = begin;
  for (; j + lanes <= end; j += lanes) {
    const V dx = hn::Sub(hn::LoadU(d, xs + j), rowX);
    const V dy = hn::Sub(hn::LoadU(d, ys + j), rowY);
    AddPulls<kPull, kExtra, false>(d, law, vl, dx, dy, lanes, accX, accY);
  }
  if (j < end) {
    const V dx = hn::Sub(hn::LoadU(d, xs + j), rowX);
    const V dy = hn::Sub(hn::LoadU(d, ys + j), rowY);
    AddPulls<kPull, kExtra, true>(d, law, vl, dx, dy, end - j, accX, accY);
  }
  sumX = hn::GetLane(hn::SumOfLanes(d, accX));
  sumY = hn::GetLane(hn::SumOfLanes(d, accY));
}

template <int kPull, int kExtra>
void SumRows(const PairLaw& law, const double* xs, const double* ys, int begin, int end,
             const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX,
             double* sumY) {
  const D d;
  const VectorLaw vl(d, law);
  for (int i = rowBegin; i < rowEnd; ++i) {
    SumRow<kPull, kExtra>(law, vl, xs, ys, begin, end, rowX[i], rowY[i], sumX[i - rowBegin],
                          sumY[i - rowBegin]);
  }
}

template <int kPull>
constexpr SumTileFunction kCompiledRows[kMaxCompiledExtra + 1] = {
    &SumRows<kPull, 0>, &SumRows<kPull, 1>, &SumRows<kPull, 2>, &SumRows<kPull, 3>};
constexpr const SumTileFunction* kCompiledTable[kMaxCompiledPull] = {
    kCompiledRows<1>, kCompiledRows<2>, kCompiledRows<3>, kCompiledRows<4>};

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

void SumTile(const PairLaw& law, const double* xs, const double* ys, int begin, int end,
             const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX,
             double* sumY) {
  SumTileFunction rows = &SumRows<kAnyWhole, 0>;
  if (law.form == PairLaw::Form::kScalar) {
    rows = &SumScalarRows;
  } else if (law.form == PairLaw::Form::kGeneral) {
    rows = &SumRows<kGeneralShape, 0>;
  } else {
    const int extra = law.pushPower - law.pullPower;
    if (law.pullPower >= 1 && law.pullPower <= kMaxCompiledPull && extra >= 0 &&
        extra <= kMaxCompiledExtra && std::fabs(law.pullFactor) <= kMaxCompiledFactor &&
        std::fabs(law.pushFactor) <= kMaxCompiledFactor) {
      rows = kCompiledTable[law.pullPower - 1][extra];
    }
  }
  rows(law, xs, ys, begin, end, rowX, rowY, rowBegin, rowEnd, sumX, sumY);
}

PairKernel Kernel() { return PairKernel{HWY_TARGET, hwy::TargetName(HWY_TARGET), &SumTile}; }

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace zintrel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace zintrel {

HWY_EXPORT(Kernel);

PairKernel BestPairKernel() { return HWY_DYNAMIC_DISPATCH(Kernel)(); }

std::vector<PairKernel> SupportedPairKernels() {
  // Entry 0 of the dispatch table chooses the target; the rest are the
  // compiled targets, best first, or null where one was not compiled.
  constexpr size_t kEntries = sizeof(HWY_DISPATCH_TABLE(Kernel)) / sizeof(HWY_DISPATCH_TABLE(Kernel)[0]);
  const std::int64_t supported = hwy::SupportedTargets();
  std::vector<PairKernel> kernels;
  for (size_t k = kEntries == 1 ? 0 : 1; k < kEntries; ++k) {
    if (HWY_DISPATCH_TABLE(Kernel)[k] == nullptr) continue;
    const PairKernel kernel = HWY_DISPATCH_TABLE(Kernel)[k]();
    if ((kernel.target & supported) != 0) kernels.push_back(kernel);
  }
  return kernels;
}

}  // namespace zintrel
#endif  // HWY_ONCE
