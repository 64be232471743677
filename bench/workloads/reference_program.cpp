// The accumulation of locprox-reference: the program's operations, carried
// out by the one-pair-at-a-time reference (tests/analysis/
// reference_accumulation.h). Built only with -DLOCPROX_BENCH_REFERENCE=ON, in
// place of src/analysis/proximity_accumulation.cpp.
#include "analysis/proximity_accumulation.h"
#include "analysis/reference_accumulation.h"

namespace locprox {

void accumulate_distances(const ObservedBlock& block, std::span<double> PROX,
                          std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                          const Measure& measure, ColumnQueue& columns) {
  reference::accumulate_distances(block, PROX, NGPAIR, NYPAIR, measure.WEIGHT, columns);
}

void accumulate_correlations(const ObservedBlock& block, std::span<double> PROX,
                             std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                             const Measure& measure, ColumnQueue& columns) {
  reference::accumulate_correlations(block, PROX, NGPAIR, NYPAIR, measure.WEIGHT, measure.CORTYP,
                                     columns);
}

void accumulate_proximities(const ObservedBlock& block, std::span<double> PROX,
                            std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                            const Measure& measure, ColumnQueue& columns) {
  if (measure.distance()) {
    reference::accumulate_distances(block, PROX, NGPAIR, NYPAIR, measure.WEIGHT, columns);
  } else {
    reference::accumulate_correlations(block, PROX, NGPAIR, NYPAIR, measure.WEIGHT, measure.CORTYP,
                                       columns);
  }
}

}  // namespace locprox
