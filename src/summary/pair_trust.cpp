#include "summary/pair_trust.h"

#include <cmath>

#include "summary/chi_square.h"

namespace locprox::summary {

namespace {

// A pair's sums over its yearly values, in the order of the years.
struct YearSums {
  std::int64_t years = 0;
  double weight = 0.0;   // sum of w
  double squares = 0.0;  // sum of w (z_year - z)^2, on the z scale
  double spread = 0.0;   // sum of w (value_year - average)^2, on the average's scale
};

}  // namespace

std::vector<PairTrust> pair_trust(const ProximityFile& file, const Averages& averages,
                                  const std::vector<YearlyValue>& values, bool keep_z) {
  const Measure& measure = file.options;
  const YearGroup& group = file.group;
  const size_t ntm = averages.state.size();
  std::vector<PairTrust> out(ntm);
  const bool interval = measure.fisher_z() && measure.weighted();

  // The average on the z scale (Fisher z) or as shown, for every pair.
  auto z_average = [&](size_t p) { return group.prox[p] / static_cast<double>(group.ngpair[p]); };
  std::vector<YearSums> sums(ntm);
  for (const YearlyValue& v : values) {
    const size_t p = packed_index(v.i, v.j);
    if (averages.state[p] != PairState::compared) continue;
    YearSums& s = sums[p];
    const double w = measure.weighted() ? static_cast<double>(v.weight) : 1.0;
    ++s.years;
    s.weight += w;
    if (interval) {
      const double d = v.z - z_average(p);
      s.squares += w * (d * d);
    }
    const double e = v.value - averages.value[p];
    s.spread += w * (e * e);
  }

  for (std::int32_t j = 2; j <= averages.locations; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      if (averages.state[p] != PairState::compared) continue;
      PairTrust& t = out[p];
      if (interval && averages.common_known[p]) {
        const double z = z_average(p);
        const double half = kNormalQuantile975 / std::sqrt(static_cast<double>(group.ngpair[p]));
        t.ci_low = keep_z ? z - half : std::tanh(z - half);
        t.ci_high = keep_z ? z + half : std::tanh(z + half);
      }
      // Every year must be there for the figures over the years.
      const YearSums& s = sums[p];
      if (!group.nypair_is_known(p) || s.years != group.nypair[p] || s.weight <= 0.0) continue;
      if (interval) {
        t.df = s.years - 1;
        if (*t.df > 0) {
          t.q = s.squares;
          t.p = chi_square_upper_tail(s.squares, *t.df);
        }
      }
      if (s.years >= 2) t.sd_years = std::sqrt(s.spread / s.weight);
    }
  }
  return out;
}

}  // namespace locprox::summary
