// Free-form reading of integers, as the names file's counts are written:
// separated by blanks, tabs or a comma, on one record or spread over several;
// a slash ends the read, two commas in a row give a null value, r*v stands for
// r copies of v and r* for r null values. What follows the last value needed
// on its record is ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace locprox::summary {

class LineReader;

// Reads `count` values starting at the next record of `in`. An element stays
// empty when the read assigned it nothing (slash or null value). Throws
// InputError for a malformed value or an end of file before the read is done.
std::vector<std::optional<std::int64_t>> read_free_form_integers(LineReader& in, int count);

}  // namespace locprox::summary
