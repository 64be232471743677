// The loops written for AVX-512 (F and VL), used where the processor has it
// (proximity_loops_dispatch.cpp picks them).
#include "analysis/proximity_loops.h"

#if LOCPROX_AVX512
#include <immintrin.h>

#include <algorithm>

namespace locprox::proximity_loops {

// The AVX-512 loops, written with intrinsics so that a term of weight 0 is
// skipped by a masked addition: with w = 1 the term w·(d·d) is d·d exactly,
// and with w = 0 it adds nothing (see proximity_loops.h), so adding d·d where the
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

LOCPROX_WIDE void sed_sums_avx512(const float* values, const std::int32_t* incidence,
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

LOCPROX_WIDE void cor_sums_avx512(const float* values, const std::int32_t* incidence,
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
}  // namespace locprox::proximity_loops
#endif
