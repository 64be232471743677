// Correctly rounded natural logarithm, in two phases.
//
// Reduction. A positive finite x is 2^e * m with m in [1, 2) (a subnormal x
// is first scaled by 2^52). The index i = round((m - 1) * 256), 0..256, picks
// a table entry with c ~ 1/m, a multiple of 2^-9 with at most 9 significant
// bits, and L = -ln c; for m > sqrt(2) (i >= 107) the entry holds
// L = -ln(2c) instead and e' = e + 1, otherwise e' = e, so that
//
//   ln x = e' ln 2 + L + ln(1 + r),   r = m c - 1,   |r| <= 0x1.7f8p-9.
//
// Near x = 1 the entries i = 0 (c = 1) and i = 256 (c = 1/2) have L = 0 and
// e' = 0: ln x is the series in r alone and every error is relative to r, so
// there is no cancellation however close x is to 1. Elsewhere |ln x| >= 2^-10
// when e' = 0, and |ln x| >= 0.34 |e'| when e' != 0.
//
// r is exact and comes in two parts, without a fused multiply-add: m_hi is m
// rounded to a multiple of 2^-25 (26 significant bits, possibly 2) and
// m_lo = m - m_hi (exact, |m_lo| <= 2^-26). m_hi c is exact (35 bits) and lies
// in [1/2, 2], so r_hi = m_hi c - 1 is exact (Sterbenz): a multiple of 2^-34
// below 2^-8, it has at most 26 significant bits and r_hi^2 is exact too.
// r_lo = m_lo c is exact (36 bits), and r = r_hi + r_lo is exact because
// m c - 1 is a multiple of 2^-61 below 2^-8 (53 bits). Near 1 (c = 1 or 1/2)
// r_hi = 0 when |r| < 2^-27, and |r_hi| <= 2 |r| otherwise.
//
// The table (natural_log_table.inc, written by tools/natural_log_table.cpp
// with MPFR) stores L as L_hi + L_lo + L_lo2 with L_hi a multiple of 2^-42,
// and ln 2 the same way.
// |e'| <= 1075 < 2^11 and |e' ln2_hi + L_hi| < 2^10, so e' ln2_hi + L_hi is
// an exact double (it is a multiple of 2^-42 below 2^52 * 2^-42).
//
// Phase 1 (double and double-double arithmetic) gives hi + lo with
// |hi + lo - ln x| <= 2^-67.1 |ln x|; if the whole interval
// hi + lo +- 2^-66 |hi| rounds to one double, that is the result. About 1 in
// 5500 random arguments is left undecided (more among arguments 1 + u with
// few significant bits in u, whose ln x = u - u^2/2 + ... often lies close
// to a midpoint). Phase 2 computes ln x in 256-bit integer fixed point with a
// relative error below 2^-136 and rounds it. ln x is never a midpoint between
// two doubles (it is transcendental for x != 1), and the published
// exhaustive searches for the hardest cases of the double logarithm (Lefevre
// and Muller) need about 2^-118 relative: phase 2 decides with a wide margin
// (it checks 2^-130, and the tests require that every argument they try is
// decided).
//
// Error bound of phase 1. With R the largest |r| of the interval of i:
//  - big = e' ln2_hi + L_hi, r, a = -r_hi^2/2, and the two Fast2Sums
//    s + e1 = big + r, hi + e2 = s + a are exact. The first needs
//    |big| >= |r| or big = 0: the table generator checks
//    |r| + r^2 <= 0.753 |L_hi| for every entry with e' = 0 and L != 0, and
//    |big| >= 0.34 when e' != 0. The second needs |s| >= |a|: near 1 s = r
//    and |a| <= 2 r^2; elsewhere |s| >= 2^-10 and |a| <= 2^-17.8.
//  - -r^2/2 = a - (r_hi r_lo + r_lo^2/2); d, the rounded bracket, is within
//    2^-52 |r_lo| (|r_hi| + |r_lo|/2) of it: 2^-86.4 at most, and 2^-76.7 |r|
//    near 1.
//  - p approximates r^3 Q(r), Q(r) = (ln(1+r) - r + r^2/2) / r^3, with a
//    degree-5 polynomial that interpolates Q at the Chebyshev nodes of
//    [-R, R] (within 2^-58.6 of Q, the coefficients after the first rounded
//    within 2^-67.2): with the rounding of the first coefficient (1/3) and
//    two more additions of 2^-55 on a value above 0.332, q is within 2^-51.8
//    of Q relatively; r^3 as r * sq adds 2^-52 and the product 2^-53, so
//    |p - r^3 Q| <= 2^-52.2 |r|^3, and adding p last to low adds 2^-53 |p|:
//    2^-51.9 |r|^3 in all.
//  - small = e' ln2_lo + L_lo misses e' ln2_lo2 + L_lo2 and two roundings:
//    below (|e'| + 1) 2^-95, and 0 when L = 0 and e' = 0.
//  - The other three additions of low round sums of e2, d, e1 and small:
//    below 2^-51.4 (2^-52 |hi| + 2^-34.4 + (|e'| + 1) 2^-43).
//  Relative to |ln x|, with the generator's figure max R^3 / min|ln x| =
//  2^-15.251 over the entries with e' = 0 and L != 0: 2^-67.19 + 2^-76.4 +
//  2^-85 + 2^-75.8 <= 2^-67.1. Near 1 (R <= 2^-9, small = e1 = 0):
//  2^-51.9 r^2 / (1 - |r|/2) + 2^-76.7 + 2^-76.7 <= 2^-69.8. With e' != 0
//  the bound is below 2^-75. In every case |lo| <= 2^-16.7 |hi|.
//
// The rounding test. err = 2^-66 |hi| (exact) exceeds the error bound,
// 2^-67.1 |ln x| <= 2^-67.1 (1 + 2^-16.6) |hi|, by more than the roundings
// of lo - err and lo + err (each below 2^-53 (|lo| + err) <= 2^-69.6 |hi|),
// so the computed lo - err is at most ln x - hi and lo + err at least
// ln x - hi. Rounding to nearest is monotonic:
// a = RN(hi + RN(lo - err)) <= RN(ln x) <= b = RN(hi + RN(lo + err)), and
// a == b decides RN(ln x).
//
// Error bound of phase 2 (fixed point, unit 2^-176). F(r) = ln(1+r)/r =
// sum (-r)^k / (k+1), k = 0..15, by Horner's rule from the top: the tail left
// out is below |r|^16 / 17 / (1 - |r|) <= 2^-138.7, and each of the 16 steps
// truncates the constant 1/(k+1) and the product by r by less than 2^-176
// each (2^-174.9 in all, the earlier errors shrinking by |r|). Near 1
// (L = 0, e' = 0) ln x = r F is formed exactly from F: relative error below
// 2^-148. Elsewhere r F is truncated to the unit (2^-176) and added to e' ln 2
// and L, whose three-double forms are exact in the fixed point and within
// 2^-156 (ln 2) and 2^-151 (L) of the true values: below
// |r| 2^-138.7 + 2^-151 + |e'| 2^-156 + 2^-175 in all, at most 2^-137
// relative to |ln x| >= 2^-10 when e' = 0 and 2^-145 when e' != 0.
#include "analysis/natural_log.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

