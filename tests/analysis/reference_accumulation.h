// The proximity accumulation written the plain way, as the reference that
// the shipped, vectorised accumulation (analysis/proximity_accumulation.h)
// must reproduce bit for bit: one pair at a time, its entries in ascending
// order, each formula as it stands, no vectorising, no grouping of entries.
// The tests compare against it, and bench/ builds a reference program from
// it whose outputs give the benchmark checksums.
#pragma once

#include <cstdint>
#include <span>

#include "analysis/proximity_accumulation.h"

namespace locprox::reference {

// The same operations with the same arguments and results as
// locprox::accumulate_distances and locprox::accumulate_correlations.
void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT);
void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT, ColumnQueue& columns);

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP);
void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP, ColumnQueue& columns);

}  // namespace locprox::reference
