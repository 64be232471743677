// Proximity accumulation: adds one year's location-by-location proximity
// values and counts to the running sums of the run.
//
// YDATA (single precision) and INCID (0 or 1) are the year's MAXL x MAXG
// arrays, column-major with MAXL as leading dimension. PROX, NGPAIR and NYPAIR
// are packed upper triangles of NTM = MAXL(MAXL+1)/2 elements (pair (I, J) at
// packed_index(I, J), format/proximity_records.h). Both operations only add to
// them. The results are bit-identical to summing each pair's terms one entry
// after another in ascending entry order, over every pair and every entry.
//
// The year loop hands over only the part of the year that was observed
// (ObservedBlock, gathered by analysis/observed_blocks.h): pairs of observed
// locations over observed entries. The other pairs and entries would add
// nothing (proximity_accumulation.cpp says why), so the results are the same.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "format/measure.h"

namespace locprox {

// The columns J of the packed triangle, handed out one at a time, the largest
// first, to the threads that share one year's accumulation. A column's pairs
// are all done by the thread that took it, and every pair's sums are formed
// the same way whichever thread forms them, so the results do not depend on
// how the columns were shared out.
// Columns first to last (1-based); empty when last < first.
struct ColumnRange {
  std::int32_t first = 1;
  std::int32_t last = 0;
  bool empty() const { return last < first; }
};

class ColumnQueue {
 public:
  ColumnQueue() = default;
  explicit ColumnQueue(std::int32_t MAXL) : next_(MAXL) {}
  void reset(std::int32_t MAXL) { next_.store(MAXL, std::memory_order_relaxed); }
  // The next column to do, or 0 when every column has been taken.
  std::int32_t take() {
    const std::int32_t J = next_.fetch_sub(1, std::memory_order_relaxed);
    return J > 0 ? J : 0;
  }
  // The next `count` columns (fewer at the end), or an empty range when
  // every column has been taken.
  ColumnRange take(std::size_t count) {
    const auto n = static_cast<std::int32_t>(count);
    const std::int32_t J = next_.fetch_sub(n, std::memory_order_relaxed);
    if (J <= 0) return {};
    return {J - n + 1 > 1 ? J - n + 1 : 1, J};
  }

 private:
  std::atomic<std::int32_t> next_{0};
};

// The observed part of a year as the accumulation reads it: `values` and
// `incidence` are blocks of observed_location_count rows and
// observed_entry_count columns (column by column), after centring (and
// standardising) by location; `locations` maps row k of the blocks to its
// location, 0-based and ascending. An empty `locations` maps row k to
// location k: the blocks are then the year's whole arrays.
struct ObservedBlock {
  std::span<const float> values;
  std::span<const std::int32_t> incidence;
  std::span<const std::int32_t> locations;
  std::int32_t observed_location_count = 0;
  std::int32_t observed_entry_count = 0;
};

// SEDACC: squared Euclidean distance between the locations of every pair
// I < J of the block over the entries observed at both. For a weighted
// measure the year's value is the sum of squared differences, otherwise
// their mean; NGPAIR gains the number of entries in common and NYPAIR one
// when there was any. The diagonal is never touched. The columns of the
// block (1 to observed_location_count) are taken from `columns`.
void accumulate_distances(const ObservedBlock& block, std::span<double> PROX,
                          std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                          const Measure& measure, ColumnQueue& columns);

// CORACC: correlation between the locations of every pair I <= J (diagonal included)
// over the entries observed at both, plain or through Fisher's z (measure.fisher_z(),
// off the diagonal only: the count is reduced by 3 and the year is skipped
// when it does not stay positive; 1 - r or r + 1 below 1.0e-6f gives +7.25 or
// -7.25). For a weighted measure the value is multiplied by the (reduced) count. A
// pair whose values at one of the locations are all 0.0 over the entries in
// common has no correlation and contributes nothing that year.
// The same over the pairs of the block's locations, its entries only; the
// columns of the block are taken from `columns`.
void accumulate_correlations(const ObservedBlock& block, std::span<double> PROX,
                             std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                             const Measure& measure, ColumnQueue& columns);

// The year loop's accumulation: the distances or the correlations that the
// measure calls for, over the pairs of the block's locations.
void accumulate_proximities(const ObservedBlock& block, std::span<double> PROX,
                            std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                            const Measure& measure, ColumnQueue& columns);

// Which of the compiled loops the accumulation uses: by default the widest
// vectors the processor has, or the portable loops only (for tests that
// compare the two, and for measurements). Both give the same bits.
enum class AccumulationLoops { kWidest, kPortable };
void use_accumulation_loops(AccumulationLoops loops);

}  // namespace locprox
