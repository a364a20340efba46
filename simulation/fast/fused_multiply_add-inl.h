// a * b + c rounded once, with the same bits on every SIMD target: the
// processor's fused multiply-add where the target has one (AVX2, AVX-512,
// NEON and the like), and an exact emulation on the targets that lack it
// (SSSE3, SSE4 and the scalar fallback), so the pair kernels can use fused
// operations without giving up a single bit of agreement between targets.
//
// The emulation: a b = p + e exactly (Dekker's product over Veltkamp's
// split), c + p = h + l exactly (Knuth's two-sum), v = l + e rounded to odd
// (round to nearest, then, if that was inexact and gave an even last bit,
// step to the odd neighbour on the far side of the exact sum), and the
// result h + v rounded to nearest. Rounding to odd first keeps the second
// rounding from landing on the wrong side of a tie (Boldo and Melquiond,
// "Emulation of FMA and correctly rounded sums: proved algorithms using
// rounding to odd", IEEE Transactions on Computers 57(4), 2008). About forty
// operations instead of one: the legacy targets pay for the modern ones'
// speed, not the other way round.
//
// Every step is exact while nothing overflows and the product's rounding
// error stays above the subnormal range. Lanes outside that range (the
// pair kernels meet them only in crafted states, and in lanes they throw
// away) take ExactFusedMulAdd, one at a time.

// Per-target include guard: this header is compiled once for every target.
#if defined(ZINTREL_SIMULATION_FAST_FUSED_MULTIPLY_ADD_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZINTREL_SIMULATION_FAST_FUSED_MULTIPLY_ADD_INL_H_
#undef ZINTREL_SIMULATION_FAST_FUSED_MULTIPLY_ADD_INL_H_
#else
#define ZINTREL_SIMULATION_FAST_FUSED_MULTIPLY_ADD_INL_H_
#endif

#include <cstdint>

#include <hwy/highway.h>

#include "simulation/fast/exact_fma.h"

HWY_BEFORE_NAMESPACE();
namespace zintrel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if !HWY_NATIVE_FMA

// Returns a * b + c lane by lane in integer arithmetic. Out of line: only
// lanes at the ends of the double range come here.
template <class D>
HWY_NOINLINE hn::Vec<D> LaneByLaneFusedMulAdd(D d, hn::Vec<D> a, hn::Vec<D> b, hn::Vec<D> c) {
  HWY_ALIGN double la[hn::MaxLanes(d)];
  HWY_ALIGN double lb[hn::MaxLanes(d)];
  HWY_ALIGN double lc[hn::MaxLanes(d)];
  hn::Store(a, d, la);
  hn::Store(b, d, lb);
  hn::Store(c, d, lc);
  for (size_t k = 0; k < hn::Lanes(d); ++k) la[k] = ExactFusedMulAdd(la[k], lb[k], lc[k]);
  return hn::Load(d, la);
}

// Returns (hi, lo) with hi + lo = x, each with at most 26 significant bits.
template <class D, class V>
HWY_INLINE void Split(D d, V x, V& hi, V& lo) {
  const auto t = hn::Mul(hn::Set(d, 134217729.0), x);  // 2^27 + 1.
  hi = hn::Sub(t, hn::Sub(t, x));
  lo = hn::Sub(x, hi);
}

// Returns x + y = sum + error exactly, sum rounded to nearest.
template <class V>
HWY_INLINE V TwoSum(V x, V y, V& error) {
  const auto sum = hn::Add(x, y);
  const auto yPart = hn::Sub(sum, x);
  error = hn::Add(hn::Sub(x, hn::Sub(sum, yPart)), hn::Sub(y, yPart));
  return sum;
}

