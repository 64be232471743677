// The rows of a trial table as the import holds them until the job files are
// written: for every row with a value, the year, location and entry by the
// order in which their names first appeared, and the value as the run will
// read it (single precision). 16 bytes a row; the names are held once each.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "format/zeroed_block.h"
#include "import/import_options.h"
#include "input/table_reader.h"

namespace locprox {

struct TableObservation {
  std::uint32_t year;      // order of first appearance, from 0
  std::uint32_t location;  // order of first appearance, from 0
  std::uint32_t entry;     // order of first appearance, from 0
  float value;
};

// The rows kept, in table order, in blocks of a fixed size: a row once stored
// is never copied again (a growing vector copied every row at each doubling,
// and the copies with their fresh pages were a quarter of the import's time).
// Each block is one huge page, a single fault where 4 KiB pages took 512.
class ObservationRows {
 public:
  void push_back(const TableObservation& row) {
    if (size_ % kBlockRows == 0) blocks_.push_back(std::make_unique<Block>(kBlockRows));
    blocks_.back()->span()[size_ % kBlockRows] = row;
    ++size_;
  }
  const TableObservation& operator[](std::size_t i) const {
    return blocks_[i / kBlockRows]->data()[i % kBlockRows];
  }
  std::size_t size() const { return size_; }

 private:
  using Block = ZeroedBlock<TableObservation>;
  static constexpr std::size_t kBlockRows = (std::size_t{2} << 20) / sizeof(TableObservation);
  std::vector<std::unique_ptr<Block>> blocks_;
  std::size_t size_ = 0;
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
  // Where `name` is or would go in slots_.
  std::size_t slot_of(std::string_view name, std::uint64_t hash) const;
  void grow();

  std::vector<std::string> names_;
  std::vector<std::uint64_t> hashes_;  // of each name
  // An open-addressed table of the names, at most half full: each slot holds
  // a name's index + 1, or 0. Its size is a power of two.
  std::vector<std::uint32_t> slots_;
  // The index of the name found last: tables in field-book order repeat the
  // year and the location row after row.
  std::uint32_t last_index_ = 0;
  bool has_last_ = false;
};

// Where the four columns are: 0-based field numbers and their headers.
struct TableColumns {
  std::size_t year = 0, location = 0, entry = 0, value = 0;
  std::string year_header, location_header, entry_header, value_header;
  // --no-year: the table has no year column; every row is of the year "1".
  bool no_year = false;
  // By role (year, location, entry, value): whether the column was found by
  // its usual headers rather than named by an option, and the other usual
  // headers of that role that the header also has, passed over.
  std::array<bool, 4> found_by_header{};
  std::array<std::vector<std::string>, 4> passed_over;
};

// The year's name in a table without a year column (--no-year).
inline constexpr std::string_view kOnlyYearName = "1";

// The headers by which a column not named by an option is found, in order
// of preference (compared without regard to case): role 0 year, 1 location,
// 2 entry, 3 value.
const std::vector<std::string_view>& usual_headers(std::size_t role);

// Name and value fields as the import reads them: blanks (and other
// control bytes) at either end are not part of them.
std::string_view trimmed(std::string_view field);

// Parses a value field: the number the run would read from the same text
// (single precision, E or D exponent), or with a semicolon delimiter also a
// decimal comma (1,5). Returns false for anything else.
bool parse_table_value(std::string_view text, char delimiter, float& value);

// What a data row holds, once checked: nothing (every field empty), names
// without a value, or names and a value (single precision, within range).
struct RowContents {
  enum class Kind { kEmpty, kMissing, kValue };
  Kind kind = Kind::kEmpty;
  std::string_view year, location, entry;
  float value = 0.0f;
};

// What reading rows gathers, kept alike by a whole table and by a stretch
// of one: the names numbered by their first appearance, the rows with a
// value (in `Rows`: the table's blocks or a stretch's vector), the lines of
// those rows where they do not follow on from the row before (a row left
// out, a blank line, a row of several lines: (index of the observation, its
// line); most tables have one row a line, so this stays short), and the
// counts.
template <class Rows>
struct RowTally {
  NameIndex years, locations, entries;
  Rows observations;
  std::vector<std::pair<std::size_t, long>> line_steps;
  long last_line = 0;
  std::size_t rows_read = 0;     // data rows that held something
  std::size_t rows_missing = 0;  // of those, rows without a value
  std::size_t rows_empty = 0;    // rows whose every field was empty

