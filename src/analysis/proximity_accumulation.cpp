#include "analysis/proximity_accumulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>

#include "analysis/natural_log.h"
#include "analysis/saturating.h"
#include "format/proximity_records.h"

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
// The inner loops are element-wise over independent accumulators, which the
// compiler vectorises without reassociating anything (no reduction across
// lanes; no fused multiply-add, as the build uses -ffp-contract=off and
// nothing here calls std::fma).
//
// The entries are taken kGroup at a time: an accumulator is loaded once,
// receives the group's terms one after another in ascending g (the same
// additions as entry by entry, only without a store and a load in between),
// and is stored once.
//
// An entry that is not observed at J (INCID(J,g) = 0) has weight 0 for every
// pair of column J. Its terms are then +0.0 or -0.0, and adding a zero leaves
// a sum unchanged because the sums start at +0.0 and can never become -0.0
// (x + y is -0.0 in round-to-nearest only when both are -0.0). Such entries
// are skipped. Terms with weight 0 because I was not observed are added as
// zeros.
//
// INCID holds 0 or 1 (the reader sets 1 for an observed cell), so for an
// entry observed at J the weight INCID(I,g) * INCID(J,g) is INCID(I,g).

// Locations I per block of accumulators. Blocks keep the scratch on the stack
// and of fixed size whatever MAXL is.
constexpr std::size_t kBlock = 256;

// Entries per group (see above); 4 measured best, 8 keeps too many streams.
constexpr std::size_t kGroup = 4;

// The update loops run in two parts: a bulk whose length is a multiple of
// this, which is a multiple of every vector width used, so that the bulk
// needs no scalar epilogue and is vectorised at -O2 as well as at -O3; and
// the few remaining locations.
constexpr std::size_t kBulk = 8;

// On x86-64 the accumulation is also compiled for AVX2 and the variant is
// picked at load time by the processor's features. Both variants perform the
// same IEEE double operations on the same operands in the same order, so they
// give identical bits; AVX2 (unlike x86-64-v3) implies no FMA, so not even a
// build without -ffp-contract=off could contract them. Defining
// LOCPROX_NO_VECTOR_CLONES builds the baseline variant only (to test it).
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && \
    !defined(LOCPROX_NO_VECTOR_CLONES)
#define LOCPROX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define LOCPROX_VECTOR_CLONES
#endif

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
  [[maybe_unused]] const std::size_t ntm = packed_size(MAXL);
  assert(ydata_size >= s.nl * s.ng && incid_size >= s.nl * s.ng);
  assert(prox_size >= ntm && ngpair_size >= ntm && nypair_size >= ntm);
  (void)ydata_size, (void)incid_size, (void)prox_size, (void)ngpair_size, (void)nypair_size;
  return s;
}

// Up to kGroup entries observed at J, ascending: where their YDATA and INCID
// columns begin (plus the first location of the block) and J's value there.
struct EntryGroup {
  std::size_t size = 0;
  std::size_t offset[kGroup];
  double yj[kGroup];

  // Adds entry g, whose column starts at col, when J was observed there;
  // true when the group is then full.
  bool add(const float* YDATA, const std::int32_t* INCID, std::size_t col, std::size_t j,
           std::size_t i0) {
    if (INCID[col + j] == 0) return false;  // weight 0 for the whole column
    offset[size] = col + i0;
    yj[size] = static_cast<double>(YDATA[col + j]);
    return ++size == kGroup;
  }
};

// ---- squared Euclidean distance ----

// Adds the terms of the first U entries of the group, in order, to the pairs
// (i0 + k, j), k0 <= k < k1: s the sums of squared differences, c the counts.
template <std::size_t U>
[[gnu::always_inline]] inline void sed_add(const float* YDATA, const std::int32_t* INCID,
                                           const EntryGroup& group, std::size_t u0, std::size_t k0,
                                           std::size_t k1, double* __restrict s,
                                           std::int32_t* __restrict c) {
  const float* __restrict y[U];
  const std::int32_t* __restrict inc[U];
  double yj[U];
  for (std::size_t u = 0; u < U; ++u) {
    y[u] = YDATA + group.offset[u0 + u];
    inc[u] = INCID + group.offset[u0 + u];
    yj[u] = group.yj[u0 + u];
  }
  for (std::size_t k = k0; k < k1; ++k) {
    double sk = s[k];
    std::int32_t ck = c[k];
    // Unrolled completely, so that the loop over k is the one vectorised.
#pragma GCC unroll 8
    for (std::size_t u = 0; u < U; ++u) {
      const double w = static_cast<double>(inc[u][k]);
      const double d = yj[u] - static_cast<double>(y[u][k]);
      sk = sk + w * (d * d);
      ck = ck + inc[u][k];
    }
    s[k] = sk;
    c[k] = ck;
  }
}

