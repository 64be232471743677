// Prints the tables of src/analysis/natural_log.cpp, computed with MPFR, and
// checks the properties of the table that the logarithm's error analysis
// relies on (the figures it prints are quoted in that file's comments).
//
//   g++ -std=c++20 -O2 -o natural_log_table tools/natural_log_table.cpp -lmpfr -lgmp
//   ./natural_log_table src/analysis/natural_log_table.inc > figures.txt
//
// With a file name it writes the table itself to that file, which
// natural_log.cpp includes; the figures, ln 2 and the polynomial go to
// standard output either way.
//
// The logarithm writes x = 2^e * m with m in [1, 2) and takes the index
// i = round((m - 1) * 256), 0 <= i <= 256, so that entry i covers
// m in [1 + (i - 1/2)/256, 1 + (i + 1/2)/256) (clipped to [1, 2)). Entry i
// holds c = C/512, C an integer of at most 9 bits (or 512), chosen so that
// r = m*c - 1 is as small as possible over the whole interval, and
// L = -ln(c) (for i < kUpper) or -ln(2c) (for i >= kUpper, where the caller
// adds 1 to e) as three doubles: L_hi, a multiple of 2^-42, then L_lo and
// L_lo2, each the nearest double to what is left. The same split of ln 2
// is printed first.
#include <mpfr.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kEntries = 257;
constexpr int kUpper = 107;  // first index with m > sqrt(2)
constexpr mpfr_prec_t kPrecision = 400;

struct Split {
  double hi, lo, lo2;
};

// value = hi + lo + lo2 + (rest below ulp(lo2) / 2), hi on the 2^-42 grid.
Split split(const mpfr_t value) {
  mpfr_t scaled, rest;
  mpfr_inits2(kPrecision, scaled, rest, static_cast<mpfr_ptr>(nullptr));
  mpfr_mul_2si(scaled, value, 42, MPFR_RNDN);
  mpfr_rint(scaled, scaled, MPFR_RNDN);
  mpfr_div_2si(scaled, scaled, 42, MPFR_RNDN);
  Split s;
  s.hi = mpfr_get_d(scaled, MPFR_RNDN) + 0.0;  // -0 (ln 1) printed as 0
  mpfr_sub_d(rest, value, s.hi, MPFR_RNDN);
  s.lo = mpfr_get_d(rest, MPFR_RNDN) + 0.0;
  mpfr_sub_d(rest, rest, s.lo, MPFR_RNDN);
  s.lo2 = mpfr_get_d(rest, MPFR_RNDN) + 0.0;
  // hi must be exact (it has at most 42 fraction bits and is below 1024).
  mpfr_sub_d(rest, scaled, s.hi, MPFR_RNDN);
  if (!mpfr_zero_p(rest)) {
    std::fprintf(stderr, "hi part not exact\n");
    std::exit(1);
  }
  // lo2 must be exact in the accurate phase's fixed point (unit 2^-176).
  if (s.lo2 != 0.0 && std::fabs(s.lo2) < 0x1p-123) {
    std::fprintf(stderr, "lo2 part too small\n");
    std::exit(1);
  }
  mpfr_clears(scaled, rest, static_cast<mpfr_ptr>(nullptr));
  return s;
}

// The largest |m*c - 1| over [a, b] (it is linear in m: the ends decide).
double max_r(double a, double b, double c) {
  // a*c and b*c are exact: a and b have at most 10 significant bits, c 9.
  return std::fmax(std::fabs(a * c - 1.0), std::fabs(b * c - 1.0));
}

// Q(x) = (ln(1 + x) - x + x^2/2) / x^3 = 1/3 - x/4 + x^2/5 - ..., x != 0.
void series_quotient(mpfr_t q, const mpfr_t x) {
  mpfr_t t;
  mpfr_init2(t, kPrecision);
  mpfr_log1p(q, x, MPFR_RNDN);
  mpfr_sub(q, q, x, MPFR_RNDN);
  mpfr_sqr(t, x, MPFR_RNDN);
  mpfr_div_2ui(t, t, 1, MPFR_RNDN);
  mpfr_add(q, q, t, MPFR_RNDN);
  mpfr_pow_ui(t, x, 3, MPFR_RNDN);
  mpfr_div(q, q, t, MPFR_RNDN);
  mpfr_clear(t);
}

