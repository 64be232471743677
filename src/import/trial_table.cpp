#include "import/trial_table.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
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

bool is_whole_number(std::string_view text) {
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return all_digits(text);
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

const char* const kRoles[4] = {"year", "location", "entry", "value"};

// The header's columns, as many as a message line has room for.
std::string listed_columns(const TableRow& header) {
  std::string columns;
  std::size_t shown_columns = 0;
  for (; shown_columns < header.size() && columns.size() < 160; ++shown_columns) {
    if (shown_columns > 0) columns += ", ";
    columns += quoted_for_message(trimmed(header.field(shown_columns)));
  }
  if (shown_columns < header.size()) columns += ", ...";
  return columns;
}

}  // namespace

namespace {

std::uint64_t mixed(std::uint64_t h) {
  h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ULL;
  h = (h ^ (h >> 27)) * 0x94d049bb133111ebULL;
  return h ^ (h >> 31);
}

// A hash of a name, eight bytes at a time (the last eight overlapping the
// ones before when the length is not a multiple of eight).
std::uint64_t name_hash(std::string_view name) {
  const char* text = name.data();
  const std::size_t size = name.size();
  std::uint64_t h = size * 0x9e3779b97f4a7c15ULL;
  if (size < 8) {
    std::uint64_t word = 0;
    if (size >= 4) {
      std::uint32_t first, last;
      std::memcpy(&first, text, 4);
      std::memcpy(&last, text + size - 4, 4);
      word = (std::uint64_t{last} << 32) | first;
    } else if (size > 0) {
      word = static_cast<unsigned char>(text[0]) |
             (static_cast<std::uint64_t>(static_cast<unsigned char>(text[size / 2])) << 8) |
             (static_cast<std::uint64_t>(static_cast<unsigned char>(text[size - 1])) << 16);
    }
    return mixed(h ^ word);
  }
  for (std::size_t at = 0; at + 8 < size; at += 8) {
    std::uint64_t word;
    std::memcpy(&word, text + at, 8);
    h = mixed(h ^ word);
  }
  std::uint64_t word;
  std::memcpy(&word, text + size - 8, 8);
  return mixed(h ^ word);
}

}  // namespace

std::size_t NameIndex::slot_of(std::string_view name, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const std::uint32_t slot = slots_[at];
    if (slot == 0) return at;
    if (hashes_[slot - 1] == hash && names_[slot - 1] == name) return at;
  }
}

void NameIndex::grow() {
  std::vector<std::uint32_t> slots(std::max<std::size_t>(16, slots_.size() * 2), 0);
  slots_.swap(slots);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t k = 0; k < names_.size(); ++k) {
    std::size_t at = hashes_[k] & mask;
    while (slots_[at] != 0) at = (at + 1) & mask;
    slots_[at] = static_cast<std::uint32_t>(k + 1);
  }
}

std::uint32_t NameIndex::index_of(std::string_view name) {
  if (has_last_ && name == names_[last_index_]) return last_index_;
  if (slots_.empty()) grow();
  const std::uint64_t hash = name_hash(name);
  std::size_t at = slot_of(name, hash);
  if (slots_[at] != 0) {
    last_index_ = slots_[at] - 1;
    has_last_ = true;
    return last_index_;
  }
  if (names_.size() >= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw ImportError("more than 2147483647 different names of one kind");
  }
  const auto index = static_cast<std::uint32_t>(names_.size());
  names_.emplace_back(name);
  hashes_.push_back(hash);
  slots_[at] = index + 1;
  // At most half full, so that a search meets an empty slot soon.
  if (2 * names_.size() > slots_.size()) grow();
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
    : options_(options), reader_(reader) {
  for (const std::string& marker : options_.missing) {
    const std::string_view text = trimmed(marker);
    missing_.emplace_back(text);
    if (text.size() < 64) {
      missing_lengths_ |= std::uint64_t{1} << text.size();
    } else {
      missing_long_ = true;
    }
  }
}

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
  throw ImportError(where + "no column " + quoted_for_message(name) + " for the " +
                    std::string(role) + " in the header (" + listed_columns(header) +
                    "); name it with " + role_option(role));
}

const std::vector<std::string_view>& usual_headers(std::size_t role) {
  static const std::vector<std::string_view> kHeaders[4] = {
      {"year", "yr", "season"},
      {"location", "loc", "site", "env", "environment", "trial"},
      {"entry", "gen", "genotype", "variety", "cultivar", "line", "hybrid"},
      {"value", "yield"}};
  return kHeaders[role];
}

