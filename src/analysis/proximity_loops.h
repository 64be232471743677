// The inner loops of the proximity accumulation: the year's sums of the
// pairs (i0 + k, J), k < len, of one column J of an observed block, over the
// entries J observed. Three files, one job each: the portable loops
// (proximity_loops_portable.cpp), the loops written for AVX-512
// (proximity_loops_avx512.cpp), and the dispatch that picks one of them
// (proximity_loops_dispatch.cpp). Every variant performs the same IEEE double
// operations on the same operands in the same order: they give the same bits.
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
#pragma once

#include <cstddef>
#include <cstdint>

// On x86-64 the portable loops are also compiled for AVX2, the variant
// picked at load time by the processor's features. Where the processor has
// AVX-512 (F and VL), the loops written for it are used for blocks of 16
// pairs and more: they leave out the terms of weight 0 instead of
// multiplying them by it, which gives the same bits (see there). Neither
// AVX2 nor AVX-512F implies FMA, so not even a build without
// -ffp-contract=off could contract anything.
// Defining LOCPROX_NO_VECTOR_CLONES builds the baseline variant only.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && \
    !defined(LOCPROX_NO_VECTOR_CLONES)
#define LOCPROX_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#define LOCPROX_AVX512 1
#else
#define LOCPROX_VECTOR_CLONES
#define LOCPROX_AVX512 0
#endif

namespace locprox::proximity_loops {

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
// The entries observed at a column J, ascending: where their block columns
// begin and J's value there. An entry that J did not observe weighs 0 in
// every pair of column J and is left out.
struct ColumnEntries {
  std::size_t size = 0;
  std::size_t* offset = nullptr;  // room for observed_entry_count
  double* yj = nullptr;
};

// The squared Euclidean distance's sums: s the sums of squared differences,
// c the counts (entries in common).
void sed_sums(const float* values, const std::int32_t* incidence, const ColumnEntries& entries,
              std::size_t i0, std::size_t len, double* s, std::int32_t* c);
// The correlation's sums: a the cross products, b the squares at J, e the
// squares at I, n the counts.
void cor_sums(const float* values, const std::int32_t* incidence, const ColumnEntries& entries,
              std::size_t i0, std::size_t len, double* a, double* b, double* e, std::int32_t* n);

// The variants that sed_sums and cor_sums choose between.
void sed_sums_portable(const float* values, const std::int32_t* incidence,
                       const ColumnEntries& entries, std::size_t i0, std::size_t len, double* s,
                       std::int32_t* c);
void cor_sums_portable(const float* values, const std::int32_t* incidence,
                       const ColumnEntries& entries, std::size_t i0, std::size_t len, double* a,
                       double* b, double* e, std::int32_t* n);
#if LOCPROX_AVX512
void sed_sums_avx512(const float* values, const std::int32_t* incidence,
                     const ColumnEntries& entries, std::size_t i0, std::size_t len, double* s,
                     std::int32_t* c);
void cor_sums_avx512(const float* values, const std::int32_t* incidence,
                     const ColumnEntries& entries, std::size_t i0, std::size_t len, double* a,
                     double* b, double* e, std::int32_t* n);
#endif

}  // namespace locprox::proximity_loops
