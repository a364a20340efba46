// The pair kernels on every SIMD target this CPU runs, called directly: every
// run length, from empty to several vectors past the look-ahead, gives the
// same bits on every target, reads nothing past its run that could reach the
// sums, and stays close to the pair-by-pair pull.

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/simulation/force_laws.h"

#include "simulation/fast/pair_kernel.h"
#include "simulation/particle_field.h"

namespace zintrel {
namespace {

constexpr int kMaxRun = 90;
constexpr int kRows = 3;

TEST(PairKernelTest, EveryRunLengthGivesTheSameBitsOnEveryTarget) {
  const std::vector<PairKernel> kernels = SupportedPairKernels();
  ASSERT_FALSE(kernels.empty());
  for (const ForceLaw& law : {kStartLaw, kType2Law, kSliderLaw}) {
    const ParticleField field = ScatteredField(law, kMaxRun + 8, 17);
    const PairLaw pairLaw = MakePairLaw(field, field.ParticleCount);
    ASSERT_NE(pairLaw.form, PairLaw::Form::kScalar) << law.name;
    for (int begin = 0; begin < 4; ++begin) {
      for (int end = begin; end <= kMaxRun; ++end) {
        const std::vector<double> xs = PaddedRun(field.x, end);
        const std::vector<double> ys = PaddedRun(field.y, end);
        const double* rowX = &field.x[kMaxRun];
        const double* rowY = &field.y[kMaxRun];
        std::vector<std::uint64_t> first;
        for (const PairKernel& kernel : kernels) {
          double sumX[kRows], sumY[kRows];
          kernel.sumTile(pairLaw, xs.data(), ys.data(), begin, end, rowX, rowY, 0, kRows, sumX, sumY);
          std::vector<std::uint64_t> bits;
          for (int i = 0; i < kRows; ++i) {
            bits.push_back(std::bit_cast<std::uint64_t>(sumX[i]));
            bits.push_back(std::bit_cast<std::uint64_t>(sumY[i]));
            // Close to the sum of the pair-by-pair pulls.
            long double expectX = 0.0L, expectY = 0.0L, scale = 0.0L;
            for (int j = begin; j < end; ++j) {
              double pullX, pullY;
              LiteralPairPull(pairLaw, xs[j] - rowX[i], ys[j] - rowY[i], pullX, pullY);
              expectX += pullX, expectY += pullY;
              scale += std::fabs(pullX) + std::fabs(pullY);
            }
            EXPECT_LE(std::fabs(sumX[i] - expectX), 1e-12L * scale) << law.name << " " << kernel.name;
            EXPECT_LE(std::fabs(sumY[i] - expectY), 1e-12L * scale) << law.name << " " << kernel.name;
          }
          if (first.empty()) first = bits;
          EXPECT_EQ(bits, first) << law.name << " " << kernel.name << ", run [" << begin << ", " << end << ")";
        }
      }
    }
  }
}

}  // namespace
}  // namespace zintrel
