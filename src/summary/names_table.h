// STEM.names.csv, the table of names that `locprox import` writes beside the
// job files: one row per year, location and entry with its number, the name
// written to the names file (cut to 8 characters) and the full name. The
// summary shows the full names where the table is there.
//
// The table is read by the core's reader of it (src/input/names_table.h);
// here it is checked against the proximity file's counts and its names are
// put in display form.
#pragma once

#include <string>
#include <vector>

#include "summary/proximity_reader.h"

namespace locprox::summary {

struct NamesTable {
  // Display form (see display_name), index = number - 1. The full name, or
  // the name where the full name is empty.
  std::vector<std::string> years;
  std::vector<std::string> locations;
  std::vector<std::string> entries;
  // The `name` column of the locations (display form): the names the names
  // file holds.
  std::vector<std::string> location_short_names;
};

// Throws InputError naming the file and line for a table that is not CSV, a
// missing column, a kind other than year, location or entry, a number that
// is not a positive whole number or stands twice, a number missing from
// 1..N, and for counts that disagree with `dims` (counts written as
// asterisks there are not checked).
NamesTable read_names_table(const std::string& path, const Dimensions& dims);

// STEM.names.csv beside the proximity file.
std::string default_names_table(const std::string& proximity_file);

}  // namespace locprox::summary
