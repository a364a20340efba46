#pragma once

namespace zintrel {

// Returns a * b + c rounded once to nearest (ties to even), for any doubles,
// by integer arithmetic: the bits a processor's fused multiply-add gives.
// The C libraries cannot all be trusted with this (the one the Windows
// program links rounds some products twice), and the SIMD targets without a
// fused multiply-add hand it the lanes their emulation cannot take.
double ExactFusedMulAdd(double a, double b, double c);

}  // namespace zintrel
