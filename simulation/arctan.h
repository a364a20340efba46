#pragma once

namespace zintrel {

// Returns the arctangent of x in [-pi/2, pi/2], within one unit in the last
// place, computed with additions, multiplications and divisions only. The C
// library's atan picks its code path by processor (with or without fused
// multiply-adds), so its last bit can differ between two machines; this one
// gives the same bits on every x86-64 processor and build, which a run that
// is shared between machines needs.
double Arctangent(double x);

}  // namespace zintrel
