// The pair loop, compiled once per SIMD target and dispatched at run time.
// Each pair costs no trigonometry, no double-precision division and, for
// whole exponents, no power function: the direction from i to j is
// (dx, dy) / r, 1 / r comes from a single-precision first guess refined to
// full double accuracy by Newton's iteration, and the force over r is a
// product of powers of it.
//
// Every target gives the same bits. Each lane's arithmetic is the same
// sequence of IEEE operations on every target: additions, subtractions,
// multiplications, divisions and square roots, each rounded once as IEEE 754
// defines, in a fixed order. Nothing is fused (the build has
// -ffp-contract=off, and the code never asks for a multiply-add): SSE2,
// NEON and WebAssembly's SIMD compute exactly these operations at full
// speed, and a fused multiply-add exists on only some of them. The first
// guess uses the same operations in single precision. The lanes are summed
// in a pattern that does
// not depend on the vector width: every run of pairs is cut into groups of
// kPartialSums consecutive pairs counted from the run's start, pair k of
// each group goes to partial sum k (one vector of eight on AVX-512, two of
// four on AVX2, four of two on SSE4, eight scalars), and the partial sums
// are added in one fixed tree at the end of the row. Computing a vector's
// first stage early changes when its operations run, never what they are.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "simulation/fast/pair_kernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <cmath>
#include <numeric>
#include <type_traits>

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
constexpr double kMaxCompiledFactor = 1e20;

// Returns a first guess of z = 1 / sqrt(2 s) for s in [kMinSquare, 1e30]:
// 1 / sqrt(2 s) in single precision, within 1.1e-7 of z. The conversion,
// the square root and the division are each rounded as IEEE 754 defines, so
// unlike the approximation instructions (whose last bits differ between
// processor makers and vector widths) it has the same bits on every target.
// It runs on the divider beside the multipliers.
using DF = hn::Rebind<float, D>;
using VF = hn::Vec<DF>;
HWY_INLINE VF FirstGuess(V s) {
  const DF df;
  // sqrt(1/2) / sqrt(s) rather than 1 / sqrt(2 s): the constant's rounding
  // (1.5e-8) keeps the guess within 1.1e-7 and saves an addition per pair.
  const auto root = hn::Sqrt(hn::DemoteTo(df, s));
  return hn::Div(hn::Set(df, 0.70710678118654752f), root);
}

