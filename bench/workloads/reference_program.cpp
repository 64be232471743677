// The accumulation of locprox-reference: the program's operations, carried
// out by the one-pair-at-a-time reference (tests/analysis/
// reference_accumulation.h). Built only with -DLOCPROX_BENCH_REFERENCE=ON, in
// place of src/analysis/proximity_accumulation.cpp.
#include "analysis/proximity_accumulation.h"
#include "analysis/reference_accumulation.h"

namespace locprox {

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT) {
  reference::accumulate_distances(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT);
}

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT, ColumnQueue& columns) {
  reference::accumulate_distances(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, columns);
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP) {
  reference::accumulate_correlations(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT,
                                     CORTYP);
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP, ColumnQueue& columns) {
  reference::accumulate_correlations(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, CORTYP,
                                     columns);
}

}  // namespace locprox