// Adds entries u0 .. u0 + U - 1 of the group to the pairs k < len.
template <std::size_t U>
[[gnu::always_inline]] inline void sed_add(const float* YDATA, const std::int32_t* INCID,
                                           const EntryGroup& group, std::size_t u0, std::size_t len,
                                           double* s, std::int32_t* c) {
  const std::size_t bulk = len / kBulk * kBulk;
  sed_add<U>(YDATA, INCID, group, u0, 0, bulk, s, c);
  sed_add<U>(YDATA, INCID, group, u0, bulk, len, s, c);
}

// The year's sums of the pairs (i0 + k, j), k < len <= kBlock.
LOCPROX_VECTOR_CLONES
void sed_sums(const float* YDATA, const std::int32_t* INCID, const Shape& sh, std::size_t j,
              std::size_t i0, std::size_t len, double* s, std::int32_t* c) {
  std::fill_n(s, len, 0.0);
  std::fill_n(c, len, 0);
  EntryGroup group;
  for (std::size_t g = 0; g < sh.ng; ++g) {
    if (group.add(YDATA, INCID, g * sh.nl, j, i0)) {
      sed_add<kGroup>(YDATA, INCID, group, 0, len, s, c);
      group.size = 0;
    }
  }
  // The last few entries, one at a time, still in ascending order.
  for (std::size_t u = 0; u < group.size; ++u) sed_add<1>(YDATA, INCID, group, u, len, s, c);
}

// ---- correlation ----

// Adds the terms of the first U entries of the group, in order, to the pairs
// (i0 + k, j), k0 <= k < k1: a the cross products, b the squares at J, e the
// squares at I, n the counts.
template <std::size_t U>
[[gnu::always_inline]] inline void cor_add(const float* YDATA, const std::int32_t* INCID,
                                           const EntryGroup& group, std::size_t u0, std::size_t k0,
                                           std::size_t k1, double* __restrict a,
                                           double* __restrict b, double* __restrict e,
                                           std::int32_t* __restrict n) {
  const float* __restrict y[U];
  const std::int32_t* __restrict inc[U];
  double yj[U];
  double yjj[U];
  for (std::size_t u = 0; u < U; ++u) {
    y[u] = YDATA + group.offset[u0 + u];
    inc[u] = INCID + group.offset[u0 + u];
    yj[u] = group.yj[u0 + u];
    yjj[u] = yj[u] * yj[u];
  }
  for (std::size_t k = k0; k < k1; ++k) {
    double ak = a[k];
    double bk = b[k];
    double ek = e[k];
    std::int32_t nk = n[k];
#pragma GCC unroll 8
    for (std::size_t u = 0; u < U; ++u) {
      const double w = static_cast<double>(inc[u][k]);
      const double yi = static_cast<double>(y[u][k]);
      nk = nk + inc[u][k];
      ak = ak + (w * yj[u]) * yi;
      bk = bk + w * yjj[u];
      ek = ek + w * (yi * yi);
    }
    a[k] = ak;
    b[k] = bk;
    e[k] = ek;
    n[k] = nk;
  }
}

template <std::size_t U>
[[gnu::always_inline]] inline void cor_add(const float* YDATA, const std::int32_t* INCID,
                                           const EntryGroup& group, std::size_t u0, std::size_t len,
                                           double* a, double* b, double* e, std::int32_t* n) {
  const std::size_t bulk = len / kBulk * kBulk;
  cor_add<U>(YDATA, INCID, group, u0, 0, bulk, a, b, e, n);
  cor_add<U>(YDATA, INCID, group, u0, bulk, len, a, b, e, n);
}

// The year's sums of the pairs (i0 + k, j), k < len <= kBlock.
LOCPROX_VECTOR_CLONES
void cor_sums(const float* YDATA, const std::int32_t* INCID, const Shape& sh, std::size_t j,
              std::size_t i0, std::size_t len, double* a, double* b, double* e, std::int32_t* n) {
  std::fill_n(a, len, 0.0);
  std::fill_n(b, len, 0.0);
  std::fill_n(e, len, 0.0);
  std::fill_n(n, len, 0);
  EntryGroup group;
  for (std::size_t g = 0; g < sh.ng; ++g) {
    if (group.add(YDATA, INCID, g * sh.nl, j, i0)) {
      cor_add<kGroup>(YDATA, INCID, group, 0, len, a, b, e, n);
      group.size = 0;
    }
  }
  for (std::size_t u = 0; u < group.size; ++u) cor_add<1>(YDATA, INCID, group, u, len, a, b, e, n);
}

