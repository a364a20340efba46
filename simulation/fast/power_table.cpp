#include "simulation/fast/power_table.h"

#include <bit>
#include <cstring>
#include <mutex>

#include "simulation/fast/portable_power.h"

namespace zintrel {
namespace {

// Fills term's series and its slot of every entry pair in table.
void MakeTerm(double factor, double power, PowerTerm& term, std::vector<double>& scaled) {
  double coefficient = 1.0;
  for (int n = 1; n <= kSeriesDegree; ++n) {
    coefficient = coefficient * (power - (n - 1)) / n;
    term.series[n - 1] = coefficient;
  }

  // (2^k c)^power = 2^(k power) c^power, each from the portable exponential
  // of a logarithm carried in two doubles, then one rounded product.
  const WideDouble ln2 = PortableLog(2.0);
  std::array<double, kCentres> centrePowers;
  for (int j = 0; j < kCentres; ++j) {
    centrePowers[j] = PortablePower(1.0 + (j + 0.5) / kCentres, power);
  }
  for (int k = kMinScale; k <= kMaxScale; ++k) {
    const double scale = factor * PortableExp(MultiplyWide(MultiplyWide(ln2, k), power));
    double* row = &scaled[2 * static_cast<size_t>(k - kMinScale) * kCentres + term.slot];
    for (int j = 0; j < kCentres; ++j) row[2 * j] = scale * centrePowers[j];
  }
}

struct Key {
  double values[4];
  bool operator==(const Key& other) const {
    return std::memcmp(values, other.values, sizeof values) == 0;
  }
};

}  // namespace

std::shared_ptr<const PowerTable> MakePowerTable(double pullFactor, double pullPower,
                                                 double pushFactor, double pushPower) {
  // The step asks for the law every tick; it changes only when a control
  // moves or the particle count does.
  static std::mutex mutex;
  static Key lastKey;
  static std::shared_ptr<const PowerTable> last;
  const Key key{{pullFactor, pullPower, pushFactor, pushPower}};
  const std::lock_guard lock(mutex);
  if (last && key == lastKey) return last;

  auto table = std::make_shared<PowerTable>();
  table->scaled.resize(2 * static_cast<size_t>(kPowerEntries));
  MakeTerm(pullFactor, pullPower, table->pull, table->scaled);
  MakeTerm(pushFactor, pushPower, table->push, table->scaled);
  lastKey = key;
  last = table;
  return last;
}

double EvaluatePowerTerm(const PowerTable& table, const PowerTerm& term, double s) {
  s = s < table.minSquare ? table.minSquare : s;
  s = s > table.maxSquare ? table.maxSquare : s;
  const auto bits = std::bit_cast<std::uint64_t>(s);
  const std::uint64_t index = (bits >> kIndexShift) - kIndexBias;
  const double m = std::bit_cast<double>((bits & kMantissaMask) | kOneBits);
  const double c = std::bit_cast<double>((bits & kCentreMask) | kOneBits | kHalfStepBits);
  const double t = (m - c) / c;
  const double t2 = t * t;
  const auto& a = term.series;
  const double inner = (a[1] + a[2] * t) + a[3] * t2;
  return table.scaled[2 * index + term.slot] * ((1.0 + a[0] * t) + inner * t2);
}

}  // namespace zintrel
