// The portable loops: plain C++ that the compiler vectorises element-wise
// (see proximity_loops.h), compiled for AVX2 as well on x86-64.
#include <algorithm>

#include "analysis/proximity_loops.h"

namespace locprox::proximity_loops {
namespace {

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

}  // namespace

LOCPROX_VECTOR_CLONES
void sed_sums_portable(const float* values, const std::int32_t* incidence,
                       const ColumnEntries& entries, std::size_t i0, std::size_t len, double* s,
                       std::int32_t* c) {
  sed_sums_body(values, incidence, entries, i0, len, s, c);
}

namespace {

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

}  // namespace

LOCPROX_VECTOR_CLONES
void cor_sums_portable(const float* values, const std::int32_t* incidence,
                       const ColumnEntries& entries, std::size_t i0, std::size_t len, double* a,
                       double* b, double* e, std::int32_t* n) {
  cor_sums_body(values, incidence, entries, i0, len, a, b, e, n);
}

}  // namespace locprox::proximity_loops