// The exact sums and products below need each operation rounded once, to double.
static_assert(FLT_EVAL_METHOD == 0, "double expressions must be evaluated in double");

namespace locprox {
namespace {

struct Entry {
  double c;   // ~1/m, a multiple of 2^-9 (1 for i = 0, 1/2 for i = 256)
  double hi;  // L = hi + lo + lo2, hi a multiple of 2^-42
  double lo;
  double lo2;
};

// First index whose entry holds -ln(2c) (m above sqrt(2)).
constexpr unsigned kUpper = 107;

// {c, L_hi, L_lo, L_lo2}, i = 0..256, generated by tools/natural_log_table.cpp.
alignas(64) constexpr Entry kTable[257] = {
#include "analysis/natural_log_table.inc"
};

// ln 2 = kLn2Hi + kLn2Lo + kLn2Lo2 (+ less than 2^-156), kLn2Hi a multiple of 2^-42.
constexpr double kLn2Hi = 0x1.62e42fefa38p-1;
constexpr double kLn2Lo = 0x1.ef35793c7673p-45;
constexpr double kLn2Lo2 = 0x1.f97b57a079a19p-103;

// x = 2^e * m reduced to ln x = e' ln 2 + L(i) + ln(1 + r), r = r_hi + r_lo.
struct Reduced {
  int e;        // e'
  unsigned i;   // table index
  double r;     // exact
  double r_hi;  // m_hi c - 1: at most 26 significant bits
  double r_lo;  // m_lo c, |r_lo| <= 2^-26
};

// x positive and finite.
Reduced reduce(double x) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  int e = -1023;
  if (bits < 0x0010000000000000u) {  // subnormal: 2^52 x is normal and exact
    bits = std::bit_cast<std::uint64_t>(x * 0x1p52);
    e -= 52;
  }
  e += static_cast<int>(bits >> 52);
  const std::uint64_t fraction = bits & 0x000fffffffffffffu;
  const unsigned i = static_cast<unsigned>((fraction + (std::uint64_t{1} << 43)) >> 44);
  const std::uint64_t m_bits = fraction | 0x3ff0000000000000u;
  // m_hi: m rounded to a multiple of 2^-25 (possibly 2), so |m_lo| <= 2^-26.
  const std::uint64_t m_hi_bits =
      (m_bits + (std::uint64_t{1} << 26)) & ~((std::uint64_t{1} << 27) - 1);
  const double m = std::bit_cast<double>(m_bits);
  const double m_hi = std::bit_cast<double>(m_hi_bits);
  const double m_lo = m - m_hi;
  const double c = kTable[i].c;
  const double r_hi = m_hi * c - 1.0;
  const double r_lo = m_lo * c;
  return {e + (i >= kUpper ? 1 : 0), i, r_hi + r_lo, r_hi, r_lo};
}

// Phase 1: hi + lo within 2^-67.1 |ln x|, |lo| <= 2^-16.7 |hi| (see the top
// of the file).
natural_log_phases::DoubleDouble fast_estimate(const Reduced& red) {
  const Entry& entry = kTable[red.i];
  const double r = red.r;
  const double k = static_cast<double>(red.e);
  const double big = k * kLn2Hi + entry.hi;  // exact
  const double small = k * kLn2Lo + entry.lo;

  // -r^2/2 = a - d: a exact, d = r_hi r_lo + r_lo^2/2 rounded (it is small).
  const double a = red.r_hi * (-0.5 * red.r_hi);
  const double d = red.r_lo * (red.r_hi + 0.5 * red.r_lo);

  // p ~ r^3 Q(r), Q(r) = (ln(1+r) - r + r^2/2) / r^3 = 1/3 - r/4 + r^2/5 - ...
  // approximated on |r| <= 0x1.7f8p-9 by the degree-5 polynomial that
  // interpolates it at the Chebyshev nodes (printed by the table generator).
  constexpr double kQ0 = 0x1.5555555555555p-2, kQ1 = -0x1p-2, kQ2 = 0x1.99999999714f6p-3,
                   kQ3 = -0x1.5555555531129p-3, kQ4 = 0x1.249308a50a832p-3,
                   kQ5 = -0x1.0000ac5a0773bp-3;
  const double sq = r * r;
  const double q0 = kQ0 + kQ1 * r;
  const double q1 = kQ2 + kQ3 * r;
  const double q2 = kQ4 + kQ5 * r;
  const double q = q0 + sq * (q1 + sq * q2);
  const double p = (r * sq) * q;

  // s + e1 = big + r and hi + e2 = s + a, exactly (Fast2Sum twice).
  const double s = big + r;
  const double e1 = r - (s - big);
  const double hi = s + a;
  const double e2 = a - (hi - s);
  return {hi, p + (small + (e1 + (e2 - d)))};
}

// ---- Phase 2: fixed point with unit 2^-176 in 256-bit two's complement. ----

__extension__ typedef unsigned __int128 u128;  // GCC and Clang

struct Wide {
  std::uint64_t w[4];  // w[0] least significant
};

constexpr int kFraction = 176;

constexpr Wide add(const Wide& a, const Wide& b) {
  Wide s{};
  std::uint64_t carry = 0;
  for (int n = 0; n < 4; ++n) {
    const u128 t = static_cast<u128>(a.w[n]) + b.w[n] + carry;
    s.w[n] = static_cast<std::uint64_t>(t);
    carry = static_cast<std::uint64_t>(t >> 64);
  }
  return s;
}

constexpr Wide negate(const Wide& a) {
  Wide n{};
  for (int k = 0; k < 4; ++k) n.w[k] = ~a.w[k];
  return add(n, Wide{{1, 0, 0, 0}});
}

constexpr bool is_negative(const Wide& a) {
  return (a.w[3] >> 63) != 0;
}

// a * b for a >= 0; the product must stay below 2^255.
constexpr Wide multiply(const Wide& a, std::uint64_t b) {
  Wide p{};
  std::uint64_t carry = 0;
  for (int n = 0; n < 4; ++n) {
    const u128 t = static_cast<u128>(a.w[n]) * b + carry;
    p.w[n] = static_cast<std::uint64_t>(t);
    carry = static_cast<std::uint64_t>(t >> 64);
  }
  return p;
}

// floor(a / 2^s) for a >= 0, 0 <= s < 256.
constexpr Wide shift_right(const Wide& a, unsigned s) {
  Wide out{};
  const unsigned words = s / 64, bits = s % 64;
  for (unsigned n = 0; n + words < 4; ++n) {
    out.w[n] = a.w[n + words] >> bits;
    if (bits != 0 && n + words + 1 < 4) out.w[n] |= a.w[n + words + 1] << (64 - bits);
  }
  return out;
}

// a * 2^s for 0 <= s < 256 (bits above 2^255 are lost).
constexpr Wide shift_left(const Wide& a, unsigned s) {
  Wide out{};
  const unsigned words = s / 64, bits = s % 64;
  for (unsigned n = words; n < 4; ++n) {
    out.w[n] = a.w[n - words] << bits;
    if (bits != 0 && n > words) out.w[n] |= a.w[n - words - 1] >> (64 - bits);
  }
  return out;
}

// Position of the highest set bit of a > 0.
constexpr int top_bit(const Wide& a) {
  for (int n = 3; n >= 0; --n) {
    if (a.w[n] != 0) return n * 64 + 63 - std::countl_zero(a.w[n]);
  }
  return -1;
}

// d in fixed point; exact when d is a multiple of 2^-176 (every constant
// used here is: the smallest table part is above 2^-123).
Wide to_fixed(double d) {
  if (d == 0.0) return Wide{};
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(d);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  const std::uint64_t significand = (bits & 0x000fffffffffffffu) | 0x0010000000000000u;
  // |d| = significand * 2^(biased - 1075); the constants are all normal.
  const int shift = biased - 1075 + kFraction;
  const Wide s{{significand, 0, 0, 0}};
  const Wide v = shift >= 0 ? shift_left(s, static_cast<unsigned>(shift))
                            : shift_right(s, static_cast<unsigned>(-shift));
  return (bits >> 63) != 0 ? negate(v) : v;
}

// floor(2^176 / d): the coefficients 1/d of the series.
constexpr Wide reciprocal(std::uint64_t d) {
  Wide q{};
  const Wide n{{0, 0, std::uint64_t{1} << (kFraction - 128), 0}};
  std::uint64_t rest = 0;
  for (int k = 3; k >= 0; --k) {
    const u128 cur = (static_cast<u128>(rest) << 64) | n.w[k];
    q.w[k] = static_cast<std::uint64_t>(cur / d);
    rest = static_cast<std::uint64_t>(cur % d);
  }
  return q;
}

constexpr int kTerms = 16;  // F(r) = sum (-r)^k / (k+1), k = 0..15

struct Reciprocals {
  Wide of[kTerms];
};
constexpr Reciprocals make_reciprocals() {
  Reciprocals c{};
  for (int k = 0; k < kTerms; ++k) c.of[k] = reciprocal(static_cast<std::uint64_t>(k + 1));
  return c;
}
constexpr Reciprocals kReciprocals = make_reciprocals();

// Rounds magnitude * 2^exponent (magnitude > 0) to the nearest double, with
// the sign given, and tells whether every value within 2^-130 of it rounds the
// same way. If not, the nearest double to the computed value is returned all
// the same; for ln x that does not happen (see the top of the file).
natural_log_phases::Rounded round_to_double(const Wide& magnitude, int exponent, bool negative) {
  const int top = top_bit(magnitude);
  // Leading bit moved to bit 255: the double's 53 bits are bits 255..203.
  const Wide n = shift_left(magnitude, static_cast<unsigned>(255 - top));
  std::uint64_t significand = n.w[3] >> 11;
  // Bits 202..0: compared with the midpoint 2^202, at distance above 2^126
  // (2^-130 of n, which is below 2^256).
  const Wide rest{{n.w[0], n.w[1], n.w[2], n.w[3] & 0x7ff}};
  const Wide midpoint{{0, 0, 0, std::uint64_t{1} << 10}};
  const Wide above = add(rest, negate(midpoint));  // rest - midpoint
  const Wide distance = is_negative(above) ? negate(above) : above;
  const bool decided = top_bit(distance) > 126;
  if (!is_negative(above)) {
    const bool exactly_midpoint = (above.w[0] | above.w[1] | above.w[2] | above.w[3]) == 0;
    if (!exactly_midpoint || (significand & 1) != 0) ++significand;
  }
  int scale = exponent + top - 52;  // value = significand * 2^scale
  if (significand == (std::uint64_t{1} << 53)) {
    significand >>= 1;
    ++scale;
  }
  // ln x lies within [2^-54, 745]: always a normal double.
  const std::uint64_t biased = static_cast<std::uint64_t>(scale + 52 + 1023);
  const std::uint64_t bits = (static_cast<std::uint64_t>(negative) << 63) | (biased << 52) |
                             (significand & 0x000fffffffffffffu);
  return {std::bit_cast<double>(bits), decided};
}

natural_log_phases::Rounded accurate(const Reduced& red) {
  const Entry& entry = kTable[red.i];
  const double r = red.r;
  const bool near_one = red.e == 0 && entry.hi == 0.0;  // L = 0, e' = 0
  if (near_one && r == 0.0) return {0.0, true};         // x = 1
  // |r| = r_int * 2^-r_shift, r_int of 53 bits (r is 0 or at least 2^-53).
  std::uint64_t r_int = 0;
  unsigned r_shift = 0;
  if (r != 0.0) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(r);
    r_int = (bits & 0x000fffffffffffffu) | 0x0010000000000000u;
    r_shift = static_cast<unsigned>(1075 - static_cast<int>((bits >> 52) & 0x7ff));
  }
  // F = ln(1+r)/r by Horner's rule: every partial sum lies in (0, 2).
  Wide f = kReciprocals.of[kTerms - 1];
  for (int k = kTerms - 2; k >= 0; --k) {
    const Wide rf = shift_right(multiply(f, r_int), r_shift);
    f = add(kReciprocals.of[k], r > 0.0 ? negate(rf) : rf);
  }
  if (near_one) {
    // ln x = r F, exactly r_int * F * 2^-(176 + r_shift).
    return round_to_double(multiply(f, r_int), -kFraction - static_cast<int>(r_shift), r < 0.0);
  }
  Wide sum = shift_right(multiply(f, r_int), r_shift);
  if (r < 0.0) sum = negate(sum);
  sum = add(sum, add(to_fixed(entry.hi), add(to_fixed(entry.lo), to_fixed(entry.lo2))));
  const Wide ln2 = add(to_fixed(kLn2Hi), add(to_fixed(kLn2Lo), to_fixed(kLn2Lo2)));
  const Wide e_ln2 = multiply(ln2, static_cast<std::uint64_t>(red.e < 0 ? -red.e : red.e));
  sum = add(sum, red.e < 0 ? negate(e_ln2) : e_ln2);
  const bool negative = is_negative(sum);
  return round_to_double(negative ? negate(sum) : sum, -kFraction, negative);
}

}  // namespace

double natural_log(double x) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  // One unsigned comparison keeps out 0, subnormals, negatives, inf and NaN.
  if (bits - 0x0010000000000000u >= 0x7fe0000000000000u) [[unlikely]] {
    if (x != x) return x + x;  // NaN, made quiet
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (x == std::numeric_limits<double>::infinity()) return x;
    // Subnormal: reduce() scales it.
  }
  const Reduced red = reduce(x);
  const natural_log_phases::DoubleDouble estimate = fast_estimate(red);
  const double err = 0x1p-66 * std::fabs(estimate.hi);
  const double below = estimate.hi + (estimate.lo - err);
  const double above = estimate.hi + (estimate.lo + err);
  if (below == above) return below;
  return accurate(red).value;
}

namespace natural_log_phases {

DoubleDouble fast_estimate(double x) {
  return locprox::fast_estimate(reduce(x));
}

Rounded accurate(double x) {
  return locprox::accurate(reduce(x));
}

}  // namespace natural_log_phases

}  // namespace locprox
