// The vector evaluation of a law with non-whole exponents: both of its power
// terms from one table look-up per lane and a short binomial series (see
// power_table.h). Only table loads, integer bit operations and
// separate IEEE multiplications, additions and subtractions in a fixed order
// are used, never fused ones, so every target computes, lane by lane, the
// same bits as EvaluatePowerTerm does one value at a time.

// Per-target include guard: this header is compiled once for every target.
#if defined(ZINTREL_SIMULATION_FAST_POWER_KERNEL_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef ZINTREL_SIMULATION_FAST_POWER_KERNEL_INL_H_
#undef ZINTREL_SIMULATION_FAST_POWER_KERNEL_INL_H_
#else
#define ZINTREL_SIMULATION_FAST_POWER_KERNEL_INL_H_
#endif

#include <cstdint>

#include <hwy/highway.h>

#include "simulation/fast/power_table.h"

HWY_BEFORE_NAMESPACE();
namespace zintrel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// The long-latency half of a power difference: the table entries of both
// terms (loaded or gathered, see LoadEntryPairs) and t = (m - c) / c (a
// division). The pair kernels start it several vectors ahead of the series
// that uses it.
template <class D>
struct PowerLookups {
  // Written out: GCC instantiates an implicit constructor of a template at
  // the end of the file, outside this target's attributes, and then refuses
  // to inline the vectors' constructors into it (NEON, whose attributes
  // name +crypto beyond the baseline).
  HWY_INLINE PowerLookups() {}
  hn::Vec<D> t;
  hn::Vec<D> pullScaled;
  hn::Vec<D> pushScaled;
};

// How a kernel reads the tables' entry pairs: both ways give the same bits.
enum class EntryReads {
  kLoads,    // One 16-byte load per pair, shuffled into place.
  kGathers,  // Two gathers, each of one half of every pair (AVX-512 only).
};

// Loads entry pair index[k] of `scaled` into lane k of pull and push.
// Which way is faster depends on the processor, not on the instruction set
// (see TableReads in pair_kernel.h): on a Sapphire Rapids-class Xeon the
// gathers took the AVX-512 non-whole law's loop from 10.0 to 6.4 ms for 2500
// particles on one thread, where the 16-byte loads, shuffled into place,
// spent the two ports the 512-bit arithmetic needs; on AMD's Zen 4 the loads
// took 7.8 to 8.3 ms and the gathers 10.1, on Zen 5 4.2 and 6.1. On the
// processors tried with AVX2, two gathers cost twice as much, so the
// narrower targets only load. Pairs for even lanes fill the 128-bit blocks
// of one vector and pairs for odd lanes those of another, so interleaving
// their lower and upper halves puts every lane in place.
template <EntryReads kReads, class D, class VI>
HWY_INLINE void LoadEntryPairs(D d, const double* scaled, VI index, hn::Vec<D>& pull, hn::Vec<D>& push) {
  // Offsets in doubles, twice the pair's index, so that each address is
  // the table plus offset times 8 with no shift: x86 scales by 8 at most.
  const VI offsets = hn::Add(index, index);
#if HWY_TARGET == HWY_AVX3
  if constexpr (kReads == EntryReads::kGathers) {
    pull = hn::GatherIndex(d, scaled, offsets);
    push = hn::GatherIndex(d, scaled + 1, offsets);
    return;
  }
#else
  static_assert(kReads == EntryReads::kLoads, "only AVX-512 gathers");
#endif
  constexpr size_t kLanes = hn::MaxLanes(d);
  const hn::RebindToSigned<D> di;
  HWY_ALIGN std::int64_t at[kLanes];
  hn::Store(offsets, di, at);
#if HWY_TARGET == HWY_AVX3
  // Read back from memory rather than extracted lane by lane: on AVX-512
  // the eight extractions take some twenty operations on the two ports the
  // 512-bit arithmetic needs, and eight loads take none of them. (Where
  // vectors are narrower the extractions are cheaper, and there the store's
  // forwarding latency made the loop slower.) The empty statement tells the
  // compiler the stored offsets may have changed, so it must load them.
  __asm__("" : "+m"(at));
#endif
#if HWY_TARGET == HWY_SCALAR
  static_assert(kLanes == 1, "the scalar target has one lane");
  pull = hn::Set(d, scaled[at[0]]);
  push = hn::Set(d, scaled[at[0] + 1]);
#else
  const hn::Full128<double> d2;
  const auto pair = [&](size_t lane) { return hn::LoadU(d2, scaled + at[lane]); };
  hn::Vec<D> even, odd;
  if constexpr (kLanes == 2) {
    even = pair(0);
    odd = pair(1);
  } else if constexpr (kLanes == 4) {
    even = hn::Combine(d, pair(2), pair(0));
    odd = hn::Combine(d, pair(3), pair(1));
  } else {
    static_assert(kLanes == 8, "vectors of 1, 2, 4 or 8 doubles");
    const hn::Half<D> dh;
    even = hn::Combine(d, hn::Combine(dh, pair(6), pair(4)), hn::Combine(dh, pair(2), pair(0)));
    odd = hn::Combine(d, hn::Combine(dh, pair(7), pair(5)), hn::Combine(dh, pair(3), pair(1)));
  }
  pull = hn::InterleaveLower(d, even, odd);
  push = hn::InterleaveUpper(d, even, odd);
#endif
}

