#include "analysis/whole_arrays.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace locprox {
namespace {

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

}  // namespace

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

ObservedCounts find_observed(std::span<std::int32_t> observed_locations,
                             std::span<std::int32_t> observed_entries,
                             std::span<const std::int32_t> INCID, std::int32_t MAXL,
                             std::int32_t MAXG) {
  ObservedCounts counts;
  if (MAXL <= 0 || MAXG <= 0) return counts;
  const std::size_t nl = at(MAXL);
  const std::size_t ng = at(MAXG);
  assert(observed_locations.size() >= nl && observed_entries.size() >= ng &&
         INCID.size() >= nl * ng);
  // observed_locations first serves as the per-location flags, walked in storage order.
  std::fill_n(observed_locations.begin(), nl, 0);
  for (std::size_t g = 0; g < ng; ++g) {
    const std::int32_t* inc = INCID.data() + g * nl;
    std::int32_t any = 0;
    for (std::size_t l = 0; l < nl; ++l) {
      observed_locations[l] |= inc[l];
      any |= inc[l];
    }
    if (any != 0)
      observed_entries[at(counts.observed_entry_count++)] = static_cast<std::int32_t>(g);
  }
  for (std::size_t l = 0; l < nl; ++l) {
    if (observed_locations[l] != 0)
      observed_locations[at(counts.observed_location_count++)] = static_cast<std::int32_t>(l);
  }
  return counts;
}

}  // namespace locprox