// Returns z = 1 / sqrt(2 s) to within 2e-14 of its value from the first
// guess: one Newton step, 1.5 (1.1e-7)^2 = 1.8e-14, far inside the 1e-12
// that the pair force may be off by. (1 / r is sqrt(2) z; asking for z lets
// Newton's step use s where it would use s / 2, saving a multiplication per
// pair, and the powers of sqrt(2) go into the law's constants.)
HWY_INLINE V HalfReciprocalSqrt(D d, V s, VF firstGuess) {
  const V guess = hn::PromoteTo(d, firstGuess);
  return hn::Mul(guess, hn::Sub(hn::Set(d, 1.5), hn::Mul(hn::Mul(s, guess), guess)));
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

// The law's constants, broadcast once per batch of rows.
struct VectorLaw {
  V pull, push, minSquare;
  explicit VectorLaw(D d, const PairLaw& law)
      : pull(hn::Set(d, law.form == PairLaw::Form::kWhole ? law.pullFactor : law.pull)),
        push(hn::Set(d, law.form == PairLaw::Form::kWhole ? law.pushFactor : law.push)),
        minSquare(hn::Set(d, kMinSquare)) {}
};
// A non-whole law's, with its power tables'.
struct GeneralLaw : VectorLaw {
  PowerTableLanes<D> powers;
  explicit GeneralLaw(D d, const PairLaw& law) : VectorLaw(d, law), powers(d, *law.powers) {}
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
// reads the law's power tables with loads, kGatheredShape (AVX-512 only)
// with gathers, kAnyWhole multiplies with powers read at run
// time, and
// (kPull, kExtra) with kPull > 0 is the whole law whose powers of 1/r are
// kPull and kPull + kExtra, with no loop and no branch per pair. The control
// ranges give kPull = a + 1 in 1..4 and kExtra = b in 0..3.
constexpr int kGatheredShape = -3;
constexpr int kGeneralShape = -2;
constexpr int kAnyWhole = -1;
constexpr bool IsGeneral(int pull) { return pull <= kGeneralShape; }
constexpr int kMaxCompiledPull = 4;
constexpr int kMaxCompiledExtra = 3;

// The first stage of a vector of pairs: the separations, their squared
// length s, and the results of the operations with the longest latency (the
// first guess on the divider, or the power tables' look-ups). The kernels
// start it several vectors ahead of the rest of the pull, so the rest finds
// those results ready instead of filling the scheduler while it waits.
// (Their constructors are written out for the reason PowerLookups's is.)
struct WholeStart {
  HWY_INLINE WholeStart() {}
  HWY_INLINE WholeStart(V dx, V dy, V s, VF guess) : dx(dx), dy(dy), s(s), guess(guess) {}
  V dx, dy, s;
  VF guess;  // Promoted when used: half the registers while it waits.
};
struct GeneralStart {
  HWY_INLINE GeneralStart() {}
  HWY_INLINE GeneralStart(V dx, V dy, V s, const PowerLookups<D>& lookups)
      : dx(dx), dy(dy), s(s), lookups(lookups) {}
  V dx, dy, s;
  PowerLookups<D> lookups;
};
template <int kPull>
using PairStart = std::conditional_t<IsGeneral(kPull), GeneralStart, WholeStart>;
template <int kPull>
using LawLanes = std::conditional_t<IsGeneral(kPull), GeneralLaw, VectorLaw>;

// Returns the first stage for the separations (dx, dy).
template <int kPull>
HWY_INLINE PairStart<kPull> StartPairs(D d, const LawLanes<kPull>& vl, V dx, V dy) {
  const V s = hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy));
  if constexpr (IsGeneral(kPull)) {
    constexpr EntryReads kReads = kPull == kGatheredShape ? EntryReads::kGathers : EntryReads::kLoads;
    return GeneralStart{dx, dy, s, LookUpPowers<kReads>(d, vl.powers, s)};
  } else {
    return WholeStart{dx, dy, s, FirstGuess(s)};
  }
}

// Returns F(d) / r for squared separations s of at least kMinSquare.
template <int kPull, int kExtra>
HWY_INLINE V PullPerPixel(D d, const PairLaw& law, const LawLanes<kPull>& vl,
                          const PairStart<kPull>& start) {
  if constexpr (IsGeneral(kPull)) {
    return PowerDifference(d, vl.powers, start.lookups);
  } else if constexpr (kPull == kAnyWhole) {
    const V z = HalfReciprocalSqrt(d, start.s, start.guess);
    const V pullTerm = InversePower(d, z, start.s, law.pullPower);
    const V pushTerm = InversePower(d, z, start.s, law.pushPower);
    return hn::Sub(hn::Mul(vl.pull, pullTerm), hn::Mul(vl.push, pushTerm));
  } else {
    // The repulsive power extends the attractive one: one product less.
    const V z = HalfReciprocalSqrt(d, start.s, start.guess);
    return hn::Mul(PowerOf<kPull>(d, z), hn::Sub(vl.pull, hn::Mul(vl.push, PowerOf<kExtra>(d, z))));
  }
}

// The pull of a vector of pairs.
struct Pulls {
  V x, y;
};

// Returns the pair-by-pair pull of the separations (dx, dy) in the lanes of
// `near`, and 0 in the others. Out of line, so the hot loop keeps its
// partial sums in registers.
HWY_NOINLINE Pulls NearLanePulls(const PairLaw& law, hn::Mask<D> near, V dx, V dy) {
  const D d;
  HWY_ALIGN double bufferX[hn::MaxLanes(d)];
  HWY_ALIGN double bufferY[hn::MaxLanes(d)];
  HWY_ALIGN double outX[hn::MaxLanes(d)];
  HWY_ALIGN double outY[hn::MaxLanes(d)];
  HWY_ALIGN double isNear[hn::MaxLanes(d)];
  hn::Store(dx, d, bufferX);
  hn::Store(dy, d, bufferY);
  hn::Store(hn::Zero(d), d, outX);
  hn::Store(hn::Zero(d), d, outY);
  hn::Store(hn::IfThenElseZero(near, hn::Set(d, 1.0)), d, isNear);
  for (size_t k = 0; k < hn::Lanes(d); ++k) {
    if (isNear[k] != 0.0) LiteralPairPull(law, bufferX[k], bufferY[k], outX[k], outY[k]);
  }
  return Pulls{hn::Load(d, outX), hn::Load(d, outY)};
}

