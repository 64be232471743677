// The three files an import writes for a job STEM:
//  - STEM.NAQ, the names file: the title, the numbers of years, locations
//    and entries, then one name of at most 8 bytes per line for every year,
//    location and entry, in the order of their numbers;
//  - STEM.SEQ, the observations file: one line "year location entry value"
//    per observation, sorted by year number, within a year in table order;
//  - STEM.names.csv: kind,number,name,full_name for every year, location
//    and entry (name as in the names file, full_name as in the table).
// Lines end in LF; the run reads LF and CR LF alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/csv_field.h"
#include "import/import_options.h"
#include "import/numbering.h"
#include "import/output_files.h"
#include "import/short_names.h"
#include "import/trial_table.h"

namespace locprox {

struct NamesFileContents {
  std::string title;  // at most 50 bytes, one line
  const std::vector<std::string>* year_names;      // by year number
  const std::vector<std::string>* location_names;  // by location number
  const std::vector<std::string>* entry_names;     // by entry number
};

void write_names_file(OutputFile& file, const NamesFileContents& contents);

// What became of the table's observations.
struct ObservationCounts {
  std::size_t written = 0;          // lines of STEM.SEQ
  std::size_t cells = 0;            // distinct (year, location, entry) observed
  std::size_t replicated = 0;       // of those, cells with more than one row
  std::size_t replicate_rows = 0;   // rows in those cells
};

// The table's rows by year number, each year's in table order (a counting
// sort): the rows of year y are observations()[order[k]] for k from
// start[y] to start[y + 1] - 1. Made once for the job files.
struct RowsByYear {
  std::vector<std::size_t> start;
  std::vector<std::uint32_t> order;
};
RowsByYear rows_by_year(const ObservationRows& rows, const YearNumbering& years);

// The cells of several rows merged into their mean: the range (largest
// value less the smallest) of each, in the order of the observations file,
// and how many of them each year has (by year number, from 1).
struct MergedCells {
  std::vector<double> ranges;
  std::vector<std::size_t> per_year;
};

// Writes the observations sorted by year number. Under Replicates::kMean a
// cell of several rows becomes one line, the mean of their values: summed in
// double precision in table order, divided by their number, rounded to
// single precision. Every value is written as the shortest decimal text that
// reads back as the same single-precision number, so the run sees exactly
// the value (or mean) computed here. Under Replicates::kMean the merged
// cells go to `merged`, when given. With `threads` of 2 or more, the years
// of a large table are formatted on that many threads (the same bytes).
ObservationCounts write_observations_file(OutputFile& file, const TrialTable& table,
                                          const RowsByYear& by_year, const YearNumbering& years,
                                          Replicates replicates, MergedCells* merged = nullptr,
                                          unsigned threads = 1);

// What STEM.replicates.csv says of the merged cells whose rows lie far
// apart.
struct FarApartCells {
  std::size_t count = 0;
  std::string first;  // the first: its names and the lines of its rows
};

// STEM.replicates.csv: year,location,entry,rows,mean,min,max,far_apart,lines
// for every cell of several rows merged into their mean, in the order of the
// observations file (full names; the mean as written there, the smallest
// and largest value as the run reads them; far_apart "yes" when the range
// is more than `far_range`; the table lines of its rows, blank-separated).
// The cells are formed again a year at a time, so that nothing is kept of
// them for the whole table. `threads` as for write_observations_file.
FarApartCells write_replicates_table(OutputFile& file, const TrialTable& table,
                                     const RowsByYear& by_year, const YearNumbering& years,
                                     double far_range, unsigned threads = 1);

// The far-apart cells that write_replicates_table will find, found without
// writing it: counted from the merged cells' ranges, the first one's names
// and lines from the one year that holds it.
FarApartCells far_apart_cells(const TrialTable& table, const RowsByYear& by_year,
                              const YearNumbering& years, const MergedCells& merged,
                              double far_range);

// One line of STEM.names.csv per name; fields quoted where RFC 4180 needs it.
void write_names_table(OutputFile& file, const TrialTable& table, const YearNumbering& years,
                       const ShortNames& year_names, const ShortNames& location_names,
                       const ShortNames& entry_names);

}  // namespace locprox
