// The three counts of the names file (record 2 and on): the numbers of years,
// locations and entries of the data set, read free-form. One reading for
// every program that takes them: the run, which checks them against the
// problem size, and the summary, which checks them against the proximity
// file's dimension record.
#pragma once

#include <cstdint>

#include "format/free_form.h"

namespace locprox {

class InputUnit;

// Each count starts at 0, so a count that the free-form rules leave
// unassigned (a null value ",," or "r*", or a slash before it) is 0.
struct NamesCounts {
  std::int32_t years = 0;
  std::int32_t locations = 0;
  std::int32_t entries = 0;
};

// Reads the counts from the next record of `names` on. A malformed number
// stops the run naming the file and line. The end of the file before the
// third count returns kEndOfFile when `end_allowed`, and otherwise stops the
// run too.
ReadOutcome read_names_counts(InputUnit& names, NamesCounts& counts, bool end_allowed = false);

}  // namespace locprox