// A table's constants, each broadcast to a whole vector in memory once per
// batch of rows (see LoadConstant). The bit masks are stored too, though
// known when compiling: written as constants, the compiler broadcasts them
// from a scalar again on every vector.
template <class D>
struct PowerTableLanes {
  static constexpr size_t kLanes = hn::MaxLanes(D());
  using Lanes = double[kLanes];
  using Bits = std::uint64_t[kLanes];
  const double* scaled;
  HWY_ALIGN Lanes minSquare, maxSquare;
  HWY_ALIGN Bits indexBias, mantissaMask, centreMask, oneBits, centreBits;
  // series[term][n - 1]: binom(power, n) of the pull (term 0) and push.
  HWY_ALIGN Lanes series[2][kSeriesDegree];

  PowerTableLanes(D d, const PowerTable& table) : scaled(table.scaled.data()) {
    const hn::RebindToUnsigned<D> du;
    hn::Store(hn::Set(d, table.minSquare), d, minSquare);
    hn::Store(hn::Set(d, table.maxSquare), d, maxSquare);
    hn::Store(hn::Set(du, kIndexBias), du, indexBias);
    hn::Store(hn::Set(du, kMantissaMask), du, mantissaMask);
    hn::Store(hn::Set(du, kCentreMask), du, centreMask);
    hn::Store(hn::Set(du, kOneBits), du, oneBits);
    hn::Store(hn::Set(du, kOneBits | kHalfStepBits), du, centreBits);
    for (int n = 0; n < kSeriesDegree; ++n) {
      hn::Store(hn::Set(d, table.pull.series[n]), d, series[0][n]);
      hn::Store(hn::Set(d, table.push.series[n]), d, series[1][n]);
    }
  }
};

// Returns the constant broadcast in `lanes`. AVX2 and older read it as the
// memory operand of the arithmetic: a broadcast from a scalar costs (on
// Zen 3, measured) a vector pipe that the arithmetic needs, and kept in
// registers the constants would push the stages ahead onto the stack.
// AVX-512 broadcasts a scalar within the operation itself for free.
template <class D>
HWY_INLINE hn::Vec<D> LoadConstant(D d, const double* lanes) {
#if HWY_TARGET == HWY_AVX3
  return hn::Set(d, lanes[0]);
#else
  return hn::Load(d, lanes);
#endif
}
// The same for the bit mask kBits held in `lanes`. With 32 vector
// registers AVX-512 keeps the masks in registers.
template <std::uint64_t kBits, class D>
HWY_INLINE hn::Vec<hn::RebindToUnsigned<D>> LoadBits(D, const std::uint64_t* lanes) {
  const hn::RebindToUnsigned<D> du;
#if HWY_TARGET == HWY_AVX3
  (void)lanes;
  return hn::Set(du, kBits);
#else
  return hn::Load(du, lanes);
#endif
}