// The polynomial of degree 5 that interpolates Q at the six Chebyshev nodes
// of [-R, R], its coefficients rounded to double. Its error is at most
// 2 (R/2)^6 max|Q^(6)| / 6! with max|Q^(6)| / 6! <= (1/9) / (1 - R)^7 (the
// series of Q^(6) / 6! has coefficients C(j, 6) / (j + 3) <= C(j, 6) / 9),
// before the coefficients are rounded.
void print_polynomial(double R) {
  constexpr int kDegree = 5, kNodes = kDegree + 1;
  mpfr_t a[kNodes][kNodes + 1], x, t, pi;
  for (auto& row : a)
    for (auto& v : row) mpfr_init2(v, kPrecision);
  mpfr_inits2(kPrecision, x, t, pi, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_pi(pi, MPFR_RNDN);
  // Vandermonde system: sum_k c_k x_j^k = Q(x_j).
  for (int j = 0; j < kNodes; ++j) {
    mpfr_mul_ui(x, pi, 2 * j + 1, MPFR_RNDN);
    mpfr_div_ui(x, x, 2 * kNodes, MPFR_RNDN);
    mpfr_cos(x, x, MPFR_RNDN);
    mpfr_mul_d(x, x, R, MPFR_RNDN);
    mpfr_set_ui(t, 1, MPFR_RNDN);
    for (int k = 0; k < kNodes; ++k) {
      mpfr_set(a[j][k], t, MPFR_RNDN);
      mpfr_mul(t, t, x, MPFR_RNDN);
    }
    series_quotient(a[j][kNodes], x);
  }
  // Gaussian elimination (the nodes are distinct; no pivoting needed at 400 bits).
  for (int k = 0; k < kNodes; ++k) {
    for (int j = 0; j < kNodes; ++j) {
      if (j == k) continue;
      mpfr_div(t, a[j][k], a[k][k], MPFR_RNDN);
      for (int n = k; n <= kNodes; ++n) {
        mpfr_mul(x, t, a[k][n], MPFR_RNDN);
        mpfr_sub(a[j][n], a[j][n], x, MPFR_RNDN);
      }
    }
  }
  double c[kNodes];
  std::printf("\n// Q(r) ~ c0 + c1 r + ... + c5 r^5 on [-R, R], R = %a\n", R);
  for (int k = 0; k < kNodes; ++k) {
    mpfr_div(t, a[k][kNodes], a[k][k], MPFR_RNDN);
    c[k] = mpfr_get_d(t, MPFR_RNDN);
    std::printf("%a%s", c[k], k + 1 < kNodes ? ", " : "\n");
  }
  const double bound = 2.0 * std::pow(R / 2.0, 6) * (1.0 / 9.0) / std::pow(1.0 - R, 7);
  // The coefficients' rounding, beyond that of c0 (which the error analysis
  // counts as an evaluation error): sum over k >= 1 of |c_k - exact| R^k.
  double rounding = 0.0;
  for (int k = 1; k < kNodes; ++k) {
    mpfr_div(t, a[k][kNodes], a[k][k], MPFR_RNDN);
    mpfr_sub_d(t, t, c[k], MPFR_RNDN);
    rounding += std::fabs(mpfr_get_d(t, MPFR_RNDN)) * std::pow(R, k);
  }
  // A check of the bound on 20001 points of [-R, R] (with the rounded coefficients).
  double sampled = 0.0;
  for (int j = -10000; j <= 10000; ++j) {
    if (j == 0) continue;
    const double xd = R * j / 10000.0;
    mpfr_set_d(x, xd, MPFR_RNDN);
    series_quotient(t, x);
    mpfr_set_d(pi, c[kDegree], MPFR_RNDN);
    for (int k = kDegree - 1; k >= 0; --k) {
      mpfr_mul(pi, pi, x, MPFR_RNDN);
      mpfr_add_d(pi, pi, c[k], MPFR_RNDN);
    }
    mpfr_sub(t, t, pi, MPFR_RNDN);
    sampled = std::fmax(sampled, std::fabs(mpfr_get_d(t, MPFR_RNDN)));
  }
  std::printf(
      "// interpolation error <= 2^%.2f, rounding of c1..c5 <= 2^%.2f, sampled "
      "(with c0 rounded) 2^%.2f\n",
      std::log2(bound), std::log2(rounding), std::log2(sampled));
  for (auto& row : a)
    for (auto& v : row) mpfr_clear(v);
  mpfr_clears(x, t, pi, static_cast<mpfr_ptr>(nullptr));
}

}  // namespace

// The generated file's first lines: what it is and how it was made.
constexpr const char* kTableHeader =
    "// Generated by tools/natural_log_table.cpp (MPFR, 400 bits); do not edit.\n"
    "//   g++ -std=c++20 -O2 -o natural_log_table tools/natural_log_table.cpp -lmpfr -lgmp\n"
    "//   ./natural_log_table src/analysis/natural_log_table.inc\n"
    "// The entries {c, L_hi, L_lo, L_lo2}, i = 0..256, of the logarithm's table\n"
    "// (src/analysis/natural_log.cpp describes the method), one per line.\n"
    "// clang-format off\n";