// Adds the pull of the pairs begun in `start` to the partial sums (accX,
// accY), lane by lane: perPixel dx rounded, then added to the sum. Lanes
// holding (0, 0) add nothing.
template <int kPull, int kExtra>
HWY_INLINE void AddPulls(D d, const PairLaw& law, const LawLanes<kPull>& vl, const PairStart<kPull>& start,
                         V& accX, V& accY) {
  const V perPixel = PullPerPixel<kPull, kExtra>(d, law, vl, start);
  // Lanes with s below kMinSquare take the branch: at s = 0 (the row itself,
  // or a particle on the same point) the vector formula is not finite and
  // the pair gives no force; closer than 1e-10 pixels (0 < s < kMinSquare)
  // the pair is left to the pair-by-pair path, lane by lane, so the other
  // lanes keep their vector values whatever the vector width. (Tested before
  // the sums are formed, so that on the common path they can overwrite the
  // partial sums in place.)
  const auto belowMin = hn::Lt(start.s, vl.minSquare);
  if (HWY_LIKELY(hn::AllFalse(d, belowMin))) {
    accX = hn::Add(accX, hn::Mul(perPixel, start.dx));
    accY = hn::Add(accY, hn::Mul(perPixel, start.dy));
    return;
  }
  const V sumX = hn::Add(accX, hn::Mul(perPixel, start.dx));
  const V sumY = hn::Add(accY, hn::Mul(perPixel, start.dy));
  const auto near = hn::And(belowMin, hn::Gt(start.s, hn::Zero(d)));
  Pulls pulls{hn::Zero(d), hn::Zero(d)};
  if (!hn::AllFalse(d, near)) pulls = NearLanePulls(law, near, start.dx, start.dy);
  accX = hn::IfThenElse(belowMin, hn::Add(accX, pulls.x), sumX);
  accY = hn::IfThenElse(belowMin, hn::Add(accY, pulls.y), sumY);
}

// Pairs per group: partial sum k collects pair k of every group.
constexpr int kPartialSums = 8;
constexpr int kLanes = static_cast<int>(hn::MaxLanes(D()));
constexpr int kVectors = kPartialSums / kLanes;
static_assert(kVectors * kLanes == kPartialSums, "a group must fill whole vectors");

// Returns the sum of the partial sums held in `partial` (kVectors vectors of
// kLanes, partial sum k in lane k % kLanes of vector k / kLanes), added in
// the same tree on every target.
HWY_INLINE double SumPartials(D d, const V* partial) {
  HWY_ALIGN double p[kPartialSums];
  for (int v = 0; v < kVectors; ++v) hn::Store(partial[v], d, p + v * kLanes);
  return ((p[0] + p[4]) + (p[2] + p[6])) + ((p[1] + p[5]) + (p[3] + p[7]));
}

// Vectors whose first stage is started ahead of the one being finished,
// rounded up to whole groups: enough to cover the divider's latency with
// the work of the vectors in between, and few enough that the stages
// waiting stay in registers. (One vector of 2500 particles' pairs on one
// AVX-512 thread: 4.8 ms a tick with none ahead, 3.9 with four, 4.5 with
// eight, which spill. The general shape's larger stage needs two: a group
// of AVX2 vectors holds two already, and with one ahead the AVX-512 loop
// waits on its table look-ups and division.) WebAssembly's engine, which
// allocates the registers itself, does best with three for either shape,
// not rounded up (the loop's body then covers twelve vectors): the page's
// tick of 2500 particles took 17.1 ms with four ahead and 15.0 with three,
// in one run of Chromium 156 (two, 17.3; five and six, as three), and
// under a non-whole law 27.7 and 25.6 (two, 27.2), where the native SSE4
// loop is slower with three than with four.
constexpr int kWholeAhead = 4;
constexpr int kGeneralAhead = 2;
constexpr int kWasmAhead = 3;
constexpr int WholeGroups(int vectors) { return (vectors + kVectors - 1) / kVectors * kVectors; }
template <int kPull>
constexpr int kAhead = HWY_TARGET == HWY_WASM
                           ? kWasmAhead
                           : WholeGroups(IsGeneral(kPull) ? kGeneralAhead : kWholeAhead);
