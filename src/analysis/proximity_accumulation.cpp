#include "analysis/proximity_accumulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

namespace locprox {

namespace {

// How the sums stay exact while many pairs are worked on at once
// ----------------------------------------------------------------
// Each pair (I, J) has its own sums, and each must be the same double as the
// one formed by adding that pair's terms one entry after another in ascending
// entry order. Different pairs are independent, so for a column J the pairs
// (1, J), (2, J), ... are accumulated side by side: the entries g run in
// ascending order in the outer loop and the locations I in the inner loop,
// where YDATA(., g) and INCID(., g) are contiguous. Every accumulator s[I]
// still receives its terms in ascending g, one addition per entry, with the
// operands written exactly as in the per-pair formula; only the interleaving
// of *different* pairs' additions changes, which cannot change any result.
// The inner loops are plain element-wise loops over independent accumulators,
// which the compiler vectorises without reassociating anything (no reduction
// across lanes, no fused multiply-add: the build uses -ffp-contract=off).
//
// An entry that is not observed at J (INCID(J,g) = 0) has weight 0 for every
// pair of column J. Its terms are then +0.0 or -0.0, and adding a zero leaves
// a sum unchanged because the sums start at +0.0 and can never become -0.0
// (x + y is -0.0 in round-to-nearest only when both are -0.0). Such entries
// are skipped. Entries with weight 0 inside the inner loop are added as zeros.
//
// INCID holds 0 or 1 (the reader sets 1 for an observed cell), so for an
// entry observed at J the weight INCID(I,g) * INCID(J,g) is INCID(I,g).

// Locations I per block of accumulators. Blocks keep the scratch on the stack
// and of fixed size whatever MAXL is.
constexpr std::size_t kBlock = 256;

// The single-precision 1.0e-6 used as the Fisher z threshold, in double.
constexpr double kFisherThreshold = static_cast<double>(1.0e-6f);
constexpr double kFisherCap = 7.25;

struct Shape {
  std::size_t nl;  // MAXL, the leading dimension
  std::size_t ng;  // MAXG
};

Shape shape_of(std::size_t ydata_size, std::size_t incid_size, std::size_t prox_size,
               std::size_t ngpair_size, std::size_t nypair_size, std::int32_t MAXL,
               std::int32_t MAXG) {
  if (MAXL <= 0) return {0, 0};
  const Shape s{static_cast<std::size_t>(MAXL),
                MAXG > 0 ? static_cast<std::size_t>(MAXG) : std::size_t{0}};
  [[maybe_unused]] const std::size_t ntm = s.nl * (s.nl + 1) / 2;
  assert(ydata_size >= s.nl * s.ng && incid_size >= s.nl * s.ng);
  assert(prox_size >= ntm && ngpair_size >= ntm && nypair_size >= ntm);
  (void)ydata_size, (void)incid_size, (void)prox_size, (void)ngpair_size, (void)nypair_size;
  return s;
}

// Packed index (0-based) of the pair (i, j), 0-based, i <= j.
inline std::size_t packed(std::size_t i, std::size_t j) {
  return j * (j + 1) / 2 + i;
}

// Squared-difference sums of the pairs (i0 + k, j), k < len, over all entries.
void sed_sums(const float* YDATA, const std::int32_t* INCID, const Shape& sh, std::size_t j,
              std::size_t i0, std::size_t len, double* s, std::int32_t* c) {
  std::fill_n(s, len, 0.0);
  std::fill_n(c, len, 0);
  for (std::size_t g = 0; g < sh.ng; ++g) {
    const std::size_t col = g * sh.nl;
    if (INCID[col + j] == 0) continue;  // weight 0 for the whole column
    const double yj = static_cast<double>(YDATA[col + j]);
    const float* y = YDATA + col + i0;
    const std::int32_t* inc = INCID + col + i0;
    for (std::size_t k = 0; k < len; ++k) {
      const double w = static_cast<double>(inc[k]);
      const double d = yj - static_cast<double>(y[k]);
      s[k] = s[k] + w * (d * d);
      c[k] = c[k] + inc[k];
    }
  }
}

// Correlation sums of the pairs (i0 + k, j), k < len, over all entries.
void cor_sums(const float* YDATA, const std::int32_t* INCID, const Shape& sh, std::size_t j,
              std::size_t i0, std::size_t len, double* a, double* b, double* e, std::int32_t* n) {
  std::fill_n(a, len, 0.0);
  std::fill_n(b, len, 0.0);
  std::fill_n(e, len, 0.0);
  std::fill_n(n, len, 0);
  for (std::size_t g = 0; g < sh.ng; ++g) {
    const std::size_t col = g * sh.nl;
    if (INCID[col + j] == 0) continue;  // weight 0 for the whole column
    const double yj = static_cast<double>(YDATA[col + j]);
    const double yjj = yj * yj;
    const float* y = YDATA + col + i0;
    const std::int32_t* inc = INCID + col + i0;
    for (std::size_t k = 0; k < len; ++k) {
      const double w = static_cast<double>(inc[k]);
      const double yi = static_cast<double>(y[k]);
      n[k] = n[k] + inc[k];
      a[k] = a[k] + (w * yj) * yi;
      b[k] = b[k] + w * yjj;
      e[k] = e[k] + w * (yi * yi);
    }
  }
}

}  // namespace

void SEDACC(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
            std::span<double> PROX, std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::int32_t MAXL, std::int32_t MAXG, std::int32_t NTM, char WEIGHT) {
  (void)NTM;  // the declared length of the packed arrays; MAXL determines it
  const Shape sh =
      shape_of(YDATA.size(), INCID.size(), PROX.size(), NGPAIR.size(), NYPAIR.size(), MAXL, MAXG);
  const bool weighted = WEIGHT == 'W';
  double s[kBlock];
  std::int32_t c[kBlock];
  for (std::size_t j = 1; j < sh.nl; ++j) {
    for (std::size_t i0 = 0; i0 < j; i0 += kBlock) {
      const std::size_t len = std::min(kBlock, j - i0);
      sed_sums(YDATA.data(), INCID.data(), sh, j, i0, len, s, c);
      for (std::size_t k = 0; k < len; ++k) {
        const std::size_t p = packed(i0 + k, j);
        double v = 0.0;
        if (c[k] != 0) v = weighted ? s[k] : s[k] / static_cast<double>(c[k]);
        PROX[p] = PROX[p] + v;
        NGPAIR[p] += c[k];
        if (c[k] != 0) NYPAIR[p] += 1;
      }
    }
  }
}

void CORACC(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
            std::span<double> PROX, std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::int32_t MAXL, std::int32_t MAXG, std::int32_t NTM, char WEIGHT, char CORTYP) {
  (void)NTM;  // the declared length of the packed arrays; MAXL determines it
  const Shape sh =
      shape_of(YDATA.size(), INCID.size(), PROX.size(), NGPAIR.size(), NYPAIR.size(), MAXL, MAXG);
  const bool weighted = WEIGHT == 'W';
  const bool fisher = CORTYP == 'Z';
  double a[kBlock];
  double b[kBlock];
  double e[kBlock];
  std::int32_t n[kBlock];
  for (std::size_t j = 0; j < sh.nl; ++j) {
    for (std::size_t i0 = 0; i0 <= j; i0 += kBlock) {
      const std::size_t len = std::min(kBlock, j + 1 - i0);
      cor_sums(YDATA.data(), INCID.data(), sh, j, i0, len, a, b, e, n);
      for (std::size_t k = 0; k < len; ++k) {
        const std::size_t i = i0 + k;
        std::int32_t count = n[k];
        double v = 0.0;
        if (count > 0) {
          // All values 0.0 at one location over the entries in common (one
          // observed entry, or all observed values equal, centres to 0.0):
          // there is no correlation, and the pair sits this year out.
          if (b[k] == 0.0 || e[k] == 0.0) continue;
          v = a[k] / std::sqrt(b[k] * e[k]);
        }
        if (fisher && i != j) {
          count -= 3;
          if (count <= 0) {
            v = 0.0;
            count = 0;
          } else {
            const double r = v;
            const double below_one = 1.0 - r;
            const double above_minus_one = r + 1.0;
            // Near +1 or -1 the transform runs off to infinity (and rounding
            // can push r past +-1): it is capped at +-7.25 instead.
            if (below_one < kFisherThreshold) {
              v = kFisherCap;
            } else if (above_minus_one < kFisherThreshold) {
              v = -kFisherCap;
            } else {
              v = std::log(above_minus_one / below_one) * 0.5;
            }
          }
        }
        if (count != 0 && weighted) v = v * static_cast<double>(count);
        const std::size_t p = packed(i, j);
        PROX[p] = PROX[p] + v;
        NGPAIR[p] += count;
        if (count > 0) NYPAIR[p] += 1;
      }
    }
  }
}

}  // namespace locprox
