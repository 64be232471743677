#include "summary/averages.h"

#include <cmath>

namespace locprox::summary {

Averages form_averages(const ProximityFile& file, bool keep_z, std::int64_t min_common) {
  const Measure& measure = file.options;
  const YearGroup& group = file.group;
  const std::int32_t maxl = file.dims.maxl;
  const size_t ntm = static_cast<size_t>(file.dims.ntm);
  Averages out;
  out.locations = maxl;
  out.state.assign(ntm, PairState::never_compared);
  out.value.assign(ntm, 0.0);
  out.distance.assign(ntm, 0.0);
  out.few_common.assign(ntm, 0);
  out.common.assign(ntm, 0);
  out.common_known.assign(ntm, 1);
  const auto& counts = measure.weighted() ? group.ngpair : group.nypair;
  const auto& known = measure.weighted() ? group.ngpair_known : group.nypair_known;
  for (std::int32_t j = 1; j <= maxl; ++j) {
    for (std::int32_t i = 1; i <= j; ++i) {
      const size_t p = packed_index(i, j);
      const bool diagonal = i == j;
      if (measure.fisher_z() && !diagonal) {
        out.common[p] = std::int64_t{group.ngpair[p]} + 3 * std::int64_t{group.nypair[p]};
        out.common_known[p] = group.ngpair_known[p] && group.nypair_known[p];
      } else {
        out.common[p] = group.ngpair[p];
        out.common_known[p] = group.ngpair_known[p];
      }
      // The squared Euclidean distance is only formed between two locations.
      if (diagonal && measure.distance()) {
        out.state[p] = PairState::no_value;
        continue;
      }
      if (!known[p]) {
        out.state[p] = PairState::unknown;
        continue;
      }
      if (counts[p] <= 0) continue;  // never compared
      const double average = group.prox[p] / static_cast<double>(counts[p]);
      double shown = average;
      double r = average;
      // The diagonal of a Fisher z run holds plain correlations (never
      // transformed); it has no z-scale value.
      if (measure.fisher_z() && !diagonal) {
        r = std::tanh(average);
        shown = keep_z ? average : r;
      } else if (measure.fisher_z() && keep_z) {
        out.state[p] = PairState::no_value;
        continue;
      }
      out.state[p] = PairState::compared;
      out.value[p] = shown;
      out.distance[p] = measure.distance() ? average : 1.0 - r;
      // A count too wide for its field is a million or more: never too few.
      out.few_common[p] = out.common_known[p] && out.common[p] < min_common;
    }
  }
  return out;
}

PairCounts count_pairs(const Averages& averages) {
  PairCounts counts;
  for (std::int32_t j = 2; j <= averages.locations; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      ++counts.pairs;
      switch (averages.state[p]) {
        case PairState::compared:
          ++counts.compared;
          counts.few_common += averages.few_common[p];
          break;
        case PairState::never_compared:
          ++counts.never_compared;
          break;
        case PairState::unknown:
          ++counts.unknown;
          break;
        case PairState::no_value:
          break;
      }
    }
  }
  return counts;
}

}  // namespace locprox::summary
