#include "analysis/proximity_accumulation.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "analysis/natural_log.h"
#include "format/proximity_records.h"
#include "format/saturating.h"

namespace locprox {

// Why the observed blocks give the same bits as the whole arrays
// ---------------------------------------------------------------
// The accumulation over everything visits every pair (I, J) and, for each,
// every entry g in ascending order, with the weight w = INCID(I,g)·INCID(J,g).
//
// An entry with w = 0 adds nothing to the pair. Its terms are w·(d·d),
// (w·yJ)·yI, w·(yJ·yJ) and w·(yI·yI): 0 times a finite number, a zero of one
// sign or the other (the values are finite: at most 1.0E+30 in magnitude as
// read, and centring and standardising keep them finite), and the count
// gains 0. The sums start at +0.0, and in round-to-nearest x + y is -0.0 only
// when x and y both are, so a sum is never -0.0; adding a zero of either sign
// to +0.0 or to a non-zero sum leaves it unchanged. So an entry that no
// location observed this year can be left out of every pair, and an entry
// that J did not observe can be left out of every pair of column J.
//
// A pair without entries in common (c = 0, n = 0) ends the year with the
// value 0.0 and the count 0 under every option: the distance is 0.0 when
// c = 0; the correlation is 0.0 when n = 0 and its variance test is not
// reached; under Fisher z the count drops to -3 and is then set to 0 with
// the value 0.0; weighting multiplies only when the count is not 0. PROX
// gains +0.0 (unchanged: PROX starts at +0.0 and so is never -0.0, by the
// same rule), NGPAIR gains 0 and NYPAIR gains nothing, as it grows only for
// a positive count. That holds on the diagonal too (a location without
// observations has n = 0 with itself). So pairs with a location that observed
// nothing this year can be left out.
//
// What is left is every pair of observed locations, each over the observed
// entries in ascending order, with the same operands (the gathered cells are
// copies; unobserved cells hold 0.0 and weigh 0) and the same operations in
// the same order as over everything. Centring and standardising per location
// work the same way over a location's observed entries only (their sums and
// counts also grow by w = 0 terms elsewhere), so they may run on the block.
//
// How the sums stay exact while many pairs are worked on at once
// ---------------------------------------------------------------
// For a column J of the block the pairs (1, J), (2, J), ... are accumulated
// side by side: the entries run in ascending order in the outer loop and the
// locations I in the inner loop, where a block column is contiguous. Every
// accumulator still receives its terms in ascending entry order, one
// addition per entry, with the operands written exactly as in the per-pair
// formula; only additions of different pairs interleave, which cannot change
// any result. The inner loops are element-wise over independent accumulators,
// which the compiler vectorises without reassociating anything (no reduction
// across lanes; no fused multiply-add: the build uses -ffp-contract=off and
// nothing here calls std::fma). Entries are taken kGroup at a time: an
// accumulator is loaded once, receives the group's terms one after another
// in ascending order, and is stored once.

namespace {

// Locations I per block of accumulators (scratch on the stack, 14 KiB at
// most, within the first-level cache); 512 measured faster than 256.
constexpr std::size_t kBlock = 512;

// Columns J taken from the queue at a time (see TileEntries).
constexpr std::size_t kTile = 8;

// Entries per group; 4 keeps the number of streams low.
constexpr std::size_t kGroup = 4;

// The update loops run in two parts: a bulk whose length is a multiple of
// this (a multiple of every vector width used, so that the bulk needs no
// scalar epilogue and is vectorised at -O2 as well as at -O3), and the rest.
constexpr std::size_t kBulk = 8;

// On x86-64 the portable loops are also compiled for AVX2, the variant
// picked at load time by the processor's features; both perform the same
// IEEE double operations on the same operands in the same order. Where the
// processor has AVX-512 (F and VL), loops written for it (below) are used
// for blocks of 16 pairs and more: they leave out the terms of weight 0
// instead of multiplying them by it, which gives the same bits (see there).
// Neither AVX2 nor AVX-512F implies FMA, so not even a build without
// -ffp-contract=off could contract anything.
// Defining LOCPROX_NO_VECTOR_CLONES builds the baseline variant only.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && \
    !defined(LOCPROX_NO_VECTOR_CLONES)
#define LOCPROX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#define LOCPROX_AVX512 1
constexpr std::size_t kWideFrom = 16;  // pairs in a block from which AVX-512 pays
const bool kHaveAvx512 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0;
}();
std::atomic<bool> use_avx512{kHaveAvx512};
#else
#define LOCPROX_VECTOR_CLONES
#define LOCPROX_AVX512 0
#endif

// The single-precision 1.0e-6 used as the Fisher z threshold, in double.
constexpr double kFisherThreshold = static_cast<double>(1.0e-6f);
constexpr double kFisherCap = 7.25;

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

// The location (0-based) of row k of the block.
inline std::size_t location_of(const ObservedBlock& block, std::size_t k) {
  return block.locations.empty() ? k : at(block.locations[k]);
}

// The entries observed at a column J, ascending: where their block columns
// begin and J's value there. An entry that J did not observe weighs 0 in
// every pair of column J and is left out.
struct ColumnEntries {
  std::size_t size = 0;
  std::size_t* offset = nullptr;  // room for NGOBS
  double* yj = nullptr;
};

// The entry lists of up to kTile consecutive columns, in storage owned by
// one thread. They are listed together, in one pass over the entries: the
// cells of consecutive columns of an entry share a cache line, where one
// column at a time would fetch a line per entry for every column.
class TileEntries {
 public:
  explicit TileEntries(std::size_t ng) : offsets_(kTile * ng), values_(kTile * ng) {
    for (std::size_t t = 0; t < kTile; ++t) {
      columns_[t].offset = offsets_.data() + t * ng;
      columns_[t].yj = values_.data() + t * ng;
    }
  }

