// The rows of a trial table as the import holds them until the job files are
// written: for every row with a value, the year, location and entry by the
// order in which their names first appeared, and the value as the run will
// read it (single precision). 16 bytes a row; the names are held once each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/import_options.h"
#include "input/table_reader.h"

namespace locprox {

struct TableObservation {
  std::uint32_t year;      // order of first appearance, from 0
  std::uint32_t location;  // order of first appearance, from 0
  std::uint32_t entry;     // order of first appearance, from 0
  float value;
};

// The names of one kind (years, locations or entries) in the order of their
// first appearance.
class NameIndex {
 public:
  // The index of `name`, which is added when it is new.
  std::uint32_t index_of(std::string_view name);
  const std::vector<std::string>& names() const { return names_; }
  std::size_t size() const { return names_.size(); }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>> index_;
  std::vector<std::string> names_;
  // The name asked for last: tables in field-book order repeat the year and
  // the location row after row.
  std::string last_name_;
  std::uint32_t last_index_ = 0;
  bool has_last_ = false;
};

// Where the four columns are: 0-based field numbers and their headers.
struct TableColumns {
  std::size_t year = 0, location = 0, entry = 0, value = 0;
  std::string year_header, location_header, entry_header, value_header;
};

// Name and value fields as the import reads them: blanks (and other
// control bytes) at either end are not part of them.
std::string_view trimmed(std::string_view field);

// Parses a value field: the number the run would read from the same text
// (single precision, E or D exponent), or with a semicolon delimiter also a
// decimal comma (1,5). Returns false for anything else.
bool parse_table_value(std::string_view text, char delimiter, float& value);

class TrialTable : public RowHandler {
 public:
  TrialTable(const ImportOptions& options, const TableReader& reader);

  void header(const TableRow& row) override;
  void row(const TableRow& row) override;
  // A row given in memory rather than read from the table: its names already
  // trimmed and not empty, its value (null when the row has none) already in
  // single precision and within range. The names are numbered as a read
  // row's are.
  void add_row(std::string_view year, std::string_view location, std::string_view entry,
               const float* value);

  const TableColumns& columns() const { return columns_; }
  const NameIndex& years() const { return years_; }
  const NameIndex& locations() const { return locations_; }
  const NameIndex& entries() const { return entries_; }
  const std::vector<TableObservation>& observations() const { return observations_; }
  std::size_t rows_read() const { return rows_read_; }
  std::size_t rows_missing() const { return rows_missing_; }
  std::size_t rows_empty() const { return rows_empty_; }
  long header_line() const { return header_line_; }

 private:
  std::size_t find_column(const TableRow& header, const std::string& wanted,
                          std::string_view role) const;
  [[noreturn]] void fail(const TableRow& row, std::size_t column, std::string_view role,
                         const std::string& problem) const;
  bool is_missing(std::string_view value) const;

  const ImportOptions& options_;
  const TableReader& reader_;
  TableColumns columns_;
  std::size_t fields_needed_ = 0;
  long header_line_ = 0;
  NameIndex years_, locations_, entries_;
  std::vector<TableObservation> observations_;
  std::size_t rows_read_ = 0;     // data rows that held something
  std::size_t rows_missing_ = 0;  // of those, rows without a value
  std::size_t rows_empty_ = 0;    // rows whose every field was empty
};

}  // namespace locprox
