#include "simulation/arctan.h"

#include <cmath>

namespace zintrel {
namespace {

// The classic reduction: |x| is mapped into [-7/16, 7/16] around one of the
// points 1/2, 1, 3/2 and infinity, whose arctangents are held as a sum of
// two doubles so that adding them loses nothing.
constexpr double kAtanHigh[] = {
    4.63647609000806093515e-01,  // atan(1/2)
    7.85398163397448278999e-01,  // atan(1)
    9.82793723247329054082e-01,  // atan(3/2)
    1.57079632679489655800e+00,  // atan(inf)
};
constexpr double kAtanLow[] = {
    2.26987774529616870924e-17,
    3.06161699786838301793e-17,
    1.39033110312309984516e-17,
    6.12323399573676603587e-17,
};
// atan(t) = t - t^3 (c0 + c1 t^2 + ...) on the reduced interval; the odd and
// even halves are summed separately to shorten the dependency chain.
constexpr double kCoefficients[] = {
    3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
    -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
    6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
    -3.65315727442169155270e-02, 1.62858201153657823623e-02,
};

}  // namespace

double Arctangent(double x) {
  double t = std::fabs(x);
  if (std::isnan(x)) return x;
  if (t >= 0x1p66) return x > 0.0 ? kAtanHigh[3] + kAtanLow[3] : -kAtanHigh[3] - kAtanLow[3];
  int point;
  if (t < 0.4375) {
    if (t < 0x1p-27) return x;  // atan(x) = x to within half an ulp.
    point = -1;
    t = x;
  } else if (t < 0.6875) {
    point = 0;
    t = (2.0 * t - 1.0) / (2.0 + t);
  } else if (t < 1.1875) {
    point = 1;
    t = (t - 1.0) / (t + 1.0);
  } else if (t < 2.4375) {
    point = 2;
    t = (t - 1.5) / (1.0 + 1.5 * t);
  } else {
    point = 3;
    t = -1.0 / t;
  }
  const double* c = kCoefficients;
  const double z = t * t;
  const double w = z * z;
  const double odd = z * (c[0] + w * (c[2] + w * (c[4] + w * (c[6] + w * (c[8] + w * c[10])))));
  const double even = w * (c[1] + w * (c[3] + w * (c[5] + w * (c[7] + w * c[9]))));
  if (point < 0) return t - t * (odd + even);
  const double result = kAtanHigh[point] - ((t * (odd + even) - kAtanLow[point]) - t);
  return x < 0.0 ? -result : result;
}

}  // namespace zintrel
