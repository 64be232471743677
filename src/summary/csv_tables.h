// The two CSV files: the tidy table of pairs, one row per pair, for R and
// pandas, and the square matrix of averages for a spreadsheet. Both have a
// header row; a pair without an average has an empty cell.
#pragma once

#include <string>
#include <vector>

#include "summary/averages.h"
#include "summary/proximity_reader.h"

namespace locprox::summary {

// Columns: location_i, name_i, location_j, name_j, average, sum,
// entries_in_common (see Averages::common), years_compared (NYPAIR); rows
// i <= j in reading order, the diagonal only where the measure fills it.
std::string pairs_csv(const ProximityFile& file, const Averages& averages,
                      const std::vector<std::string>& names);

// Names as the header row and the first column, averages in the cells.
std::string matrix_csv(const Averages& averages, const std::vector<std::string>& names);

// A CSV field, quoted when it holds a comma, a quote, a line end or blanks at
// either end.
std::string csv_field(const std::string& text);

}  // namespace locprox::summary
