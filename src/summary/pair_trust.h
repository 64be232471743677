// How far a pair's average can be trusted, from its yearly values: the 95 %
// interval of a weighted Fisher z average, Cochran's heterogeneity of the
// years, and the spread of the yearly values around the average. The pairs'
// table writes these columns; other reports may show them where present.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "summary/averages.h"
#include "summary/proximity_reader.h"
#include "summary/yearly_values.h"

namespace locprox::summary {

inline constexpr double kNormalQuantile975 = 1.959964;

struct PairTrust {
  // Weighted Fisher z runs only: tanh(z - 1.959964 / sqrt(NGPAIR)) and
  // tanh(z + ...) of the average z (on the z scale itself with `keep_z`).
  std::optional<double> ci_low;
  std::optional<double> ci_high;
  // Weighted Fisher z runs only: Q = sum over the years of w (z_year - z)^2,
  // w the year's count (entries in common less 3); df = years compared - 1;
  // p = the chi-square upper tail of Q on df. Q and p are empty when df = 0.
  std::optional<double> q;
  std::optional<std::int64_t> df;
  std::optional<double> p;
  // Every run with two or more years compared: the root of the mean squared
  // difference of the yearly values from the average, on the average's
  // scale, each year weighted by its count in a weighted run, equally in an
  // unweighted one (divided by the sum of the weights).
  std::optional<double> sd_years;
};

// One PairTrust per element of the packed triangle (see packed_index); the
// diagonal and pairs without an average stay empty, and so does any figure
// of a pair whose yearly values are not all known (a count written as
// asterisks in one of its years).
std::vector<PairTrust> pair_trust(const ProximityFile& file, const Averages& averages,
                                  const std::vector<YearlyValue>& values, bool keep_z);

}  // namespace locprox::summary
