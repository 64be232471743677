#include "summary/names_table.h"

#include <array>
#include <cstdint>

#include "input/names_table.h"
#include "summary/output_file.h"
#include "input/table_error.h"
#include "summary/command_line.h"
#include "summary/errors.h"
#include "summary/job_names.h"

namespace locprox::summary {

std::string default_names_table(const std::string& proximity_file) {
  return job_stem(proximity_file) + ".names.csv";
}

NamesTable read_names_table(const std::string& path, const Dimensions& dims) {
  NamesTableRows rows;
  try {
    rows = locprox::read_names_table(readable_path(path));
  } catch (const TableError& fault) {
    if (fault.fault() != TableError::Fault::kNotATable) throw InputError(fault.what());
    // Malformed quoting: "FILE, line N: not CSV: ...", the form of the
    // summary's other messages about a line.
    std::string problem = "not CSV: ";
    if (fault.column() > 0) problem += "column " + std::to_string(fault.column()) + ": ";
    if (fault.line() <= 0) throw InputError(path + ": " + problem + fault.problem());
    throw error_at(path, fault.line(), problem + fault.problem());
  }
  constexpr std::array<NameKind, 3> kinds = {NameKind::kYear, NameKind::kLocation,
                                             NameKind::kEntry};
  const std::array<std::int64_t, 3> expected = {dims.maxy, dims.maxl, dims.maxg};
  for (std::size_t k = 0; k < 3; ++k) {
    const std::size_t count = rows.of(kinds[k]).size();
    // Counts written as asterisks in the proximity file (-1) are not checked.
    if (expected[k] >= 0 && static_cast<std::int64_t>(count) != expected[k]) {
      throw InputError(path + ": the table lists " + std::to_string(count) + " " +
                       kind_plural(kinds[k]) + " where the proximity file has " +
                       std::to_string(expected[k]) + "; it belongs to another job");
    }
  }
  NamesTable table;
  std::vector<std::string>* lists[3] = {&table.years, &table.locations, &table.entries};
  for (std::size_t k = 0; k < 3; ++k) {
    for (const TableName& row : rows.of(kinds[k])) {
      // The full name, or the name where the full name is empty.
      std::string full = display_name(row.full_name);
      if (full.empty()) full = display_name(row.name);
      lists[k]->push_back(std::move(full));
      if (kinds[k] == NameKind::kLocation) {
        table.location_short_names.push_back(display_name(row.name));
      }
    }
  }
  return table;
}

}  // namespace locprox::summary
