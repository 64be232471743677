#include "summary/yearly_values.h"

#include <cmath>

namespace locprox::summary {

std::vector<YearlyValue> yearly_values(const ProximityHistory& history, bool keep_z) {
  std::vector<YearlyValue> out;
  const Measure& measure = history.options;
  const std::int32_t maxl = history.dims.maxl;
  // Room for every pair and year whose NYPAIR grew, counted first: the list
  // runs to millions of values in a long run, and growing it step by step
  // would copy it over and over.
  size_t grown = 0;
  for (size_t k = 0; k < history.years.size(); ++k) {
    const auto& now = history.years[k].nypair;
    for (size_t p = 0; p < now.size(); ++p)
      grown += now[p] > (k == 0 ? 0 : history.years[k - 1].nypair[p]);
  }
  out.reserve(grown);
  for (size_t k = 0; k < history.years.size(); ++k) {
    const YearGroup& now = history.years[k];
    const YearGroup* before = k == 0 ? nullptr : &history.years[k - 1];
    for (std::int32_t j = 2; j <= maxl; ++j) {
      for (std::int32_t i = 1; i < j; ++i) {
        const size_t p = packed_index(i, j);
        if (!now.ngpair_is_known(p) || !now.nypair_is_known(p)) continue;
        if (before && (!before->ngpair_is_known(p) || !before->nypair_is_known(p))) continue;
        const std::int64_t years = std::int64_t{now.nypair[p]} - (before ? before->nypair[p] : 0);
        if (years <= 0) continue;  // not compared this year
        const std::int64_t weight = std::int64_t{now.ngpair[p]} - (before ? before->ngpair[p] : 0);
        const double sum = now.prox[p] - (before ? before->prox[p] : 0.0);
        YearlyValue v;
        v.year_index = k;
        v.i = i;
        v.j = j;
        v.weight = weight;
        double average = sum;
        if (measure.weighted()) {
          if (weight <= 0) continue;
          average = sum / static_cast<double>(weight);
        }
        v.z = average;
        v.value = measure.fisher_z() && !keep_z ? std::tanh(average) : average;
        v.entries_in_common = measure.fisher_z() ? weight + 3 : weight;
        out.push_back(v);
      }
    }
  }
  return out;
}

}  // namespace locprox::summary
