// The accumulation and the listing of what a year observed over a year's
// whole arrays, for the tests and the benchmarks: the program itself works
// on the observed blocks only (analysis/observed_blocks.h). YDATA and INCID
// are MAXL x MAXG, column by column; the results are those of the block
// functions on the block that is the whole year.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/observed_blocks.h"
#include "analysis/proximity_accumulation.h"
#include "format/measure.h"

namespace locprox {

// accumulate_distances over every pair I < J of the whole arrays.
void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          const Measure& measure);
// The same for the columns taken from `columns` only.
void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          const Measure& measure, ColumnQueue& columns);

// accumulate_correlations over every pair I <= J of the whole arrays.
void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             const Measure& measure);
// The same for the columns taken from `columns` only.
void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             const Measure& measure, ColumnQueue& columns);

// Lists the locations (observed_locations, MAXL elements of room) and the
// entries (observed_entries, MAXG elements) that INCID observes, as 0-based
// numbers in ascending order, and returns how many of each: what
// list_observed gives from the reader's marks, found from INCID itself.
ObservedCounts find_observed(std::span<std::int32_t> observed_locations,
                             std::span<std::int32_t> observed_entries,
                             std::span<const std::int32_t> INCID, std::int32_t MAXL,
                             std::int32_t MAXG);

}  // namespace locprox