// The first of the role's usual headers that the header has, among the
// columns no option has taken; the later ones it also has are noted as
// passed over.
std::size_t TrialTable::find_usual_column(const TableRow& header, std::size_t role,
                                          const std::vector<std::size_t>& taken) {
  const std::string where = reader_.file_name() + ", line " + std::to_string(header.line()) + ": ";
  std::size_t found = header.size();
  for (std::string_view usual : usual_headers(role)) {
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < header.size(); ++i) {
      if (std::find(taken.begin(), taken.end(), i) != taken.end()) continue;
      if (equal_ignoring_case(trimmed(header.field(i)), usual)) matches.push_back(i);
    }
    if (matches.empty()) continue;
    if (found < header.size()) {
      columns_.passed_over[role].emplace_back(trimmed(header.field(matches[0])));
      continue;
    }
    if (matches.size() > 1) {
      throw ImportError(where + "the " + kRoles[role] + " column " +
                        quoted_for_message(trimmed(header.field(matches[0]))) +
                        " is the header of columns " + std::to_string(matches[0] + 1) + " and " +
                        std::to_string(matches[1] + 1) + "; give its number with " +
                        role_option(kRoles[role]));
    }
    found = matches[0];
  }
  if (found < header.size()) return found;
  // A usual header that an option gave another role: the check of the
  // chosen columns then says that both roles would take it.
  for (std::string_view usual : usual_headers(role))
    for (std::size_t i : taken)
      if (equal_ignoring_case(trimmed(header.field(i)), usual)) return i;
  std::string usual_list;
  const auto& usual = usual_headers(role);
  for (std::size_t i = 0; i < usual.size(); ++i)
    usual_list += (i == 0 ? "" : i + 1 == usual.size() ? " or " : ", ") + std::string(usual[i]);
  throw ImportError(where + "no column for the " + kRoles[role] + " in the header (" +
                    listed_columns(header) + "): none is headed " + usual_list + "; name it with " +
                    role_option(kRoles[role]) +
                    (role == 0 ? " (or give --no-year for a table of one season)" : ""));
}

void TrialTable::header(const TableRow& row) {
  header_line_ = row.line();
  columns_.no_year = options_.no_year;
  const std::optional<std::string>* const named[4] = {
      &options_.year_column, &options_.location_column, &options_.entry_column,
      &options_.value_column};
  std::size_t* const chosen[4] = {&columns_.year, &columns_.location, &columns_.entry,
                                  &columns_.value};
  const std::size_t first_role = options_.no_year ? 1 : 0;
  // The columns named by options first, then the others by their usual
  // headers among the columns left.
  std::vector<std::size_t> taken;
  for (std::size_t r = first_role; r < 4; ++r) {
    if (!*named[r]) continue;
    *chosen[r] = find_column(row, **named[r], kRoles[r]);
    taken.push_back(*chosen[r]);
  }
  for (std::size_t r = first_role; r < 4; ++r) {
    if (*named[r]) continue;
    *chosen[r] = find_usual_column(row, r, taken);
    columns_.found_by_header[r] = true;
  }
  for (std::size_t a = first_role; a < 4; ++a) {
    for (std::size_t b = a + 1; b < 4; ++b) {
      if (*chosen[a] == *chosen[b]) {
        throw ImportError(reader_.file_name() + ", line " + std::to_string(row.line()) +
                          ": the " + kRoles[a] + " and the " + kRoles[b] + " are both column " +
                          std::to_string(*chosen[a] + 1) + " " +
                          quoted_for_message(trimmed(row.field(*chosen[a]))));
      }
    }
  }
  if (!options_.no_year) columns_.year_header = trimmed(row.field(columns_.year));
  columns_.location_header = trimmed(row.field(columns_.location));
  columns_.entry_header = trimmed(row.field(columns_.entry));
  columns_.value_header = trimmed(row.field(columns_.value));
  for (std::size_t r = first_role; r < 4; ++r)
    fields_needed_ = std::max(fields_needed_, *chosen[r] + 1);
  header_fields_ = row.size();
}

void TrialTable::fail(const TableRow& row, std::size_t column, std::string_view header,
                      const std::string& problem) const {
  throw ImportError(reader_.file_name() + ", line " + std::to_string(row.line()) + ", column " +
                    std::to_string(column + 1) + " (" + shown(header) + "): " + problem);
}

bool TrialTable::is_missing(std::string_view value) const {
  if (value.empty()) return true;
  if (value.size() < 64 ? (missing_lengths_ >> value.size() & 1) == 0 : !missing_long_) {
    return false;
  }
  for (const std::string& marker : missing_)
    if (equal_ignoring_case(value, marker)) return true;
  return false;
}