// Looks up both terms of the table for every lane of s. Lanes below the
// table's range (s = 0 included) are looked up at its lower end, so any
// lane may hold a value the caller then discards.
template <EntryReads kReads = EntryReads::kLoads, class D>
HWY_INLINE PowerLookups<D> LookUpPowers(D d, const PowerTableLanes<D>& table, hn::Vec<D> s) {
  const hn::RebindToUnsigned<D> du;
  const hn::RebindToSigned<D> di;
  s = hn::Min(hn::Max(s, LoadConstant(d, table.minSquare)), LoadConstant(d, table.maxSquare));
  const auto bits = hn::BitCast(du, s);
  // Logical shifts of 64-bit lanes are native everywhere; s > 0, so the
  // index is also its signed value.
  const auto index = hn::BitCast(
      di, hn::Sub(hn::ShiftRight<kIndexShift>(bits), LoadBits<kIndexBias>(d, table.indexBias)));
  const auto fraction = hn::And(bits, LoadBits<kMantissaMask>(d, table.mantissaMask));
  const auto m = hn::BitCast(d, hn::Or(fraction, LoadBits<kOneBits>(d, table.oneBits)));
  const auto centre = hn::And(bits, LoadBits<kCentreMask>(d, table.centreMask));
  const auto c = hn::BitCast(d, hn::Or(centre, LoadBits<kOneBits | kHalfStepBits>(d, table.centreBits)));
  // m - c is exact: both lie in [1, 2). The division runs on the divider,
  // which this path leaves idle; a look-up of 1 / c would cost more loads.
  PowerLookups<D> lookups;
  lookups.t = hn::Div(hn::Sub(m, c), c);
  LoadEntryPairs<kReads>(d, table.scaled, index, lookups.pullScaled, lookups.pushScaled);
  return lookups;
}

// Returns a term's factor s^power from its table entry, its series
// coefficients a and t = (m - c) / c, with t2 = t^2. The series is summed in
// two halves (Estrin's scheme), which shortens the chain of dependent
// operations; EvaluatePowerTerm uses the same grouping.
template <class D>
HWY_INLINE hn::Vec<D> PowerTermLanes(D d, const typename PowerTableLanes<D>::Lanes* a,
                                     hn::Vec<D> scaled, hn::Vec<D> t, hn::Vec<D> t2) {
  static_assert(kSeriesDegree == 4, "the grouping below is written out for four terms");
  const auto inner = hn::Add(hn::Add(LoadConstant(d, a[1]), hn::Mul(LoadConstant(d, a[2]), t)),
                             hn::Mul(LoadConstant(d, a[3]), t2));
  const auto series =
      hn::Add(hn::Add(hn::Set(d, 1.0), hn::Mul(LoadConstant(d, a[0]), t)), hn::Mul(inner, t2));
  return hn::Mul(scaled, series);
}

// Returns pullFactor s^pullPower - pushFactor s^pushPower of the table from
// the look-ups of s.
template <class D>
HWY_INLINE hn::Vec<D> PowerDifference(D d, const PowerTableLanes<D>& table,
                                      const PowerLookups<D>& lookups) {
  const auto t2 = hn::Mul(lookups.t, lookups.t);
  return hn::Sub(PowerTermLanes(d, table.series[0], lookups.pullScaled, lookups.t, t2),
                 PowerTermLanes(d, table.series[1], lookups.pushScaled, lookups.t, t2));
}

// Returns pullFactor s^pullPower - pushFactor s^pushPower of the table for
// every lane of s (see LookUpPowers for lanes below the table's range).
template <EntryReads kReads = EntryReads::kLoads, class D>
HWY_INLINE hn::Vec<D> PowerDifference(D d, const PowerTableLanes<D>& table, hn::Vec<D> s) {
  return PowerDifference(d, table, LookUpPowers<kReads>(d, table, s));
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace zintrel
HWY_AFTER_NAMESPACE();

#endif  // ZINTREL_SIMULATION_FAST_POWER_KERNEL_INL_H_