// The year's value of a pair from its correlation sums, and the count that
// goes with it; false when the pair contributes nothing this year.
bool correlation_value(double a, double b, double e, std::int32_t& n, bool diagonal, bool weighted,
                       bool fisher, double& v) {
  v = 0.0;
  if (n > 0) {
    // All values 0.0 at one location over the entries in common (one observed
    // entry, or all observed values equal, centres to 0.0): there is no
    // correlation, and the pair sits this year out.
    if (b == 0.0 || e == 0.0) return false;
    v = a / std::sqrt(b * e);
  }
  if (fisher && !diagonal) {
    n = n - 3;
    if (n <= 0) {
      v = 0.0;
      n = 0;
    } else {
      const double below_one = 1.0 - v;
      const double above_minus_one = v + 1.0;
      // Near +1 or -1 the transform runs off to infinity (and rounding can
      // push r past +-1, or to exactly +-1): it is capped at +-7.25 instead.
      if (below_one < kFisherThreshold) {
        v = kFisherCap;
      } else if (above_minus_one < kFisherThreshold) {
        v = -kFisherCap;
      } else {
        v = natural_log(above_minus_one / below_one) * 0.5;
      }
    }
  }
  if (n != 0 && weighted) v = v * static_cast<double>(n);
  return true;
}

}  // namespace

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT) {
  ColumnQueue all(MAXL);
  accumulate_distances(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, all);
}

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT, ColumnQueue& columns) {
  const Shape sh =
      shape_of(YDATA.size(), INCID.size(), PROX.size(), NGPAIR.size(), NYPAIR.size(), MAXL, MAXG);
  const bool weighted = WEIGHT == 'W';
  double s[kBlock];
  std::int32_t c[kBlock];
  // Pairs I < J only: the diagonal is never touched.
  for (std::int32_t J; sh.nl > 0 && (J = columns.take()) > 0;) {
    const std::size_t j = static_cast<std::size_t>(J - 1);
    const std::size_t column = packed_column_start(J);
    for (std::size_t i0 = 0; i0 < j; i0 += kBlock) {
      const std::size_t len = std::min(kBlock, j - i0);
      sed_sums(YDATA.data(), INCID.data(), sh, j, i0, len, s, c);
      for (std::size_t k = 0; k < len; ++k) {
        double v = 0.0;
        if (c[k] != 0) v = weighted ? s[k] : s[k] / static_cast<double>(c[k]);
        const std::size_t p = column + i0 + k;  // packed_index(i0 + k + 1, J)
        PROX[p] = PROX[p] + v;
        NGPAIR[p] = saturating_add(NGPAIR[p], c[k]);
        if (c[k] != 0) NYPAIR[p] += 1;
      }
    }
  }
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP) {
  ColumnQueue all(MAXL);
  accumulate_correlations(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, CORTYP, all);
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP, ColumnQueue& columns) {
  const Shape sh =
      shape_of(YDATA.size(), INCID.size(), PROX.size(), NGPAIR.size(), NYPAIR.size(), MAXL, MAXG);
  const bool weighted = WEIGHT == 'W';
  const bool fisher = CORTYP == 'Z';
  double a[kBlock];
  double b[kBlock];
  double e[kBlock];
  std::int32_t n[kBlock];
  // Pairs I <= J, the diagonal included.
  for (std::int32_t J; sh.nl > 0 && (J = columns.take()) > 0;) {
    const std::size_t j = static_cast<std::size_t>(J - 1);
    const std::size_t column = packed_column_start(J);
    for (std::size_t i0 = 0; i0 <= j; i0 += kBlock) {
      const std::size_t len = std::min(kBlock, j + 1 - i0);
      cor_sums(YDATA.data(), INCID.data(), sh, j, i0, len, a, b, e, n);
      for (std::size_t k = 0; k < len; ++k) {
        const std::size_t i = i0 + k;
        std::int32_t count = n[k];
        double v;
        if (!correlation_value(a[k], b[k], e[k], count, i == j, weighted, fisher, v)) continue;
        const std::size_t p = column + i;  // packed_index(i + 1, J)
        PROX[p] = PROX[p] + v;
        NGPAIR[p] = saturating_add(NGPAIR[p], count);
        if (count > 0) NYPAIR[p] += 1;
      }
    }
  }
}

}  // namespace locprox