// A row longer than the header is refused: its fields no longer line up
// with the header's, and reading on would take the wrong text for a value.
// Trailing empty fields, which spreadsheets add to rows, are allowed. In a
// comma-separated table the usual cause is a decimal comma, so a field that
// looks like the decimal part of the number before it gets a hint.
void TrialTable::check_row_length(const TableRow& row) const {
  if (row.size() <= header_fields_) return;
  bool extra_text = false;
  for (std::size_t i = header_fields_; i < row.size() && !extra_text; ++i)
    extra_text = !trimmed(row.field(i)).empty();
  if (!extra_text) return;
  std::string message = reader_.file_name() + ", line " + std::to_string(row.line()) +
                        ": the row has " + std::to_string(row.size()) + " fields, the header " +
                        std::to_string(header_fields_) + ": " +
                        quoted_for_message(row.joined(reader_.delimiter()));
  if (reader_.delimiter() == ',') {
    // The first field that could be a decimal part, at or after the value
    // column (where a split value pushes the rest along), else anywhere.
    std::size_t split = 0;
    for (std::size_t pass = 0; pass < 2 && split == 0; ++pass) {
      for (std::size_t i = pass == 0 ? columns_.value + 1 : 1;
           i < row.size() && split == 0; ++i) {
        if (is_whole_number(trimmed(row.field(i - 1))) && all_digits(trimmed(row.field(i))))
          split = i;
      }
    }
    if (split > 0) {
      const std::string number = std::string(trimmed(row.field(split - 1))) + "," +
                                 std::string(trimmed(row.field(split)));
      message += "; the table seems to use decimal commas (" + quoted_for_message(number) +
                 "): give --delimiter ';' for a table with ';' between its fields, or quote "
                 "such values";
    }
  }
  throw ImportError(message);
}

