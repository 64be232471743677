// The names the outputs show, and where they come from: the full names of
// STEM.names.csv when it is beside the proximity file, else the names file
// (STEM.NAQ, or the one given with --names), else numbers.
#pragma once

#include <string>
#include <vector>

#include "summary/command_line.h"
#include "summary/proximity_reader.h"

namespace locprox::summary {

struct ShownNames {
  std::string title;                   // the job's title, trimmed; empty without a names file
  std::vector<std::string> years;      // by year number; empty when not known
  std::vector<std::string> locations;  // MAXL names
  std::string source;                  // "names from X" or "numbered: no names file X"
  std::vector<std::string> warnings;   // for standard error
};

// With --names only that file is read. Otherwise STEM.names.csv, when it is
// there, gives the names, and STEM.NAQ the title; when both are there and the
// table's short names are not the names file's, the table belongs to
// another import: a warning says so and the names file's names are shown.
// Throws InputError for a table or names file that cannot be read or belongs
// to another job.
ShownNames shown_names(const CommandLine& command, const ProximityFile& file);

}  // namespace locprox::summary
