#include "import/import_columns.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "format/free_form.h"
#include "import/short_names.h"
#include "import/import_error.h"
#include "import/trial_table.h"
#include "input/table_reader.h"

namespace locprox {
namespace {

constexpr std::size_t kTitleLength = 50;
// The largest magnitude a table's value may have, as the table's rows are
// checked: beyond it single precision would overflow in the run's sums.
constexpr float kLargestValue = 1.0e30f;

// The shortest text that reads back as `value`, for messages.
std::string value_text(double value) {
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

}  // namespace

ImportResult import_columns(const TrialColumns& columns, const ImportOptions& options) {
  const std::size_t rows = columns.years.size();
  if (columns.locations.size() != rows || columns.entries.size() != rows ||
      columns.values.size() != rows) {
    throw ImportError(columns.name + ": the columns differ in length (" + std::to_string(rows) +
                      " years, " + std::to_string(columns.locations.size()) + " locations, " +
                      std::to_string(columns.entries.size()) + " entries, " +
                      std::to_string(columns.values.size()) + " values)");
  }

  ImportResult result;
  result.table = columns.name;
  result.replicates = options.replicates;
  result.stem = options.stem ? *options.stem : columns.name;
  result.names_file = result.stem + ".NAQ";
  result.observations_file = result.stem + ".SEQ";
  result.names_table = result.stem + ".names.csv";
  result.title = one_line_text(options.title ? *options.title : columns.name, kTitleLength);
  result.columns.year_header = columns.year_header;
  result.columns.location_header = columns.location_header;
  result.columns.entry_header = columns.entry_header;
  result.columns.value_header = columns.value_header;
  result.columns.location = 1;
  result.columns.entry = 2;
  result.columns.value = 3;

  // The table's own store of rows, filled from the columns: the reader is
  // never fed, it only lends the name messages use.
  const TableReader reader(columns.name, ',');
  TrialTable table(options, reader);
  const auto fail = [&](std::size_t row, const std::string& header, const std::string& problem) {
    throw ImportError(columns.name + ", row " + std::to_string(row + 1) + " (" +
                      quoted_for_message(header) + "): " + problem);
  };
  for (std::size_t row = 0; row < rows; ++row) {
    // The line the row would be on in a table with a header line.
    const long line = static_cast<long>(row) + 2;
    const std::string_view year = trimmed(columns.years[row]);
    const std::string_view location = trimmed(columns.locations[row]);
    const std::string_view entry = trimmed(columns.entries[row]);
    if (year.empty()) fail(row, columns.year_header, "the year is empty");
    if (location.empty()) fail(row, columns.location_header, "the location is empty");
    if (entry.empty()) fail(row, columns.entry_header, "the entry is empty");
    const double value = columns.values[row];
    if (std::isnan(value)) {
      table.add_row(year, location, entry, nullptr, line);
      continue;
    }
    if (std::isinf(value)) fail(row, columns.value_header, value_text(value) + " is not finite");
    const float single = static_cast<float>(value);
    if (!(std::fabs(single) <= kLargestValue)) {
      fail(row, columns.value_header, value_text(value) + " is beyond 1.0E+30 in magnitude");
    }
    table.add_row(year, location, entry, &single, line);
  }
  result.rows_read = table.rows_read();
  result.rows_missing = table.rows_missing();

  if (table.years().size() == 0) throw ImportError(columns.name + ": there are no rows");
  write_job_files(table, options, result);
  return result;
}

}  // namespace locprox