RowContents TrialTable::read_row(const TableRow& row) const {
  RowContents contents;
  bool empty = true;
  for (std::size_t i = 0; i < row.size() && empty; ++i) empty = trimmed(row.field(i)).empty();
  if (empty) {
    // Spreadsheets export rows of empty fields below the data.
    return contents;
  }
  check_row_length(row);
  if (row.size() < fields_needed_) {
    const std::size_t column = row.size();
    const std::string& header = column == columns_.year && !columns_.no_year
                                    ? columns_.year_header
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
  contents.year = columns_.no_year ? kOnlyYearName : trimmed(row.field(columns_.year));
  contents.location = trimmed(row.field(columns_.location));
  contents.entry = trimmed(row.field(columns_.entry));
  if (contents.year.empty()) fail(row, columns_.year, columns_.year_header, "the year is empty");
  if (contents.location.empty())
    fail(row, columns_.location, columns_.location_header, "the location is empty");
  if (contents.entry.empty())
    fail(row, columns_.entry, columns_.entry_header, "the entry is empty");
  // Every name gets its number, even where the row has no value: a season
  // without a harvest stays in the sequence as a year without observations.
  const std::string_view value = trimmed(row.field(columns_.value));
  if (is_missing(value)) {
    contents.kind = RowContents::Kind::kMissing;
    return contents;
  }
  if (!parse_table_value(value, reader_.delimiter(), contents.value)) {
    const std::string respelled = with_decimal_point(value, reader_.delimiter());
    if (is_number_beyond_range(respelled.empty() ? value : std::string_view(respelled))) {
      fail(row, columns_.value, columns_.value_header,
           quoted_for_message(value) + " is beyond 1.0E+30 in magnitude");
    }
    fail(row, columns_.value, columns_.value_header, quoted_for_message(value) + " is not a number");
  }
  if (std::fabs(contents.value) > kLargestValue) {
    fail(row, columns_.value, columns_.value_header,
         quoted_for_message(value) + " is beyond 1.0E+30 in magnitude");
  }
  contents.kind = RowContents::Kind::kValue;
  return contents;
}

void TrialTable::row(const TableRow& row) {
  const RowContents contents = read_row(row);
  if (contents.kind == RowContents::Kind::kEmpty) {
    ++kept_.rows_empty;
    return;
  }
  const bool valued = contents.kind == RowContents::Kind::kValue;
  if (valued && kept_.observations.size() >= std::numeric_limits<std::uint32_t>::max()) {
    fail(row, columns_.value, columns_.value_header, "more than 4294967295 observations");
  }
  kept_.add(contents.year, contents.location, contents.entry, valued ? &contents.value : nullptr,
            row.line());
}

void TableChunk::row(const TableRow& row) {
  const RowContents contents = table_.read_row(row);
  if (contents.kind == RowContents::Kind::kEmpty) {
    ++kept_.rows_empty;
    return;
  }
  // (TrialTable::append checks the number of observations.)
  kept_.add(contents.year, contents.location, contents.entry,
            contents.kind == RowContents::Kind::kValue ? &contents.value : nullptr, row.line());
}

void TrialTable::append(const TableChunk& chunk, long first_line) {
  // The chunk's names in the order they first appeared in it: a name new to
  // the table gets the next number, as it would have row by row.
  const auto renumber = [](NameIndex& index, const NameIndex& local) {
    std::vector<std::uint32_t> number(local.size());
    for (std::size_t i = 0; i < local.size(); ++i) number[i] = index.index_of(local.names()[i]);
    return number;
  };
  const std::vector<std::uint32_t> year = renumber(kept_.years, chunk.kept_.years);
  const std::vector<std::uint32_t> location = renumber(kept_.locations, chunk.kept_.locations);
  const std::vector<std::uint32_t> entry = renumber(kept_.entries, chunk.kept_.entries);
  kept_.rows_read += chunk.kept_.rows_read;
  kept_.rows_missing += chunk.kept_.rows_missing;
  kept_.rows_empty += chunk.kept_.rows_empty;
  const long line_offset = first_line - 1;
  if (kept_.observations.size() + chunk.kept_.observations.size() >
      std::numeric_limits<std::uint32_t>::max()) {
    const std::size_t first_beyond =
        std::numeric_limits<std::uint32_t>::max() - kept_.observations.size();
    std::size_t step = 0;
    while (step + 1 < chunk.kept_.line_steps.size() &&
           chunk.kept_.line_steps[step + 1].first <= first_beyond)
      ++step;
    const long line = chunk.kept_.line_steps[step].second +
                      static_cast<long>(first_beyond - chunk.kept_.line_steps[step].first) +
                      line_offset;
    throw ImportError(reader_.file_name() + ", line " + std::to_string(line) + ", column " +
                      std::to_string(columns_.value + 1) + " (" + shown(columns_.value_header) +
                      "): more than 4294967295 observations");
  }
  // The first row continues the lines of the rows before when it is on the
  // next line; every later step of the chunk is a step of the table too.
  const std::size_t base = kept_.observations.size();
  for (std::size_t s = 0; s < chunk.kept_.line_steps.size(); ++s) {
    const long line = chunk.kept_.line_steps[s].second + line_offset;
    if (s > 0 || kept_.line_steps.empty() || line != kept_.last_line + 1)
      kept_.line_steps.emplace_back(base + chunk.kept_.line_steps[s].first, line);
  }
  if (!chunk.kept_.observations.empty()) kept_.last_line = chunk.kept_.last_line + line_offset;
  for (const TableObservation& o : chunk.kept_.observations)
    kept_.observations.push_back({year[o.year], location[o.location], entry[o.entry], o.value});
}

long TrialTable::line_of(std::size_t index) const {
  // The last step at or before the index; the rows after it follow on, one
  // a line.
  const auto step = std::upper_bound(
      kept_.line_steps.begin(), kept_.line_steps.end(), index,
      [](std::size_t i, const std::pair<std::size_t, long>& s) { return i < s.first; });
  if (step == kept_.line_steps.begin()) return 0;
  const auto& [first, line] = *(step - 1);
  return line + static_cast<long>(index - first);
}

void TrialTable::lines_of(std::span<const std::uint32_t> indices, std::vector<long>& lines) const {
  lines.resize(indices.size());
  if (indices.empty()) return;
  // The step after the last one at or before the first index.
  auto step = std::upper_bound(
      kept_.line_steps.begin(), kept_.line_steps.end(), std::size_t{indices.front()},
      [](std::size_t i, const std::pair<std::size_t, long>& s) { return i < s.first; });
  for (std::size_t k = 0; k < indices.size(); ++k) {
    const std::size_t index = indices[k];
    while (step != kept_.line_steps.end() && step->first <= index) ++step;
    if (step == kept_.line_steps.begin()) {
      lines[k] = 0;
      continue;
    }
    const auto& [first, line] = *(step - 1);
    lines[k] = line + static_cast<long>(index - first);
  }
}

void TrialTable::add_row(std::string_view year, std::string_view location,
                         std::string_view entry, const float* value, long line) {
  if (value != nullptr && kept_.observations.size() >= std::numeric_limits<std::uint32_t>::max()) {
    throw ImportError("more than 4294967295 observations");
  }
  kept_.add(year, location, entry, value, line);
}

}  // namespace locprox
