// The AVX-512 kernel's two ways of reading a non-whole law's power tables:
// loaded and gathered, they give the same bits as every other target, for
// every run length and for pairs too close for the tables; and the timing
// that chooses between them gives both the same pairs to do.

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include "tests/simulation/force_laws.h"

#include "simulation/fast/pair_kernel.h"
#include "simulation/particle_field.h"

namespace zintrel {
namespace {

constexpr int kMaxRun = 90;
constexpr int kRows = 3;

// Restores the measured choice when a test ends, however it ends.
struct ReadTablesAs {
  explicit ReadTablesAs(TableReads reads) { SetTableReads(reads); }
  ~ReadTablesAs() { SetTableReads(TableReads::kFaster); }
  ReadTablesAs(const ReadTablesAs&) = delete;
  ReadTablesAs& operator=(const ReadTablesAs&) = delete;
};

// Returns the bits of the sums of `kernel` over the run [begin, end) of xs,
// ys on the rows at rowX, rowY.
std::vector<std::uint64_t> SumBits(const PairKernel& kernel, const PairLaw& law, const std::vector<double>& xs,
                                   const std::vector<double>& ys, int begin, int end, const double* rowX,
                                   const double* rowY) {
  double sumX[kRows], sumY[kRows];
  kernel.sumTile(law, xs.data(), ys.data(), begin, end, rowX, rowY, 0, kRows, sumX, sumY);
  std::vector<std::uint64_t> bits;
  for (int i = 0; i < kRows; ++i) {
    bits.push_back(std::bit_cast<std::uint64_t>(sumX[i]));
    bits.push_back(std::bit_cast<std::uint64_t>(sumY[i]));
  }
  return bits;
}

TEST(TableReadsTest, LoadsAndGathersGiveTheScalarBitsForEveryRunLength) {
  const std::vector<PairKernel> kernels = SupportedPairKernels();
  const PairKernel* avx3 = nullptr;
  for (const PairKernel& kernel : kernels) {
    if (kernel.target == HWY_AVX3) avx3 = &kernel;
  }
  if (avx3 == nullptr) GTEST_SKIP() << "this processor has no AVX-512, whose kernel alone gathers";
  const PairKernel& scalar = kernels.back();
  ASSERT_EQ(scalar.target, HWY_SCALAR);
  // The sliders' non-whole law; particle 5 sits on particle 4 and particle 7
  // a hair from it, so some lanes take the pair-by-pair path and the zero
  // separation.
  ParticleField field = ScatteredField(kSliderLaw, kMaxRun + 8, 29);
  field.x[5] = field.x[4];
  field.y[5] = field.y[4];
  field.x[7] = field.x[4] + 1e-12;
  field.y[7] = field.y[4];
  const PairLaw law = MakePairLaw(field, field.ParticleCount);
  ASSERT_EQ(law.form, PairLaw::Form::kGeneral);
  const double rowX[kRows] = {field.x[4], field.x[kMaxRun], field.x[kMaxRun + 1]};
  const double rowY[kRows] = {field.y[4], field.y[kMaxRun], field.y[kMaxRun + 1]};
  for (int begin = 0; begin < 4; ++begin) {
    for (int end = begin; end <= kMaxRun; ++end) {
      const std::vector<double> xs = PaddedRun(field.x, end);
      const std::vector<double> ys = PaddedRun(field.y, end);
      const std::vector<std::uint64_t> expected = SumBits(scalar, law, xs, ys, begin, end, rowX, rowY);
      for (const TableReads reads : {TableReads::kLoads, TableReads::kGathers, TableReads::kFaster}) {
        const ReadTablesAs readAs(reads);
        EXPECT_EQ(SumBits(*avx3, law, xs, ys, begin, end, rowX, rowY), expected)
            << "way " << static_cast<int>(reads) << ", run [" << begin << ", " << end << ")";
      }
    }
  }
}

// What each way of reading was given, in the fake loops below.
struct Calls {
  int count = 0;
  std::vector<std::uint64_t> inputs;  // Of the first call: the law, the run and the rows, as bits.
};
Calls loadsCalls, gathersCalls;

void Record(Calls& calls, const PairLaw& law, const double* xs, const double* ys, int begin, int end,
            const double* rowX, const double* rowY, int rowBegin, int rowEnd, double* sumX, double* sumY) {
  for (int i = rowBegin; i < rowEnd; ++i) sumX[i - rowBegin] = sumY[i - rowBegin] = 0.0;
  if (calls.count++ > 0) return;
  calls.inputs = {static_cast<std::uint64_t>(law.form), law.powers != nullptr,
                  static_cast<std::uint64_t>(begin), static_cast<std::uint64_t>(end),
                  static_cast<std::uint64_t>(rowBegin), static_cast<std::uint64_t>(rowEnd)};
  for (int j = begin; j < end; ++j) {
    calls.inputs.push_back(std::bit_cast<std::uint64_t>(xs[j]));
    calls.inputs.push_back(std::bit_cast<std::uint64_t>(ys[j]));
  }
  for (int i = rowBegin; i < rowEnd; ++i) {
    calls.inputs.push_back(std::bit_cast<std::uint64_t>(rowX[i]));
    calls.inputs.push_back(std::bit_cast<std::uint64_t>(rowY[i]));
  }
}

void FakeLoads(const PairLaw& law, const double* xs, const double* ys, int begin, int end, const double* rowX,
               const double* rowY, int rowBegin, int rowEnd, double* sumX, double* sumY) {
  Record(loadsCalls, law, xs, ys, begin, end, rowX, rowY, rowBegin, rowEnd, sumX, sumY);
}

void FakeGathers(const PairLaw& law, const double* xs, const double* ys, int begin, int end, const double* rowX,
                 const double* rowY, int rowBegin, int rowEnd, double* sumX, double* sumY) {
  Record(gathersCalls, law, xs, ys, begin, end, rowX, rowY, rowBegin, rowEnd, sumX, sumY);
}

TEST(TableReadsTest, TimingGivesBothWaysTheSamePairsOfANonWholeLaw) {
  loadsCalls = gathersCalls = Calls{};
  const TableReadsChoice choice = CompareTableReads(&FakeLoads, &FakeGathers);
  EXPECT_TRUE(choice.measured);
  // Alternating rounds: as many of each, several, each on the same inputs.
  EXPECT_GE(loadsCalls.count, 5);
  EXPECT_EQ(gathersCalls.count, loadsCalls.count);
  ASSERT_GE(loadsCalls.inputs.size(), 6u);
  EXPECT_EQ(loadsCalls.inputs[0], static_cast<std::uint64_t>(PairLaw::Form::kGeneral));
  EXPECT_EQ(loadsCalls.inputs[1], 1u) << "a non-whole law has power tables";
  EXPECT_GE(loadsCalls.inputs[3] - loadsCalls.inputs[2], 1000u) << "a run of at least a thousand particles";
  EXPECT_EQ(gathersCalls.inputs, loadsCalls.inputs);
  // The stand-ins do nothing: a coarse clock (Wine's) may time them at 0.
  EXPECT_GE(choice.loadsSeconds, 0.0);
  EXPECT_GE(choice.gathersSeconds, 0.0);
  EXPECT_EQ(choice.gathers, choice.gathersSeconds < choice.loadsSeconds);
}

}  // namespace
}  // namespace zintrel
