#pragma once

// The upper halves of the AVX registers and the scalar code around them.
//
// Our scalar code is built for the x86-64 baseline, so it uses legacy SSE
// encodings. When a library leaves the upper halves of the ymm registers
// non-zero (a 256-bit routine that returns without vzeroupper), some
// processors make every later SSE instruction wait on those halves, which
// slows the literal step several times over. The hot entry points clear the
// state first, whatever ran before them.

#include <cstdint>
#include <optional>

namespace zintrel {

// The bit of the in-use vector (xgetbv with ECX = 1) that says the upper
// halves of ymm0..ymm15 may be non-zero.
inline constexpr std::uint64_t kUpperVectorStateBit = std::uint64_t{1} << 2;

// Zeroes the upper halves of the vector registers (vzeroupper) when the CPU
// and the operating system support AVX; does nothing otherwise. Costs about
// as much as a function call.
void ClearUpperVectorState();

// Returns which parts of the processor's extended state are in use
// (xgetbv with ECX = 1), or nothing when the CPU cannot report it.
std::optional<std::uint64_t> VectorStateInUse();

// Leaves the upper half of ymm15 non-zero, as a careless library would, and
// returns whether it did (false without AVX). For tests and benchmarks that
// need the slow state on purpose.
bool DirtyUpperVectorState();

}  // namespace zintrel
