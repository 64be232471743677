// Each year's own value of a pair, taken from the proximity file's running
// state: the year's sums and counts are the difference of its group and the
// group before it (nothing before the first year).
#pragma once

#include <cstdint>
#include <vector>

#include "summary/proximity_reader.h"

namespace locprox::summary {

// One pair of distinct locations in one year in which it was compared (its
// NYPAIR grew).
struct YearlyValue {
  size_t year_index = 0;  // into ProximityHistory::years
  std::int32_t i = 0;     // location numbers, i < j
  std::int32_t j = 0;
  // On the scale of the pairs' average: the year's sum over its count in a
  // weighted run, the sum alone in an unweighted one; under Fisher z the
  // correlation tanh(z), or z itself with `keep_z`.
  double value = 0.0;
  double z = 0.0;                      // the year's own z under Fisher z, else `value`
  std::int64_t weight = 0;             // the year's NGPAIR difference
  std::int64_t entries_in_common = 0;  // under Fisher z the weight plus 3
};

// Every pair and year compared, year by year, pairs in reading order (i
// before j, columns j ascending). A pair with a count written as asterisks
// in the year or the year before is left out.
std::vector<YearlyValue> yearly_values(const ProximityHistory& history, bool keep_z);

}  // namespace locprox::summary
