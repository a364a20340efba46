#pragma once

// The exact edge arithmetic shared by the clipped and the unclipped polygon
// paths: vertices in 64-bit coordinates and a rational value stepped along
// the rows without rounding.

#include <cstdint>

#include "render/raster.h"

namespace zintrel::raster {

struct Vertex {
  std::int64_t x;
  std::int64_t y;
};

// Steps the exact rational value base + (start + k * step) / denominator for
// k = 0, 1, 2, ... as a floor and a remainder, so no row or pixel needs a
// division of its own and no value is ever rounded.
class RationalStepper {
 public:
  RationalStepper() = default;
  RationalStepper(std::int64_t base, Int128 start, std::int64_t step, std::int64_t denominator)
      : denominator_(denominator) {
    // 128-bit division is a library call; most starts fit in 64 bits.
    std::int64_t floor = 0;
    if (start >= INT64_MIN && start <= INT64_MAX) {
      floor = FloorDiv64(static_cast<std::int64_t>(start), denominator);
    } else {
      floor = static_cast<std::int64_t>(raster::FloorDiv(start, denominator));
    }
    quotient_ = base + floor;
    remainder_ = static_cast<std::int64_t>(start - static_cast<Int128>(floor) * denominator);
    stepQuotient_ = FloorDiv64(step, denominator);
    stepRemainder_ = step - stepQuotient_ * denominator;
  }

  std::int64_t Ceil() const { return quotient_ + (remainder_ > 0 ? 1 : 0); }

  void Advance() {
    quotient_ += stepQuotient_;
    remainder_ += stepRemainder_;
    if (remainder_ >= denominator_) {
      remainder_ -= denominator_;
      ++quotient_;
    }
  }

 private:
  static std::int64_t FloorDiv64(std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t quotient = numerator / denominator;
    return quotient - ((numerator % denominator != 0 && numerator < 0) ? 1 : 0);
  }

  std::int64_t denominator_ = 1;
  std::int64_t quotient_ = 0;
  std::int64_t remainder_ = 0;  // 0 <= remainder_ < denominator_
  std::int64_t stepQuotient_ = 0;
  std::int64_t stepRemainder_ = 0;
};

}  // namespace zintrel::raster
