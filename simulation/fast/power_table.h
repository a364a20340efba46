#pragma once

// Per-law tables that let the pair kernels raise a squared separation s to a
// non-whole power with table look-ups, additions and multiplications only,
// so that every SIMD target computes the same bits.
//
// With s = m 2^k, m in [1, 2), the top kCentreBits bits of m's fraction
// select a sub-interval of [1, 2) with centre c, and
//   factor s^power = [factor (2^k c)^power] (1 + t)^power,  t = (m - c) / c,
// where the bracket is read from a table indexed by the top bits of s
// (exponent and sub-interval together) and (1 + t)^power, |t| <= 2^-10, is the
// binomial series to kSeriesDegree terms. The law changes only when a
// control moves, so the tables cost nothing per pair.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace zintrel {

// 512 sub-intervals keep four terms of the series enough: a fifth would cost
// two multiplications and an addition per term and pair for accuracy the
// force does not need. (The tables grow, but a cloud reads only the few
// binades its separations span.)
inline constexpr int kCentreBits = 9;
inline constexpr int kCentres = 1 << kCentreBits;
// The first term left out, binom(power, 5) t^5 with |t| <= 2^-10, is below
// 4e-14 relative for |power| <= 3.5 (the controls' range) and below 1e-12
// for |power| <= 8.5 (the largest exponents the vector path takes).
inline constexpr int kSeriesDegree = 4;
// Binary exponents of the squared separations the tables cover: 2^-67 is
// below the closest separations the vector path takes (1e-20), and every
// separation of positions within +-1e14 squares to below 2^100.
inline constexpr int kMinScale = -67;
inline constexpr int kMaxScale = 99;
inline constexpr int kPowerEntries = (kMaxScale - kMinScale + 1) * kCentres;

// The bit fields of a double s in [2^kMinScale, 2^(kMaxScale + 1)).
inline constexpr int kIndexShift = 52 - kCentreBits;  // s's bits >> this = (biased k, centre).
inline constexpr std::uint64_t kIndexBias = std::uint64_t{1023 + kMinScale} << kCentreBits;
inline constexpr std::uint64_t kMantissaMask = 0x000FFFFFFFFFFFFFull;
inline constexpr std::uint64_t kCentreMask = std::uint64_t{kCentres - 1} << kIndexShift;
inline constexpr std::uint64_t kOneBits = 0x3FF0000000000000ull;  // The bits of 1.0.
inline constexpr std::uint64_t kHalfStepBits = std::uint64_t{1} << (kIndexShift - 1);

// The series of one of the law's two terms.
struct PowerTerm {
  // series[n - 1] = binom(power, n), n = 1 .. kSeriesDegree.
  std::array<double, kSeriesDegree> series{};
  int slot = 0;  // 0 for the pull, 1 for the push: its place in each entry pair.
};

struct PowerTable {
  // Every s is clamped into [minSquare, maxSquare] before the look-up, so
  // that a lane the caller discards (s = 0) still reads inside the table.
  double minSquare = 0x1p-67;
  double maxSquare = 0x1.fffffffffffffp99;
  PowerTerm pull{{}, 0};
  PowerTerm push{{}, 1};
  // Entry pair (k - kMinScale) * kCentres + j, at twice that: pullFactor
  // (2^k c_j)^pullPower, then the same for the push. Side by side, both
  // terms of a pair come from one 16-byte load.
  std::vector<double> scaled;
};
// Returns the tables of pullFactor s^pullPower - pushFactor s^pushPower.
// The same arguments give the same bits on every processor, and the last
// table built is kept, so asking again for the same law costs nothing.
std::shared_ptr<const PowerTable> MakePowerTable(double pullFactor, double pullPower,
                                                 double pushFactor, double pushPower);

// Returns term's factor s^power for s in [2^kMinScale, 2^(kMaxScale + 1)),
// by the same operations in the same order as the vector kernels, one lane
// at a time.
double EvaluatePowerTerm(const PowerTable& table, const PowerTerm& term, double s);

}  // namespace zintrel
