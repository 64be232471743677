// What `locprox import` is asked to do.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace locprox {

// What becomes of several rows for the same year, location and entry.
enum class Replicates {
  kMean,  // one observation: the mean of the rows' values
  kLast,  // every row, in table order: the run keeps the last and reports each repeat
};

struct ImportOptions {
  std::string table;  // the table's path
  // Columns, each by its header (compared without regard to case) or by its
  // 1-based number; a column not named is found by its usual headers
  // (usual_headers in trial_table.h).
  std::optional<std::string> year_column;
  std::optional<std::string> location_column;
  std::optional<std::string> entry_column;
  std::optional<std::string> value_column;
  // The table has no year column: it is one season, the year "1".
  bool no_year = false;
  std::optional<std::string> stem;   // default: the table's file name without its extension
  std::optional<std::string> title;  // default: the table's file name
  // Values that mean "not observed", besides an empty field; compared
  // without regard to case.
  std::vector<std::string> missing = {"NA", "NaN", ".", "-"};
  char delimiter = 0;  // 0: found from the header line
  Replicates replicates = Replicates::kMean;
  // Threads that read the table (0: every hardware thread). The job files
  // are the same for any number.
  unsigned threads = 0;
  // The size of the stretches the table is cut into to be read in parallel
  // (0: the usual size); tests make it small.
  std::size_t chunk_bytes = 0;
  // The observations file is also kept in memory, for a run that follows
  // (ImportResult::observations_bytes).
  bool keep_observations = false;
};

}  // namespace locprox
