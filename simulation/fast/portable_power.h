#pragma once

// A power function that gives the same bits on every x86-64 processor.
//
// The C library picks different code for exp and log depending on the
// processor (with or without fused multiply-add), and their last bits may
// differ. These routines use only IEEE additions, subtractions,
// multiplications and divisions of doubles, in a fixed order, so they are
// reproducible wherever the program runs. Intermediate results are carried
// as unevaluated sums of two doubles, which keeps them accurate to a few
// units in the last place of the result.

namespace zintrel {

// A number held as hi + lo with |lo| at most half a unit in the last place of hi.
struct WideDouble {
  double hi = 0.0;
  double lo = 0.0;
};

// Returns ln x for a finite x > 0 (subnormal numbers included), to about
// 1e-19 relative.
WideDouble PortableLog(double x);

// Returns e^y, rounded to a double: within about one unit in the last place
// for normal results; overflows to infinity and underflows through the
// subnormal numbers to 0 like the C library's exp.
double PortableExp(WideDouble y);

// Returns the product of y and a double, to about 1e-32 relative.
WideDouble MultiplyWide(WideDouble y, double factor);

// Returns base^exponent for a finite base > 0 and a finite exponent, within
// about two units in the last place for normal results.
double PortablePower(double base, double exponent);

// A number too large or too small for a double, held as mantissa *
// 2^exponent; the mantissa is a double of moderate size.
struct ScaledDouble {
  double mantissa = 0.0;
  int exponent = 0;
};

// Returns base^exponent as a ScaledDouble, for a finite base > 0 (subnormal
// numbers included) and |exponent| <= 6, as the sum carried beyond the
// double range needs: results reach far past the largest and below the
// smallest double, with a mantissa between 1/64 and 64, to about two units
// in its last place. A whole exponent is squared as Power does (the same bits,
// scaled by a power of two); any other goes through the portable logarithm
// and exponential.
ScaledDouble PortableScaledPower(double base, double exponent);

}  // namespace zintrel
