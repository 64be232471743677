// Leave-one-year-out: is the grouping repeatable, or did one season make it?
// For every year compared, that year's sums and counts are taken out of the
// final state (a pair whose count falls to 0 becomes never compared), the
// locations are clustered exactly as the summary clusters them, and the tree
// is cut into the same number of groups as the full data's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "summary/proximity_reader.h"

namespace locprox::summary {

struct Stability {
  std::int32_t groups = 0;
  std::vector<std::int32_t> full_group;  // per location (0-based), 1 .. groups: the full data's
  // The years compared (a pair of distinct locations grew its NYPAIR).
  std::int64_t years_compared = 0;
  // The years left out, as indexes into history.years: every year compared,
  // or none when fewer than two were (leaving out the only year leaves
  // nothing to group).
  std::vector<size_t> runs;
  // Per pair i < j, packed as packed_index(i, j): in how many runs the two
  // locations were in one group.
  std::vector<std::int32_t> together;
  // Per full-data group g (index g - 1): in how many runs all its members
  // were in one group.
  std::vector<std::int32_t> stayed_whole;
  // Per location: in how many runs it was in the run's group that holds the
  // most members of its full-data group (of two such, the one holding the
  // lowest location number).
  std::vector<std::int32_t> stayed_home;
  // Per run: the adjusted Rand index of the run's grouping against the full
  // data's (1 when the two are the same).
  std::vector<double> adjusted_rand;
};

// `file` is the summarised year's group; `history.years` run from the first
// year to it. `keep_z` and the clustering follow the summary's own run. The
// runs are clustered on `threads` threads (0: every hardware thread), each
// on its own; the result is the same for any number.
Stability leave_one_year_out(const ProximityFile& file, const ProximityHistory& history,
                             std::int32_t groups, unsigned threads = 1);

// What the clustering of `file` with year k of `history` taken out is given:
// per packed pair, whether it is compared and its distance, as
// form_averages() forms them on the file less that year's sums and counts
// (a pair left with no year compared is never compared; one whose count of
// that year or the one before is not known has no average). Diagonal
// elements stay not compared. The vectors are refilled, keeping their memory.
void distances_without_year(const ProximityFile& file, const ProximityHistory& history, size_t k,
                            std::vector<double>& distance, std::vector<std::uint8_t>& compared);

// The adjusted Rand index of two groupings of the same locations (group
// numbers from 1); 1 when both put every location alone or all together.
double adjusted_rand_index(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b);

}  // namespace locprox::summary