// The loop's body covers whole rings of stages and whole groups, so that
// each stage's slot and partial sum are known when compiling.
template <int kPull>
constexpr int kUnrolled = std::lcm(kAhead<kPull>, kVectors);

// The loops over the vectors ahead must be unrolled, so that every stage
// and partial sum stays in a register, and GCC needs asking; so does clang
// for the page's WebAssembly, which it otherwise leaves rolled. Not the
// fuzzing build's clang: there speed does not matter, and asking would take
// the compile time under the sanitizers from one minute to six.
#undef ZINTREL_UNROLL_RING
#if defined(__EMSCRIPTEN__)
#define ZINTREL_UNROLL_RING _Pragma("clang loop unroll(full)")
#elif defined(__clang__)
#define ZINTREL_UNROLL_RING
#else
#define ZINTREL_UNROLL_RING _Pragma("GCC unroll 16")
#endif

// Returns the first stage of the vector of pairs [j, j + kLanes) of the run
// [., end) on the row at (rowX, rowY). Pairs past the run become (0, 0),
// which adds nothing (whatever lies there, NaN included, must not reach the
// sums); a vector wholly past it reads no memory.
template <int kPull>
HWY_INLINE PairStart<kPull> StartVector(D d, const LawLanes<kPull>& vl, const double* xs, const double* ys,
                                        int j, int end, V rowX, V rowY) {
  if (HWY_LIKELY(j + kLanes <= end)) {
    return StartPairs<kPull>(d, vl, hn::Sub(hn::LoadU(d, xs + j), rowX), hn::Sub(hn::LoadU(d, ys + j), rowY));
  }
  if (j >= end) return StartPairs<kPull>(d, vl, hn::Zero(d), hn::Zero(d));
  const auto inRun = hn::FirstN(d, static_cast<size_t>(end - j));
  return StartPairs<kPull>(d, vl, hn::IfThenElseZero(inRun, hn::Sub(hn::LoadU(d, xs + j), rowX)),
                           hn::IfThenElseZero(inRun, hn::Sub(hn::LoadU(d, ys + j), rowY)));
}

// Sums the pull of the run [begin, end) on the row at (xi, yi). Vector q of
// the run (pairs begin + q kLanes ...) goes to partial sum vector
// q % kVectors, in ascending q, whichever target computes it; its first
// stage is started kAhead vectors earlier.
template <int kPull, int kExtra>
HWY_INLINE void SumRow(const PairLaw& law, const LawLanes<kPull>& vl, const double* xs, const double* ys,
                       int begin, int end, double xi, double yi, double& sumX, double& sumY) {
  const D d;
  const V rowX = hn::Set(d, xi);
  const V rowY = hn::Set(d, yi);
  V accX[kVectors], accY[kVectors];
  for (int v = 0; v < kVectors; ++v) accX[v] = accY[v] = hn::Zero(d);
  PairStart<kPull> ahead[kAhead<kPull>];
ZINTREL_UNROLL_RING
  for (int k = 0; k < kAhead<kPull>; ++k) {
    ahead[k] = StartVector<kPull>(d, vl, xs, ys, begin + k * kLanes, end, rowX, rowY);
  }
  for (int j = begin; j < end; j += kUnrolled<kPull> * kLanes) {
ZINTREL_UNROLL_RING
    for (int k = 0; k < kUnrolled<kPull>; ++k) {
      if (j + k * kLanes >= end) break;
      // Finishing a stage before starting its successor lets the successor
      // take the stage's registers. Started first, both were alive at once,
      // and GCC moved the stages between registers and the stack on every
      // pass: the AVX-512 loop of four vectors had 14 more register moves
      // and 10 more stack accesses, a fifth more operations than now. The
      // processor still overlaps the two.
      PairStart<kPull>& stage = ahead[k % kAhead<kPull>];
      AddPulls<kPull, kExtra>(d, law, vl, stage, accX[k % kVectors], accY[k % kVectors]);
      stage = StartVector<kPull>(d, vl, xs, ys, j + (kAhead<kPull> + k) * kLanes, end, rowX, rowY);
    }
  }
  sumX = SumPartials(d, accX);
  sumY = SumPartials(d, accY);
}