  // Lists the entries of columns j0 .. j0 + width - 1 (0-based). Every
  // entry is written, and the list grows by one only where the column
  // observed it: whether it did is as good as random, and a branch on it
  // would be mispredicted half the time.
  void list(const float* values, const std::int32_t* incidence, std::size_t nl, std::size_t ng,
            std::size_t j0, std::size_t width) {
    std::size_t size[kTile] = {};
    for (std::size_t m = 0, col = j0; m < ng; ++m, col += nl) {
      for (std::size_t t = 0; t < width; ++t) {
        ColumnEntries& column = columns_[t];
        column.offset[size[t]] = col - j0;
        column.yj[size[t]] = static_cast<double>(values[col + t]);
        size[t] += incidence[col + t] != 0 ? 1 : 0;
      }
    }
    for (std::size_t t = 0; t < width; ++t) columns_[t].size = size[t];
  }

  const ColumnEntries& operator[](std::size_t t) const { return columns_[t]; }

 private:
  std::vector<std::size_t> offsets_;
  std::vector<double> values_;
  ColumnEntries columns_[kTile];
};

// ---- squared Euclidean distance ----

// Adds the terms of entries u0 .. u0 + U - 1 of the column's list, in order, to the
// pairs k0 <= k < k1 of the accumulator block: s the sums of squared
// differences, c the counts.
template <std::size_t U>
[[gnu::always_inline]] inline void sed_add(const float* values, const std::int32_t* incidence,
                                           const ColumnEntries& entries, std::size_t u0,
                                           std::size_t k0, std::size_t k1, double* __restrict s,
                                           std::int32_t* __restrict c) {
  const float* __restrict y[U];
  const std::int32_t* __restrict inc[U];
  double yj[U];
  for (std::size_t u = 0; u < U; ++u) {
    y[u] = values + entries.offset[u0 + u];
    inc[u] = incidence + entries.offset[u0 + u];
    yj[u] = entries.yj[u0 + u];
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

template <std::size_t U>
[[gnu::always_inline]] inline void sed_add(const float* values, const std::int32_t* incidence,
                                           const ColumnEntries& entries, std::size_t u0,
                                           std::size_t len, double* s, std::int32_t* c) {
  const std::size_t bulk = len / kBulk * kBulk;
  sed_add<U>(values, incidence, entries, u0, 0, bulk, s, c);
  sed_add<U>(values, incidence, entries, u0, bulk, len, s, c);
}

// The year's sums of the pairs (i0 + k, j) of the block, k < len <= kBlock.
[[gnu::always_inline]] inline void sed_sums_body(const float* values, const std::int32_t* incidence,
                                                 const ColumnEntries& entries, std::size_t i0,
                                                 std::size_t len, double* s, std::int32_t* c) {
  std::fill_n(s, len, 0.0);
  std::fill_n(c, len, 0);
  values += i0;
  incidence += i0;
  std::size_t u = 0;
  for (; u + kGroup <= entries.size; u += kGroup) {
    sed_add<kGroup>(values, incidence, entries, u, len, s, c);
  }
  // The last few entries, one at a time, still in ascending order.
  for (; u < entries.size; ++u) sed_add<1>(values, incidence, entries, u, len, s, c);
}

LOCPROX_VECTOR_CLONES
void sed_sums_narrow(const float* values, const std::int32_t* incidence,
                     const ColumnEntries& entries, std::size_t i0, std::size_t len, double* s,
                     std::int32_t* c) {
  sed_sums_body(values, incidence, entries, i0, len, s, c);
}

#if LOCPROX_AVX512
// The AVX-512 loops, written with intrinsics so that a term of weight 0 is
// skipped by a masked addition: with w = 1 the term w·(d·d) is d·d exactly,
// and with w = 0 it adds nothing (see above), so adding d·d where the
// incidence is 1 and nothing where it is 0 gives the same bits as the
// multiplication by w, with neither the conversion of w nor the product.
// INCID holds 0 or 1 only. Sixteen pairs are done per step: one vector of
// their incidence and values, two of their sums; the last step of a block
// shorter than a multiple of 16 is masked.
#define LOCPROX_WIDE __attribute__((target("avx512f,avx512vl")))
#define LOCPROX_WIDE_INLINE __attribute__((target("avx512f,avx512vl"), always_inline)) inline
// GCC 12's _mm512_cvtps_pd starts from an undefined vector that it then
// overwrites whole, and warns of it under -Wmaybe-uninitialized.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

LOCPROX_WIDE inline __mmask16 first_lanes(std::size_t count) {
  return count >= 16 ? static_cast<__mmask16>(0xffff) : static_cast<__mmask16>((1u << count) - 1u);
}

// Loads and stores of eight lanes, masked in the last step of a block only
// (a masked store costs more than a plain one).
template <bool Tail>
LOCPROX_WIDE_INLINE __m512d load_doubles(const double* p, __mmask8 m) {
  if constexpr (Tail) return _mm512_maskz_loadu_pd(m, p);
  return _mm512_loadu_pd(p);
}
template <bool Tail>
LOCPROX_WIDE_INLINE __m256i load_counts(const std::int32_t* p, __mmask8 m) {
  if constexpr (Tail) return _mm256_maskz_loadu_epi32(m, p);
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
template <bool Tail>
LOCPROX_WIDE_INLINE __m512d load_values(const float* p, __mmask8 m) {
  if constexpr (Tail) return _mm512_cvtps_pd(_mm256_maskz_loadu_ps(m, p));
  return _mm512_cvtps_pd(_mm256_loadu_ps(p));
}
template <bool Tail>
LOCPROX_WIDE_INLINE void store_doubles(double* p, __mmask8 m, __m512d v) {
  if constexpr (Tail) {
    _mm512_mask_storeu_pd(p, m, v);
  } else {
    _mm512_storeu_pd(p, v);
  }
}
template <bool Tail>
LOCPROX_WIDE_INLINE void store_counts(std::int32_t* p, __mmask8 m, __m256i v) {
  if constexpr (Tail) {
    _mm256_mask_storeu_epi32(p, m, v);
  } else {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }
}

// Adds the list's entries u0 .. u0 + U - 1, in order, to the 16 pairs from
// k (lanes in `lanes` only).
template <std::size_t U, bool Tail>
LOCPROX_WIDE_INLINE void sed_add_wide(const float* const* y, const std::int32_t* const* inc,
                                      const double* yj, std::size_t k, __mmask16 lanes, double* s,
                                      std::int32_t* c) {
  const __mmask8 low = static_cast<__mmask8>(lanes);
  const __mmask8 high = static_cast<__mmask8>(lanes >> 8);
  __m512d s0 = load_doubles<Tail>(s + k, low);
  __m512d s1 = load_doubles<Tail>(s + k + 8, high);
  __m256i c0 = load_counts<Tail>(c + k, low);
  __m256i c1 = load_counts<Tail>(c + k + 8, high);
  for (std::size_t u = 0; u < U; ++u) {
    const __m256i w0 = load_counts<Tail>(inc[u] + k, low);
    const __m256i w1 = load_counts<Tail>(inc[u] + k + 8, high);
    const __m512d j = _mm512_set1_pd(yj[u]);
    const __m512d d0 = _mm512_sub_pd(j, load_values<Tail>(y[u] + k, low));
    const __m512d d1 = _mm512_sub_pd(j, load_values<Tail>(y[u] + k + 8, high));
    s0 = _mm512_mask_add_pd(s0, _mm256_test_epi32_mask(w0, w0), s0, _mm512_mul_pd(d0, d0));
    s1 = _mm512_mask_add_pd(s1, _mm256_test_epi32_mask(w1, w1), s1, _mm512_mul_pd(d1, d1));
    c0 = _mm256_add_epi32(c0, w0);
    c1 = _mm256_add_epi32(c1, w1);
  }
  store_doubles<Tail>(s + k, low, s0);
  store_doubles<Tail>(s + k + 8, high, s1);
  store_counts<Tail>(c + k, low, c0);
  store_counts<Tail>(c + k + 8, high, c1);
}

template <std::size_t U>
LOCPROX_WIDE_INLINE void sed_add_wide(const float* values, const std::int32_t* incidence,
                                      const ColumnEntries& entries, std::size_t u0, std::size_t len,
                                      double* s, std::int32_t* c) {
  const float* y[U];
  const std::int32_t* inc[U];
  for (std::size_t u = 0; u < U; ++u) {
    y[u] = values + entries.offset[u0 + u];
    inc[u] = incidence + entries.offset[u0 + u];
  }
  std::size_t k = 0;
  for (; k + 16 <= len; k += 16) sed_add_wide<U, false>(y, inc, entries.yj + u0, k, 0xffff, s, c);
  if (k < len) sed_add_wide<U, true>(y, inc, entries.yj + u0, k, first_lanes(len - k), s, c);
}

LOCPROX_WIDE void sed_sums_wide(const float* values, const std::int32_t* incidence,
                                const ColumnEntries& entries, std::size_t i0, std::size_t len,
                                double* s, std::int32_t* c) {
  std::fill_n(s, len, 0.0);
  std::fill_n(c, len, 0);
  values += i0;
  incidence += i0;
  std::size_t u = 0;
  for (; u + kGroup <= entries.size; u += kGroup) {
    sed_add_wide<kGroup>(values, incidence, entries, u, len, s, c);
  }
  // The last few entries, one at a time, still in ascending order.
  for (; u < entries.size; ++u) sed_add_wide<1>(values, incidence, entries, u, len, s, c);
}

// The correlation's terms for the 16 pairs from k: with w = 1 they are
// yJ·yI, yJ·yJ and yI·yI exactly ((w·yJ)·yI, w·(yJ·yJ) and w·(yI·yI) with
// w = 1), with w = 0 they add nothing.
template <std::size_t U, bool Tail>
LOCPROX_WIDE_INLINE void cor_add_wide(const float* const* y, const std::int32_t* const* inc,
                                      const double* yj, std::size_t k, __mmask16 lanes, double* a,
                                      double* b, double* e, std::int32_t* n) {
  const __mmask8 low = static_cast<__mmask8>(lanes);
  const __mmask8 high = static_cast<__mmask8>(lanes >> 8);
  __m512d a0 = load_doubles<Tail>(a + k, low);
  __m512d a1 = load_doubles<Tail>(a + k + 8, high);
  __m512d b0 = load_doubles<Tail>(b + k, low);
  __m512d b1 = load_doubles<Tail>(b + k + 8, high);
  __m512d e0 = load_doubles<Tail>(e + k, low);
  __m512d e1 = load_doubles<Tail>(e + k + 8, high);
  __m256i n0 = load_counts<Tail>(n + k, low);
  __m256i n1 = load_counts<Tail>(n + k + 8, high);
  for (std::size_t u = 0; u < U; ++u) {
    const __m256i w0 = load_counts<Tail>(inc[u] + k, low);
    const __m256i w1 = load_counts<Tail>(inc[u] + k + 8, high);
    const __mmask8 o0 = _mm256_test_epi32_mask(w0, w0);
    const __mmask8 o1 = _mm256_test_epi32_mask(w1, w1);
    const __m512d j = _mm512_set1_pd(yj[u]);
    const __m512d jj = _mm512_mul_pd(j, j);
    const __m512d y0 = load_values<Tail>(y[u] + k, low);
    const __m512d y1 = load_values<Tail>(y[u] + k + 8, high);
    n0 = _mm256_add_epi32(n0, w0);
    n1 = _mm256_add_epi32(n1, w1);
    a0 = _mm512_mask_add_pd(a0, o0, a0, _mm512_mul_pd(j, y0));
    a1 = _mm512_mask_add_pd(a1, o1, a1, _mm512_mul_pd(j, y1));
    b0 = _mm512_mask_add_pd(b0, o0, b0, jj);
    b1 = _mm512_mask_add_pd(b1, o1, b1, jj);
    e0 = _mm512_mask_add_pd(e0, o0, e0, _mm512_mul_pd(y0, y0));
    e1 = _mm512_mask_add_pd(e1, o1, e1, _mm512_mul_pd(y1, y1));
  }
  store_doubles<Tail>(a + k, low, a0);
  store_doubles<Tail>(a + k + 8, high, a1);
  store_doubles<Tail>(b + k, low, b0);
  store_doubles<Tail>(b + k + 8, high, b1);
  store_doubles<Tail>(e + k, low, e0);
  store_doubles<Tail>(e + k + 8, high, e1);
  store_counts<Tail>(n + k, low, n0);
  store_counts<Tail>(n + k + 8, high, n1);
}

template <std::size_t U>
LOCPROX_WIDE_INLINE void cor_add_wide(const float* values, const std::int32_t* incidence,
                                      const ColumnEntries& entries, std::size_t u0, std::size_t len,
                                      double* a, double* b, double* e, std::int32_t* n) {
  const float* y[U];
  const std::int32_t* inc[U];
  for (std::size_t u = 0; u < U; ++u) {
    y[u] = values + entries.offset[u0 + u];
    inc[u] = incidence + entries.offset[u0 + u];
  }
  std::size_t k = 0;
  for (; k + 16 <= len; k += 16) {
    cor_add_wide<U, false>(y, inc, entries.yj + u0, k, 0xffff, a, b, e, n);
  }
  if (k < len) cor_add_wide<U, true>(y, inc, entries.yj + u0, k, first_lanes(len - k), a, b, e, n);
}

LOCPROX_WIDE void cor_sums_wide(const float* values, const std::int32_t* incidence,
                                const ColumnEntries& entries, std::size_t i0, std::size_t len,
                                double* a, double* b, double* e, std::int32_t* n) {
  std::fill_n(a, len, 0.0);
  std::fill_n(b, len, 0.0);
  std::fill_n(e, len, 0.0);
  std::fill_n(n, len, 0);
  values += i0;
  incidence += i0;
  std::size_t u = 0;
  for (; u + kGroup <= entries.size; u += kGroup) {
    cor_add_wide<kGroup>(values, incidence, entries, u, len, a, b, e, n);
  }
  // The last few entries, one at a time, still in ascending order.
  for (; u < entries.size; ++u) cor_add_wide<1>(values, incidence, entries, u, len, a, b, e, n);
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

void sed_sums(const float* values, const std::int32_t* incidence, const ColumnEntries& entries,
              std::size_t i0, std::size_t len, double* s, std::int32_t* c) {
#if LOCPROX_AVX512
  if (len >= kWideFrom && use_avx512.load(std::memory_order_relaxed)) {
    sed_sums_wide(values, incidence, entries, i0, len, s, c);
    return;
  }
#endif
  sed_sums_narrow(values, incidence, entries, i0, len, s, c);
}

// ---- correlation ----

// Adds the terms of entries u0 .. u0 + U - 1 of the column's list, in order, to the
// pairs k0 <= k < k1: a the cross products, b the squares at J, e the
// squares at I, n the counts.
template <std::size_t U>
[[gnu::always_inline]] inline void cor_add(const float* values, const std::int32_t* incidence,
                                           const ColumnEntries& entries, std::size_t u0,
                                           std::size_t k0, std::size_t k1, double* __restrict a,
                                           double* __restrict b, double* __restrict e,
                                           std::int32_t* __restrict n) {
  const float* __restrict y[U];
  const std::int32_t* __restrict inc[U];
  double yj[U];
  double yjj[U];
  for (std::size_t u = 0; u < U; ++u) {
    y[u] = values + entries.offset[u0 + u];
    inc[u] = incidence + entries.offset[u0 + u];
    yj[u] = entries.yj[u0 + u];
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
[[gnu::always_inline]] inline void cor_add(const float* values, const std::int32_t* incidence,
                                           const ColumnEntries& entries, std::size_t u0,
                                           std::size_t len, double* a, double* b, double* e,
                                           std::int32_t* n) {
  const std::size_t bulk = len / kBulk * kBulk;
  cor_add<U>(values, incidence, entries, u0, 0, bulk, a, b, e, n);
  cor_add<U>(values, incidence, entries, u0, bulk, len, a, b, e, n);
}

// The year's sums of the pairs (i0 + k, j) of the block, k < len <= kBlock.
[[gnu::always_inline]] inline void cor_sums_body(const float* values, const std::int32_t* incidence,
                                                 const ColumnEntries& entries, std::size_t i0,
                                                 std::size_t len, double* a, double* b, double* e,
                                                 std::int32_t* n) {
  std::fill_n(a, len, 0.0);
  std::fill_n(b, len, 0.0);
  std::fill_n(e, len, 0.0);
  std::fill_n(n, len, 0);
  values += i0;
  incidence += i0;
  std::size_t u = 0;
  for (; u + kGroup <= entries.size; u += kGroup) {
    cor_add<kGroup>(values, incidence, entries, u, len, a, b, e, n);
  }
  // The last few entries, one at a time, still in ascending order.
  for (; u < entries.size; ++u) cor_add<1>(values, incidence, entries, u, len, a, b, e, n);
}

LOCPROX_VECTOR_CLONES
void cor_sums_narrow(const float* values, const std::int32_t* incidence,
                     const ColumnEntries& entries, std::size_t i0, std::size_t len, double* a,
                     double* b, double* e, std::int32_t* n) {
  cor_sums_body(values, incidence, entries, i0, len, a, b, e, n);
}

void cor_sums(const float* values, const std::int32_t* incidence, const ColumnEntries& entries,
              std::size_t i0, std::size_t len, double* a, double* b, double* e, std::int32_t* n) {
#if LOCPROX_AVX512
  if (len >= kWideFrom && use_avx512.load(std::memory_order_relaxed)) {
    cor_sums_wide(values, incidence, entries, i0, len, a, b, e, n);
    return;
  }
#endif
  cor_sums_narrow(values, incidence, entries, i0, len, a, b, e, n);
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

void check_block([[maybe_unused]] const ObservedBlock& block,
                 [[maybe_unused]] std::size_t prox_size) {
  assert(block.NLOBS >= 0 && block.NGOBS >= 0);
  assert(block.values.size() >= at(block.NLOBS) * at(block.NGOBS));
  assert(block.incidence.size() >= at(block.NLOBS) * at(block.NGOBS));
  assert(block.locations.empty() || block.locations.size() >= at(block.NLOBS));
  assert(block.NLOBS == 0 ||
         prox_size >
             packed_size(static_cast<std::int64_t>(location_of(block, at(block.NLOBS) - 1)) + 1) -
                 1);
}

// Hands the pairs of the columns taken from `columns` to `work`, a block
// of at most kBlock at a time: work(entries, j, i0, len, column) for the
// pairs (i0 + k, j), k < len, of block column j (0-based), whose observed
// entries are `entries` and whose packed column starts at `column`. The
// pairs are I < J, or I <= J with `diagonal`.
template <class Work>
void for_each_pair_block(const ObservedBlock& block, ColumnQueue& columns, bool diagonal,
                         Work&& work) {
  const std::size_t nl = at(block.NLOBS);
  const std::size_t ng = at(block.NGOBS);
  if (nl == 0) return;
  TileEntries tile(ng);
  for (ColumnRange range; !(range = columns.take(kTile)).empty();) {
    const std::size_t j0 = at(range.first - 1);
    const std::size_t width = at(range.last - range.first + 1);
    tile.list(block.values.data(), block.incidence.data(), nl, ng, j0, width);
    for (std::size_t t = width; t-- > 0;) {
      const std::size_t j = j0 + t;
      const std::size_t column =
          packed_column_start(static_cast<std::int64_t>(location_of(block, j)) + 1);
      const std::size_t rows = diagonal ? j + 1 : j;
      for (std::size_t i0 = 0; i0 < rows; i0 += kBlock) {
        work(tile[t], j, i0, std::min(kBlock, rows - i0), column);
      }
    }
  }
}

}  // namespace

void accumulate_distances(const ObservedBlock& block, std::span<double> PROX,
                          std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                          const Measure& measure, ColumnQueue& columns) {
  check_block(block, std::min({PROX.size(), NGPAIR.size(), NYPAIR.size()}));
  const bool weighted = measure.weighted();
  double s[kBlock];
  std::int32_t c[kBlock];
  // Pairs I < J only: the diagonal is never touched.
  for_each_pair_block(block, columns, false,
                      [&](const ColumnEntries& entries, std::size_t, std::size_t i0,
                          std::size_t len, std::size_t column) {
                        sed_sums(block.values.data(), block.incidence.data(), entries, i0, len, s,
                                 c);
                        for (std::size_t k = 0; k < len; ++k) {
                          double v = 0.0;
                          if (c[k] != 0) v = weighted ? s[k] : s[k] / static_cast<double>(c[k]);
                          const std::size_t p = column + location_of(block, i0 + k);
                          PROX[p] = PROX[p] + v;
                          NGPAIR[p] = saturating_add(NGPAIR[p], c[k]);
                          if (c[k] != 0) NYPAIR[p] += 1;
                        }
                      });
}

void accumulate_correlations(const ObservedBlock& block, std::span<double> PROX,
                             std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                             const Measure& measure, ColumnQueue& columns) {
  check_block(block, std::min({PROX.size(), NGPAIR.size(), NYPAIR.size()}));
  const bool weighted = measure.weighted();
  const bool fisher = measure.fisher_z();
  double a[kBlock];
  double b[kBlock];
  double e[kBlock];
  std::int32_t n[kBlock];
  // Pairs I <= J, the diagonal included.
  for_each_pair_block(
      block, columns, true,
      [&](const ColumnEntries& entries, std::size_t j, std::size_t i0, std::size_t len,
          std::size_t column) {
        cor_sums(block.values.data(), block.incidence.data(), entries, i0, len, a, b, e, n);
        for (std::size_t k = 0; k < len; ++k) {
          const std::size_t i = i0 + k;
          std::int32_t count = n[k];
          double v;
          if (!correlation_value(a[k], b[k], e[k], count, i == j, weighted, fisher, v)) continue;
          const std::size_t p = column + location_of(block, i);
          PROX[p] = PROX[p] + v;
          NGPAIR[p] = saturating_add(NGPAIR[p], count);
          if (count > 0) NYPAIR[p] += 1;
        }
      });
}

void accumulate_proximities(const ObservedBlock& block, std::span<double> PROX,
                            std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                            const Measure& measure, ColumnQueue& columns) {
  switch (measure.kind()) {
    case MeasureKind::kCentredDistance:
    case MeasureKind::kStandardisedDistance:
      accumulate_distances(block, PROX, NGPAIR, NYPAIR, measure, columns);
      return;
    case MeasureKind::kPlainCorrelation:
    case MeasureKind::kFisherZCorrelation:
      accumulate_correlations(block, PROX, NGPAIR, NYPAIR, measure, columns);
      return;
  }
}

// ---- over the whole arrays: the year read as one block ----

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          const Measure& measure) {
  ColumnQueue all(MAXL);
  accumulate_distances(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, measure, all);
}

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          const Measure& measure, ColumnQueue& columns) {
  const ObservedBlock whole{YDATA, INCID, {}, std::max(MAXL, 0), std::max(MAXG, 0)};
  accumulate_distances(whole, PROX, NGPAIR, NYPAIR, measure, columns);
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             const Measure& measure) {
  ColumnQueue all(MAXL);
  accumulate_correlations(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, measure, all);
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             const Measure& measure, ColumnQueue& columns) {
  const ObservedBlock whole{YDATA, INCID, {}, std::max(MAXL, 0), std::max(MAXG, 0)};
  accumulate_correlations(whole, PROX, NGPAIR, NYPAIR, measure, columns);
}

void use_accumulation_loops(AccumulationLoops loops) {
#if LOCPROX_AVX512
  use_avx512.store(loops == AccumulationLoops::kWidest && kHaveAvx512, std::memory_order_relaxed);
#else
  (void)loops;
#endif
}

}  // namespace locprox
