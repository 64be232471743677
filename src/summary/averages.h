// From the running sums to the averages: PROX / NGPAIR for a weighted run,
// PROX / NYPAIR otherwise, only where that count is positive. A Fisher z
// average is turned back into a correlation with tanh unless the z scale is
// asked for. Beside each average stands the distance the clustering uses.
#pragma once

#include <cstdint>
#include <vector>

#include "summary/proximity_reader.h"

namespace locprox::summary {

enum class PairState : std::uint8_t {
  compared,        // the count is positive: there is an average
  never_compared,  // the count is 0
  unknown,         // the count was written as asterisks: no average can be formed
  no_value,        // a diagonal element that carries no average of this measure
};

struct Averages {
  std::int32_t locations = 0;
  // Packed upper triangles (see packed_index), diagonal included.
  std::vector<PairState> state;
  std::vector<double> value;             // the average shown; 0 where state != compared
  std::vector<double> distance;          // SED average, or 1 - r; used off the diagonal only
  std::vector<std::uint8_t> few_common;  // compared on fewer entries than the minimum
  // Entries in common behind the average: NGPAIR, except off the diagonal of a
  // Fisher z run, where the file counts each year's entries less 3 and the
  // entries are NGPAIR + 3 * NYPAIR (a year with 3 or fewer adds to neither).
  std::vector<std::int64_t> common;
  std::vector<std::uint8_t> common_known;  // false when a count it needs is asterisks
};

// Counts over the distinct pairs of locations (the diagonal left out).
struct PairCounts {
  std::int64_t pairs = 0;
  std::int64_t compared = 0;
  std::int64_t never_compared = 0;
  std::int64_t unknown = 0;
  std::int64_t few_common = 0;
};

// `keep_z`: show Fisher z averages on the z scale. `min_common`: a compared
// pair with fewer entries in common than this is flagged.
Averages form_averages(const ProximityFile& file, bool keep_z, std::int64_t min_common);

PairCounts count_pairs(const Averages& averages);

}  // namespace locprox::summary
