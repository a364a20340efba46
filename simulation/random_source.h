#pragma once

#include <cstdint>

namespace zintrel {

// The program's own uniform generator, a 32-bit linear congruential one, so
// that a seed gives the same scatter on every platform and standard library.
class RandomSource {
 public:
  explicit RandomSource(std::uint32_t seed = 0) : state_(seed) {}

  void Seed(std::uint32_t seed) { state_ = seed; }
  std::uint32_t State() const { return state_; }

  // Advances the state, then returns it as a double in [0, 1).
  double Next() {
    state_ = state_ * 134775813u + 1u;  // Unsigned arithmetic wraps modulo 2^32.
    return static_cast<double>(state_) / 4294967296.0;
  }

 private:
  std::uint32_t state_;
};

// Returns the milliseconds since midnight UTC, the seed used at start-up.
std::uint32_t MillisecondsSinceMidnightUtc();

}  // namespace zintrel
