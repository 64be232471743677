#include "import/trial_table.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "format/free_form.h"
#include "import/import_error.h"

namespace locprox {
namespace {

// Values beyond this magnitude would overflow single precision in the run's
// sums; the run refuses them, so the import refuses them already.
constexpr float kLargestValue = 1.0e30f;

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The text with a decimal comma in place of the point, when the table is
// semicolon-separated and the text has one comma and no point; else empty.
std::string with_decimal_point(std::string_view text, char delimiter) {
  if (delimiter != ';') return {};
  if (text.find('.') != std::string_view::npos) return {};
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos || text.find(',', comma + 1) != std::string_view::npos)
    return {};
  std::string respelled(text);
  respelled[comma] = '.';
  return respelled;
}

// The run's grammar of a real number: [sign] digits [. digits]
// [(E|D) [sign] digits], with at least one digit before the exponent.
bool is_real_shaped(std::string_view t) {
  std::size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  std::size_t digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i == t.size()) return true;
  if (t[i] != 'E' && t[i] != 'e' && t[i] != 'D' && t[i] != 'd') return false;
  ++i;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t exponent_digits = 0;
  while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i, ++exponent_digits;
  return exponent_digits > 0 && i == t.size();
}

// Whether a text that the run does not take as a number is one after all,
// only too large for single precision.
bool is_number_beyond_range(std::string_view text) {
  if (!is_real_shaped(text)) return false;
  std::string copy(text);
  for (char& c : copy)
    if (c == 'D' || c == 'd') c = 'E';
  return !(std::fabs(std::strtod(copy.c_str(), nullptr)) <= 1.0e30);
}

// A header as messages show it: its unshowable bytes escaped, cut short.
std::string shown(std::string_view text) {
  const std::string quoted = quoted_for_message(text);
  return quoted.substr(1, quoted.size() - 2);
}

const char* role_option(std::string_view role) {
  if (role == "year") return "--year";
  if (role == "location") return "--location";
  if (role == "entry") return "--entry";
  return "--value";
}

}  // namespace

std::uint32_t NameIndex::index_of(std::string_view name) {
  if (has_last_ && name == last_name_) return last_index_;
  const auto found = index_.find(name);
  if (found != index_.end()) {
    last_name_ = name;
    last_index_ = found->second;
    has_last_ = true;
    return found->second;
  }
  if (names_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw ImportError("more than 2147483647 different names of one kind");
  }
  const auto index = static_cast<std::uint32_t>(names_.size());
  names_.emplace_back(name);
  index_.emplace(names_.back(), index);
  return index;
}

std::string_view trimmed(std::string_view field) {
  while (!field.empty() && static_cast<unsigned char>(field.front()) <= ' ') field.remove_prefix(1);
  while (!field.empty() && static_cast<unsigned char>(field.back()) <= ' ') field.remove_suffix(1);
  return field;
}

bool parse_table_value(std::string_view text, char delimiter, float& value) {
  if (parse_real(text, value)) return true;
  const std::string respelled = with_decimal_point(text, delimiter);
  return !respelled.empty() && parse_real(respelled, value);
}

TrialTable::TrialTable(const ImportOptions& options, const TableReader& reader)
    : options_(options), reader_(reader) {}

std::size_t TrialTable::find_column(const TableRow& header, const std::string& wanted,
                                    std::string_view role) const {
  const std::string_view name = trimmed(wanted);
  std::vector<std::size_t> matches;
  for (std::size_t i = 0; i < header.size(); ++i)
    if (equal_ignoring_case(trimmed(header.field(i)), name)) matches.push_back(i);
  const std::string where = reader_.file_name() + ", line " + std::to_string(header.line()) + ": ";
  if (matches.size() == 1) return matches[0];
  if (matches.size() > 1) {
    throw ImportError(where + "the " + std::string(role) + " column " + quoted_for_message(name) +
                      " is the header of columns " + std::to_string(matches[0] + 1) + " and " +
                      std::to_string(matches[1] + 1) + "; give its number with " +
                      role_option(role));
  }
  if (all_digits(name)) {
    const std::size_t number =
        name.size() > 9 ? std::numeric_limits<std::size_t>::max() : std::stoul(std::string(name));
    if (number >= 1 && number <= header.size()) return number - 1;
    throw ImportError(where + "there is no column " + std::string(name) + " for the " +
                      std::string(role) + ": the header has " + std::to_string(header.size()) +
                      " columns");
  }
  // The header's columns, as many as a message line has room for.
  std::string columns;
  std::size_t shown_columns = 0;
  for (; shown_columns < header.size() && columns.size() < 160; ++shown_columns) {
    if (shown_columns > 0) columns += ", ";
    columns += quoted_for_message(trimmed(header.field(shown_columns)));
  }
  if (shown_columns < header.size()) columns += ", ...";
  throw ImportError(where + "no column " + quoted_for_message(name) + " for the " +
                    std::string(role) + " in the header (" + columns + "); name it with " +
                    role_option(role));
}