template <int kPull, int kExtra>
void SumRows(const PairLaw& law, const double* xs, const double* ys, int begin, int end,
             const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX,
             double* sumY) {
  const D d;
  const LawLanes<kPull> vl(d, law);
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

#if HWY_TARGET == HWY_AVX3
// Returns the AVX-512 loop's measured choice between loading and gathering
// the tables' entries, measuring once, at the first call.
TableReadsChoice MeasuredChoice() {
  static const TableReadsChoice choice =
      CompareTableReads(&SumRows<kGeneralShape, 0>, &SumRows<kGatheredShape, 0>);
  return choice;
}

// Returns the non-whole law's loop in the way of reading set, or else in the
// way measured faster on this processor.
SumTileFunction GeneralRows() {
  switch (CurrentTableReads()) {
    case TableReads::kLoads:
      return &SumRows<kGeneralShape, 0>;
    case TableReads::kGathers:
      return &SumRows<kGatheredShape, 0>;
    case TableReads::kFaster:
      break;
  }
  return MeasuredChoice().gathers ? &SumRows<kGatheredShape, 0> : &SumRows<kGeneralShape, 0>;
}
#else
TableReadsChoice MeasuredChoice() { return {}; }
SumTileFunction GeneralRows() { return &SumRows<kGeneralShape, 0>; }
#endif

void SumTile(const PairLaw& law, const double* xs, const double* ys, int begin, int end,
             const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX,
             double* sumY) {
  SumTileFunction rows = &SumRows<kAnyWhole, 0>;
  if (law.form == PairLaw::Form::kScalar) {
    rows = &SumScalarRows;
  } else if (law.form == PairLaw::Form::kGeneral) {
    rows = GeneralRows();
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
HWY_EXPORT(MeasuredChoice);

namespace {

// Returns the targets this processor runs. Highway 1.0 takes its NEON
// target on 64-bit Arm only where the processor has the AES instructions,
// and says "CPU supports ... but software requires ..." on standard error
// at every look where it has not (the Raspberry Pi 4's Cortex-A72 has not).
// The pair loop uses no AES instruction, only the NEON arithmetic every
// 64-bit Arm processor has, so it runs there whatever the AES instructions.
std::int64_t SupportedTargets() {
#if HWY_ARCH_ARM_A64
  return HWY_NEON | HWY_SCALAR;
#else
  return hwy::SupportedTargets();
#endif
}

// Entry 0 of a dispatch table chooses the target; the rest are the
// compiled targets, best first, or null where one was not compiled. Every
// table of this file has the same entries.
constexpr size_t kEntries = sizeof(HWY_DISPATCH_TABLE(Kernel)) / sizeof(HWY_DISPATCH_TABLE(Kernel)[0]);

// Returns the entry of the best compiled target this processor runs.
size_t BestEntry() {
  static const size_t best = [] {
    const std::int64_t supported = SupportedTargets();
    for (size_t k = kEntries == 1 ? 0 : 1; k < kEntries; ++k) {
      if (HWY_DISPATCH_TABLE(Kernel)[k] != nullptr && (HWY_DISPATCH_TABLE(Kernel)[k]().target & supported) != 0) {
        return k;
      }
    }
    return kEntries - 1;
  }();
  return best;
}

}  // namespace

PairKernel BestPairKernel() { return HWY_DISPATCH_TABLE(Kernel)[BestEntry()](); }

TableReadsChoice MeasuredTableReads() { return HWY_DISPATCH_TABLE(MeasuredChoice)[BestEntry()](); }

std::vector<PairKernel> SupportedPairKernels() {
  static const std::int64_t supported = SupportedTargets();
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
