// The algorithm and constants are those of the freely distributable math
// library whose notice follows.
//
// ====================================================
// Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
// Developed at SunSoft, a Sun Microsystems, Inc. business.
// Permission to use, copy, modify, and distribute this
// software is freely granted, provided that this notice
// is preserved.
// ====================================================
//
// log(x) = k*ln2 + log(1+f), with x = 2^k * (1+f) and sqrt(2)/2 < 1+f < sqrt(2);
// log(1+f) = f - s*(f - R) with s = f/(2+f) and R a minimax polynomial in s*s,
// ln2 split in two parts so that k*ln2_hi is exact.
#include "analysis/natural_log.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace locprox {
namespace {

constexpr double kLn2High = 6.93147180369123816490e-01;  // 3fe62e42 fee00000
constexpr double kLn2Low = 1.90821492927058770002e-10;   // 3dea39ef 35793c76
constexpr double kTwo54 = 1.80143985094819840000e+16;    // 43500000 00000000
constexpr double kLg1 = 6.666666666666735130e-01;        // 3FE55555 55555593
constexpr double kLg2 = 3.999999999940941908e-01;        // 3FD99999 9997FA04
constexpr double kLg3 = 2.857142874366239149e-01;        // 3FD24924 94229359
constexpr double kLg4 = 2.222219843214978396e-01;        // 3FCC71C5 1D8E78AF
constexpr double kLg5 = 1.818357216161805012e-01;        // 3FC74664 96CB03DE
constexpr double kLg6 = 1.531383769920937332e-01;        // 3FC39A09 D078C69F
constexpr double kLg7 = 1.479819860511658591e-01;        // 3FC2F112 DF3E5244

std::uint64_t bits_of(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

std::int32_t high_word(double x) {
  return static_cast<std::int32_t>(bits_of(x) >> 32);
}

double with_high_word(double x, std::int32_t high) {
  std::uint64_t bits = (bits_of(x) & 0xffffffffULL) |
                       (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32);
  std::memcpy(&x, &bits, sizeof bits);
  return x;
}

}  // namespace

double natural_log(double x) {
  std::int32_t hx = high_word(x);
  const std::uint32_t lx = static_cast<std::uint32_t>(bits_of(x));
  int k = 0;
  if (hx < 0x00100000) {  // x below 2^-1022, zero or negative
    if ((static_cast<std::uint32_t>(hx & 0x7fffffff) | lx) == 0) {
      return -std::numeric_limits<double>::infinity();
    }
    if (hx < 0) return std::numeric_limits<double>::quiet_NaN();
    k -= 54;  // a subnormal: scale it up
    x *= kTwo54;
    hx = high_word(x);
  }
  if (hx >= 0x7ff00000) return x + x;  // infinity or NaN
  k += (hx >> 20) - 1023;
  hx &= 0x000fffff;
  std::int32_t i = (hx + 0x95f64) & 0x100000;
  x = with_high_word(x, hx | (i ^ 0x3ff00000));  // normalise x or x/2
  k += i >> 20;
  const double f = x - 1.0;
  const double dk = k;
  if ((0x000fffff & (2 + hx)) < 3) {  // |f| < 2^-20
    if (f == 0.0) return k == 0 ? 0.0 : dk * kLn2High + dk * kLn2Low;
    const double R = f * f * (0.5 - 0.33333333333333333 * f);
    if (k == 0) return f - R;
    return dk * kLn2High - ((R - dk * kLn2Low) - f);
  }
  const double s = f / (2.0 + f);
  const double z = s * s;
  i = hx - 0x6147a;
  const double w = z * z;
  const std::int32_t j = 0x6b851 - hx;
  const double t1 = w * (kLg2 + w * (kLg4 + w * kLg6));
  const double t2 = z * (kLg1 + w * (kLg3 + w * (kLg5 + w * kLg7)));
  i |= j;
  const double R = t2 + t1;
  if (i > 0) {
    const double hfsq = 0.5 * f * f;
    if (k == 0) return f - (hfsq - s * (hfsq + R));
    return dk * kLn2High - ((hfsq - (s * (hfsq + R) + dk * kLn2Low)) - f);
  }
  if (k == 0) return f - s * (f - R);
  return dk * kLn2High - ((s * (f - R) - dk * kLn2Low) - f);
}

}  // namespace locprox
