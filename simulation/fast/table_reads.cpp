// The choice between the AVX-512 kernel's two ways of reading the power
// tables, made by timing both on the processor the program runs on. A
// processor's name would not do: the same instruction costs a few cycles on
// one core and ten times that on another of the same maker, and later
// cores change it again. Both ways give the same bits, so the choice decides
// only the speed, never the motion.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "simulation/fast/pair_kernel.h"
#include "simulation/fast/power_table.h"

namespace zintrel {
namespace {

std::atomic<TableReads> setting{TableReads::kFaster};

// The pairs timed: kColumns particles spread over a field of the start size
// and kRows of them as rows. About 16000 pairs, 20 microseconds a round on
// one core of a current processor: long against the clock's resolution,
// short enough that the first tick of a non-whole law hardly notices.
constexpr int kColumns = 1024;
constexpr int kRows = 16;
// Rounds of each way, alternating, after one round of each to fill the
// caches: the fastest round of each is its figure, so a round another
// process interrupts does not decide.
constexpr int kRounds = 9;

}  // namespace

void SetTableReads(TableReads reads) { setting.store(reads, std::memory_order_relaxed); }

TableReads CurrentTableReads() { return setting.load(std::memory_order_relaxed); }

TableReadsChoice CompareTableReads(SumTileFunction loads, SumTileFunction gathers) {
  // A law of the sliders' non-whole range (accelerations 0.5 and 1.0); the
  // factors do not change the time.
  PairLaw law;
  law.form = PairLaw::Form::kGeneral;
  law.powers = MakePowerTable(1.0, 0.5 * (-0.5 - 1.0), 1.0, 0.5 * (-1.5 - 1.0));
  // A fixed spread (a Weyl sequence), so every program times the same pairs.
  std::vector<double> xs(kColumns + kPairPadding, 0.0), ys(kColumns + kPairPadding, 0.0);
  std::uint64_t u = 0, v = 0;
  for (int k = 0; k < kColumns; ++k) {
    u += 0x9E3779B97F4A7C15ull;
    v += 0xC2B2AE3D27D4EB4Full;
    xs[k] = 660.0 * static_cast<double>(u >> 11) * 0x1p-53;
    ys[k] = 440.0 * static_cast<double>(v >> 11) * 0x1p-53;
  }
  std::vector<double> sumX(kRows), sumY(kRows);
  const auto time = [&](SumTileFunction rows) {
    const auto start = std::chrono::steady_clock::now();
    rows(law, xs.data(), ys.data(), 0, kColumns, xs.data(), ys.data(), 0, kRows, sumX.data(), sumY.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  time(loads);
  time(gathers);
  TableReadsChoice choice;
  choice.measured = true;
  choice.loadsSeconds = choice.gathersSeconds = 1e300;
  for (int round = 0; round < kRounds; ++round) {
    // Each way goes first in every other round, so neither always finds
    // the other's leftovers in the caches and predictors.
    const bool loadsFirst = round % 2 == 0;
    const double first = time(loadsFirst ? loads : gathers);
    const double second = time(loadsFirst ? gathers : loads);
    choice.loadsSeconds = std::min(choice.loadsSeconds, loadsFirst ? first : second);
    choice.gathersSeconds = std::min(choice.gathersSeconds, loadsFirst ? second : first);
  }
  choice.gathers = choice.gathersSeconds < choice.loadsSeconds;
  return choice;
}

}  // namespace zintrel