  // A row that held something: its names (trimmed, not empty), its value
  // (null when it has none) and the line it starts on. Every name gets its
  // number, even where the row has no value: a season without a harvest
  // stays in the sequence as a year without observations.
  void add(std::string_view year, std::string_view location, std::string_view entry,
           const float* value, long line) {
    ++rows_read;
    const TableObservation observation{years.index_of(year), locations.index_of(location),
                                       entries.index_of(entry), value ? *value : 0.0f};
    if (value == nullptr) {
      ++rows_missing;
      return;
    }
    if (line_steps.empty() || line != last_line + 1)
      line_steps.emplace_back(observations.size(), line);
    last_line = line;
    observations.push_back(observation);
  }
};

class TrialTable;

// The rows of one stretch of the table, read on a thread of their own: the
// names numbered by their first appearance within the stretch, the lines
// counted from the stretch's first line (1). TrialTable::append numbers them
// again as if the rows had been read one after the other.
class TableChunk : public RowHandler {
 public:
  explicit TableChunk(const TrialTable& table) : table_(table) {}
  // Room for `rows` rows with a value, so that they are not copied as they
  // come, in `storage` (the memory of a chunk already joined, whose pages
  // are in place) where it is large enough.
  void reserve(std::size_t rows, std::vector<TableObservation> storage = {}) {
    kept_.observations = std::move(storage);
    kept_.observations.clear();
    kept_.observations.reserve(rows);
  }
  // The rows' memory, for the next chunk, once the chunk is joined.
  std::vector<TableObservation> release() { return std::move(kept_.observations); }
  void header(const TableRow& row) override { this->row(row); }
  void row(const TableRow& row) override;

 private:
  friend class TrialTable;
  const TrialTable& table_;
  RowTally<std::vector<TableObservation>> kept_;
};

class TrialTable : public RowHandler {
 public:
  TrialTable(const ImportOptions& options, const TableReader& reader);

  void header(const TableRow& row) override;
  void row(const TableRow& row) override;
  // A row given in memory rather than read from the table: its names already
  // trimmed and not empty, its value (null when the row has none) already in
  // single precision and within range, and the line it stands for. The names
  // are numbered as a read row's are.
  void add_row(std::string_view year, std::string_view location, std::string_view entry,
               const float* value, long line);

  // Checks a data row (after the header) and finds its names and value;
  // throws ImportError naming the file, the line and the fault. Safe to call
  // from several threads at once.
  RowContents read_row(const TableRow& row) const;
  // The rows of a chunk read after every row so far, whose line 1 is the
  // table's line `first_line`. Throws ImportError past the most observations.
  void append(const TableChunk& chunk, long first_line);

  const TableColumns& columns() const { return columns_; }
  const NameIndex& years() const { return kept_.years; }
  const NameIndex& locations() const { return kept_.locations; }
  const NameIndex& entries() const { return kept_.entries; }
  const ObservationRows& observations() const { return kept_.observations; }
  // The table line on which the row of observations()[index] starts.
  long line_of(std::size_t index) const;
  // The lines of the rows of observations()[indices[i]], for indices in
  // ascending order, into `lines` (resized to match): one search for the
  // first, then a walk, where line_of would search for each.
  void lines_of(std::span<const std::uint32_t> indices, std::vector<long>& lines) const;
  std::size_t rows_read() const { return kept_.rows_read; }
  std::size_t rows_missing() const { return kept_.rows_missing; }
  std::size_t rows_empty() const { return kept_.rows_empty; }
  long header_line() const { return header_line_; }

 private:
  std::size_t find_column(const TableRow& header, const std::string& wanted,
                          std::string_view role) const;
  std::size_t find_usual_column(const TableRow& header, std::size_t role,
                                const std::vector<std::size_t>& taken);
  [[noreturn]] void fail(const TableRow& row, std::size_t column, std::string_view role,
                         const std::string& problem) const;
  bool is_missing(std::string_view value) const;
  void check_row_length(const TableRow& row) const;

  const ImportOptions& options_;
  const TableReader& reader_;
  // The missing-value markers as compared (trimmed), and a bit for each of
  // their lengths below 64: most values are of no marker's length.
  std::vector<std::string> missing_;
  std::uint64_t missing_lengths_ = 0;
  bool missing_long_ = false;  // a marker of 64 or more characters
  TableColumns columns_;
  std::size_t fields_needed_ = 0;
  std::size_t header_fields_ = 0;
  long header_line_ = 0;
  RowTally<ObservationRows> kept_;
};

}  // namespace locprox
