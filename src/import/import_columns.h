// The import of a trial table held in memory as four columns (a data frame
// handed over by R, say) rather than read from a file. The rows go through
// the same numbering, replicate means, names and job writer as a table's, so
// the job files are those `locprox import` writes for a table with the same
// rows.
#pragma once

#include <string>
#include <vector>

#include "import/import_options.h"
#include "import/import_table.h"

namespace locprox {

struct TrialColumns {
  // What messages and the job's default title call the table.
  std::string name = "data";
  // The columns' headers, for messages.
  std::string year_header = "year", location_header = "location", entry_header = "entry",
              value_header = "value";
  // One element per row. Names are taken without blanks (and other control
  // bytes) at either end, as a table's fields are; a value that is NaN is
  // not observed.
  std::vector<std::string> years, locations, entries;
  std::vector<double> values;
};

// Writes STEM.NAQ, STEM.SEQ and STEM.names.csv for the rows (`options.stem`,
// by default the columns' name; `options.title`, by default the columns'
// name; `options.replicates`; the options about reading a file play no
// part). A value is rounded to single precision, as the run holds it.
// Throws ImportError, having written nothing, for columns of different
// lengths, an empty name, a value that is infinite or beyond 1.0E+30 in
// magnitude, no rows, or files that cannot be written; the message names the
// row (counted from 1) and the column.
ImportResult import_columns(const TrialColumns& columns, const ImportOptions& options);

}  // namespace locprox
