#pragma once

// The inner loop of the production step: the summed pull of a run of
// particles on each of a run of rows, computed with SIMD instructions chosen
// at run time for the CPU the program runs on.

#include <cstdint>
#include <memory>
#include <vector>

#include "simulation/fast/power_table.h"
#include "simulation/particle_field.h"

namespace zintrel {

// The force law of one tick with the gain and the amplitudes folded in:
// F(d) = pull * d^pullExponent - push * d^pushExponent. The vector kernels
// use it rewritten as the pull per pixel of separation, F(d) / r, in terms of
// s = r^2 and 1 / r, with every constant hoisted out of the pair loop.
struct PairLaw {
  enum class Form {
    kWhole,    // Whole exponents: multiplications only.
    kGeneral,  // A non-whole exponent: table look-ups and a short series per pair.
    kScalar,   // Beyond what the vector forms honour: pair by pair, as the literal step.
  };
  Form form = Form::kScalar;
  double pull = 0.0;          // 30 A / N.
  double push = 0.0;          // 30 A B / N.
  double pullExponent = 0.0;  // -a.
  double pushExponent = 0.0;  // -(a + b).

  // kWhole: F / r = pull 10^-pullExponent (1/r)^pullPower - (the same for
  // push), where a negative power means that power of r. The kernels work
  // with z = 1 / (sqrt(2) r), so the factors hold 2^(|power| / 2) as well.
  double pullFactor = 0.0;  // pull * 10^-pullExponent * 2^(|pullPower| / 2).
  double pushFactor = 0.0;
  int pullPower = 0;        // 1 - pullExponent.
  int pushPower = 0;
  // kGeneral: F / r = pull 10^-pullExponent s^((pullExponent - 1) / 2) - (the
  // same for push), tabulated per law (shared, never changed once built).
  std::shared_ptr<const PowerTable> powers;
};

// Returns the law of the next tick of field with count active particles.
PairLaw MakePairLaw(const ParticleField& field, int count);

// Positions handed to a kernel must stay readable for this many entries past
// the end of the run (the widest vector, in doubles); what they hold there is
// never used.
inline constexpr int kPairPadding = 8;

// Sums, for every row i in [rowBegin, rowEnd), the velocity change that the
// particles j in [begin, end) at (xs[j], ys[j]) give a particle at
// (rowX[i], rowY[i]), into sumX[i - rowBegin] and sumY[i - rowBegin]. A pair at distance 0 (the row
// itself among them) contributes nothing. The sum over one run depends only
// on the inputs, never on the thread or the SIMD target that computes it.
using SumTileFunction = void (*)(const PairLaw& law, const double* xs, const double* ys, int begin,
                                 int end, const double* rowX, const double* rowY, int rowBegin,
                                 int rowEnd, double* sumX, double* sumY);

// One compiled instruction set of the pair loop.
struct PairKernel {
  std::int64_t target = 0;  // The SIMD target it was compiled for (a Highway target bit).
  const char* name = "";    // That target's name, e.g. "AVX2".
  SumTileFunction sumTile = nullptr;
};

// Returns the kernel for the best instruction set this CPU supports.
PairKernel BestPairKernel();

// How the AVX-512 kernel reads the non-whole law's power tables: one load
// per pair or two gathers per vector. Both give the same bits; which is
// faster depends on the processor (Intel's recent cores gather fast, AMD's
// Zen 4 and Zen 5 slowly), so the kernel times both at its first non-whole
// tick and keeps the faster.
enum class TableReads {
  kFaster,  // The way measured faster on this processor (the default).
  kLoads,
  kGathers,
};

// Makes the AVX-512 kernel read the tables that way from now on, for
// benchmarks that compare the two; other kernels only load.
void SetTableReads(TableReads reads);

// Returns the way set by SetTableReads.
TableReads CurrentTableReads();

// The outcome of timing both ways of reading the tables.
struct TableReadsChoice {
  bool measured = false;      // False where the best kernel is not AVX-512's: nothing to choose.
  bool gathers = false;       // Gathering was the faster.
  double loadsSeconds = 0.0;  // Fastest round of each way over the same pairs.
  double gathersSeconds = 0.0;
};

// Returns the best kernel's choice, measuring it now if no tick has yet.
TableReadsChoice MeasuredTableReads();

// Times `loads` and `gathers`, the non-whole law's loop reading the tables
// each way, over the same few thousand pairs of a fixed law in alternating
// rounds, and returns the faster by its fastest round. Under a millisecond.
TableReadsChoice CompareTableReads(SumTileFunction loads, SumTileFunction gathers);

// Returns every compiled kernel this CPU can run, best first.
std::vector<PairKernel> SupportedPairKernels();

// Returns the pull of particle j on particle i, given their separation
// (dx, dy) = (x_j - x_i, y_j - y_i), computed pair by pair with the power rule
// and the direction (dx, dy) / r. The vector kernels fall back to it for
// separations and laws they cannot honour exactly.
void LiteralPairPull(const PairLaw& law, double dx, double dy, double& pullX, double& pullY);

// A SumTileFunction that sums LiteralPairPull pair by pair, in order: every
// target's kernel for laws beyond the vector forms.
void SumScalarRows(const PairLaw& law, const double* xs, const double* ys, int begin, int end,
                   const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX,
                   double* sumY);

}  // namespace zintrel