// Returns a * b + c rounded once to nearest. Out of line: inlined at every
// use in every kernel, it kept the fuzzing build's compiler on the pair
// kernels for over nine minutes, and the call costs little beside forty
// operations.
template <class D>
HWY_NOINLINE hn::Vec<D> EmulatedFusedMulAdd(D d, hn::Vec<D> a, hn::Vec<D> b, hn::Vec<D> c) {
  const auto p = hn::Mul(a, b);
  // Within these bounds neither the split nor the sums overflow, and every
  // partial product of the split is exact.
  const auto absA = hn::Abs(a), absB = hn::Abs(b), absP = hn::Abs(p);
  const auto big = hn::Set(d, 0x1p1000);
  const auto inRange =
      hn::And(hn::And(hn::Le(hn::Max(absA, absB), hn::Set(d, 0x1p995)), hn::Le(hn::Max(absP, hn::Abs(c)), big)),
              hn::Or(hn::Ge(absP, hn::Set(d, 0x1p-960)), hn::Eq(hn::Min(absA, absB), hn::Zero(d))));
  if (HWY_UNLIKELY(!hn::AllTrue(d, inRange))) return LaneByLaneFusedMulAdd(d, a, b, c);

  hn::Vec<D> aHi, aLo, bHi, bLo;
  Split(d, a, aHi, aLo);
  Split(d, b, bHi, bLo);
  const auto e = hn::Add(
      hn::Add(hn::Add(hn::Sub(hn::Mul(aHi, bHi), p), hn::Mul(aHi, bLo)), hn::Mul(aLo, bHi)),
      hn::Mul(aLo, bLo));
  hn::Vec<D> l, uError;
  const auto h = TwoSum(c, p, l);
  const auto u = TwoSum(l, e, uError);

  // Round l + e to odd: where u is inexact and even, step one unit toward
  // uError (up in magnitude where they share a sign, down where not). An
  // inexact u is never zero, so its neighbours are its bits plus or minus one.
  const hn::RebindToSigned<D> di;
  const auto uBits = hn::BitCast(di, u);
  const auto one = hn::Set(di, 1);
  const auto signsDiffer = hn::Lt(hn::Xor(uBits, hn::BitCast(di, uError)), hn::Zero(di));
  const auto step = hn::IfThenElse(signsDiffer, hn::Set(di, -1), one);
  const auto evenAndInexact = hn::And(hn::Eq(hn::And(uBits, one), hn::Zero(di)),
                                      hn::RebindMask(di, hn::Ne(uError, hn::Zero(d))));
  const auto v = hn::BitCast(d, hn::IfThenElse(evenAndInexact, hn::Add(uBits, step), uBits));
  const auto result = hn::Add(h, v);
  // A zero result is exact, so p is too and p + c has the sign the
  // processor would give it (negative only for -0 + -0).
  return hn::IfThenElse(hn::Eq(result, hn::Zero(d)), hn::Add(p, c), result);
}

#endif  // !HWY_NATIVE_FMA

// Returns a * b + c rounded once to nearest, the same bits on every target.
template <class D>
HWY_INLINE hn::Vec<D> FusedMulAdd(D d, hn::Vec<D> a, hn::Vec<D> b, hn::Vec<D> c) {
#if HWY_NATIVE_FMA
  (void)d;
  return hn::MulAdd(a, b, c);
#else
  return EmulatedFusedMulAdd(d, a, b, c);
#endif
}

// Returns c - a * b rounded once to nearest (negating a is exact). Where
// the instruction exists it is asked for by name: GCC does not fold a
// negation into the multiply-add, and the sign flip would cost an operation
// per vector in the pair loop.
template <class D>
HWY_INLINE hn::Vec<D> FusedNegMulAdd(D d, hn::Vec<D> a, hn::Vec<D> b, hn::Vec<D> c) {
#if HWY_NATIVE_FMA
  (void)d;
  return hn::NegMulAdd(a, b, c);
#else
  return FusedMulAdd(d, hn::Neg(a), b, c);
#endif
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace zintrel
HWY_AFTER_NAMESPACE();

#endif  // ZINTREL_SIMULATION_FAST_FUSED_MULTIPLY_ADD_INL_H_