int main(int argc, char** argv) {
  std::FILE* table = nullptr;
  if (argc == 2) {
    table = std::fopen(argv[1], "w");
    if (table == nullptr) {
      std::perror(argv[1]);
      return 1;
    }
    std::fputs(kTableHeader, table);
  } else if (argc > 2) {
    std::fprintf(stderr, "usage: %s [TABLE_FILE]\n", argv[0]);
    return 2;
  }
  mpfr_t value, ln2;
  mpfr_inits2(kPrecision, value, ln2, static_cast<mpfr_ptr>(nullptr));
  mpfr_const_log2(ln2, MPFR_RNDN);
  const Split l2 = split(ln2);
  std::printf("// ln 2 = hi + lo + lo2\n%a, %a, %a\n\n", l2.hi, l2.lo, l2.lo2);

  double r_max = 0.0, r_near_one = 0.0;
  double worst_cube = 0.0, worst_tenth = 0.0, worst_fast_two_sum = 0.0;
  double l_max = 0.0, lo2_max = 0.0, y_min_all = 1.0;
  std::printf("// {c, L_hi, L_lo, L_lo2}\n");
  for (int i = 0; i < kEntries; ++i) {
    const double a = i == 0 ? 1.0 : 1.0 + (2.0 * i - 1.0) / 512.0;
    const double b = i == kEntries - 1 ? 2.0 : 1.0 + (2.0 * i + 1.0) / 512.0;
    const double mid = 1.0 + i / 256.0;
    int best = 0;
    double best_r = 1.0;
    for (int C = static_cast<int>(512.0 / mid) - 2; C <= static_cast<int>(512.0 / mid) + 2; ++C) {
      if (C > 511) continue;
      const double r = max_r(a, b, C / 512.0);
      if (r < best_r) {
        best_r = r;
        best = C;
      }
    }
    // m = 1 and m -> 2 (x near 1) take c = 1 and c = 1/2 exactly, so that
    // L = 0 and the result is the series alone: no cancellation near 1.
    if (i == 0) best = 512;
    if (i == kEntries - 1) best = 256;
    const double c = best / 512.0;
    const double r = max_r(a, b, c);
    // r = m*c - 1 is a multiple of 2^-61: exact in a double while |r| <= 2^-8.
    if (r > 0x1p-8) {
      std::fprintf(stderr, "entry %d: |r| up to %a\n", i, r);
      return 1;
    }
    mpfr_set_d(value, i < kUpper ? c : 2.0 * c, MPFR_RNDN);
    mpfr_log(value, value, MPFR_RNDN);
    mpfr_neg(value, value, MPFR_RNDN);
    const Split l = split(value);
    std::printf("{%a, %a, %a, %a},  // %d\n", c, l.hi, l.lo, l.lo2, i);
    if (table != nullptr) {
      char line[160];
      std::snprintf(line, sizeof line, "{%a, %a, %a, %a},", c, l.hi, l.lo, l.lo2);
      std::fprintf(table, "%-84s// %d\n", line, i);
    }

    r_max = std::fmax(r_max, r);
    l_max = std::fmax(l_max, std::fabs(l.hi));
    lo2_max = std::fmax(lo2_max, std::fabs(l.lo2));
    if (l.hi == 0.0) {
      r_near_one = std::fmax(r_near_one, r);
      continue;
    }
    // Smallest |ln x| over the interval when e' = 0 (x = m for i < kUpper,
    // x = m/2 above): ln a, or -ln(b/2).
    mpfr_set_d(value, i < kUpper ? a : b / 2.0, MPFR_RNDN);
    mpfr_log(value, value, MPFR_RNDN);
    const double y_min = std::fabs(mpfr_get_d(value, MPFR_RNDZ));
    y_min_all = std::fmin(y_min_all, y_min);
    worst_cube = std::fmax(worst_cube, r * r * r / y_min);
    worst_tenth = std::fmax(worst_tenth, std::pow(r, 10) / y_min);
    // Fast2Sum(L_hi, t) with |t| <= |r| + r^2 needs |L_hi| >= |t|.
    worst_fast_two_sum = std::fmax(worst_fast_two_sum, (r + r * r) / std::fabs(l.hi));
  }
  std::printf("\n// max |r| = %a (2^%.3f); entries with L = 0: max |r| = %a (2^%.3f)\n", r_max,
              std::log2(r_max), r_near_one, std::log2(r_near_one));
  std::printf("// max |L_hi| = %a, max |L_lo2| = %a\n", l_max, lo2_max);
  std::printf("// e' = 0, L != 0: min |ln x| = %a (2^%.3f)\n", y_min_all, std::log2(y_min_all));
  std::printf("// e' = 0, L != 0: max r^3 / min|ln x| = 2^%.3f, max r^10 / min|ln x| = 2^%.3f\n",
              std::log2(worst_cube), std::log2(worst_tenth));
  std::printf("// max (|r| + r^2) / |L_hi| = %.4f (Fast2Sum needs <= 1)\n", worst_fast_two_sum);
  print_polynomial(r_max);
  if (table != nullptr && (std::fputs("// clang-format on\n", table) < 0 || std::fclose(table) != 0)) {
    std::perror(argv[1]);
    return 1;
  }
  mpfr_clears(value, ln2, static_cast<mpfr_ptr>(nullptr));
  mpfr_free_cache();
  return worst_fast_two_sum <= 1.0 ? 0 : 1;
}