void TrialTable::header(const TableRow& row) {
  header_line_ = row.line();
  columns_.year = find_column(row, options_.year_column, "year");
  columns_.location = find_column(row, options_.location_column, "location");
  columns_.entry = find_column(row, options_.entry_column, "entry");
  columns_.value = find_column(row, options_.value_column, "value");
  const std::size_t chosen[4] = {columns_.year, columns_.location, columns_.entry, columns_.value};
  const char* const roles[4] = {"year", "location", "entry", "value"};
  for (int a = 0; a < 4; ++a) {
    for (int b = a + 1; b < 4; ++b) {
      if (chosen[a] == chosen[b]) {
        throw ImportError(reader_.file_name() + ", line " + std::to_string(row.line()) +
                          ": the " + roles[a] + " and the " + roles[b] + " are both column " +
                          std::to_string(chosen[a] + 1) + " " +
                          quoted_for_message(trimmed(row.field(chosen[a]))));
      }
    }
  }
  columns_.year_header = trimmed(row.field(columns_.year));
  columns_.location_header = trimmed(row.field(columns_.location));
  columns_.entry_header = trimmed(row.field(columns_.entry));
  columns_.value_header = trimmed(row.field(columns_.value));
  for (std::size_t column : chosen) fields_needed_ = std::max(fields_needed_, column + 1);
}

void TrialTable::fail(const TableRow& row, std::size_t column, std::string_view header,
                      const std::string& problem) const {
  throw ImportError(reader_.file_name() + ", line " + std::to_string(row.line()) + ", column " +
                    std::to_string(column + 1) + " (" + shown(header) + "): " + problem);
}

bool TrialTable::is_missing(std::string_view value) const {
  if (value.empty()) return true;
  for (const std::string& marker : options_.missing)
    if (equal_ignoring_case(value, trimmed(marker))) return true;
  return false;
}

void TrialTable::row(const TableRow& row) {
  bool empty = true;
  for (std::size_t i = 0; i < row.size() && empty; ++i) empty = trimmed(row.field(i)).empty();
  if (empty) {
    // Spreadsheets export rows of empty fields below the data.
    ++rows_empty_;
    return;
  }
  ++rows_read_;
  if (row.size() < fields_needed_) {
    const std::size_t column = row.size();
    const std::string& header = column == columns_.year       ? columns_.year_header
                                : column == columns_.location ? columns_.location_header
                                : column == columns_.entry    ? columns_.entry_header
                                : column == columns_.value    ? columns_.value_header
                                                              : std::string();
    std::string where = reader_.file_name() + ", line " + std::to_string(row.line()) +
                        ", column " + std::to_string(column + 1);
    if (!header.empty()) where += " (" + shown(header) + ")";
    throw ImportError(where + ": the row ends after " + std::to_string(row.size()) +
                      (row.size() == 1 ? " field" : " fields") + ", but " +
                      std::to_string(fields_needed_) + " are needed: " +
                      quoted_for_message(row.joined(reader_.delimiter())));
  }
  const std::string_view year = trimmed(row.field(columns_.year));
  const std::string_view location = trimmed(row.field(columns_.location));
  const std::string_view entry = trimmed(row.field(columns_.entry));
  if (year.empty()) fail(row, columns_.year, columns_.year_header, "the year is empty");
  if (location.empty())
    fail(row, columns_.location, columns_.location_header, "the location is empty");
  if (entry.empty()) fail(row, columns_.entry, columns_.entry_header, "the entry is empty");
  // Every name gets its number, even where the row has no value: a season
  // without a harvest stays in the sequence as a year without observations.
  TableObservation observation{years_.index_of(year), locations_.index_of(location),
                               entries_.index_of(entry), 0.0f};
  const std::string_view value = trimmed(row.field(columns_.value));
  if (is_missing(value)) {
    ++rows_missing_;
    return;
  }
  if (!parse_table_value(value, reader_.delimiter(), observation.value)) {
    const std::string respelled = with_decimal_point(value, reader_.delimiter());
    if (is_number_beyond_range(respelled.empty() ? value : std::string_view(respelled))) {
      fail(row, columns_.value, columns_.value_header,
           quoted_for_message(value) + " is beyond 1.0E+30 in magnitude");
    }
    fail(row, columns_.value, columns_.value_header, quoted_for_message(value) + " is not a number");
  }
  if (std::fabs(observation.value) > kLargestValue) {
    fail(row, columns_.value, columns_.value_header,
         quoted_for_message(value) + " is beyond 1.0E+30 in magnitude");
  }
  if (observations_.size() >= std::numeric_limits<std::uint32_t>::max()) {
    fail(row, columns_.value, columns_.value_header, "more than 4294967295 observations");
  }
  observations_.push_back(observation);
}

void TrialTable::add_row(std::string_view year, std::string_view location,
                         std::string_view entry, const float* value) {
  ++rows_read_;
  TableObservation observation{years_.index_of(year), locations_.index_of(location),
                               entries_.index_of(entry), 0.0f};
  if (value == nullptr) {
    ++rows_missing_;
    return;
  }
  if (observations_.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw ImportError("more than 4294967295 observations");
  }
  observation.value = *value;
  observations_.push_back(observation);
}

}  // namespace locprox
