// The entry function of the names-table fuzz target, shared by the libFuzzer
// program fuzz_names_table.cpp and by tests/input/names_table_fuzz_test.cpp,
// which replays the kept inputs (tests/fixtures/fuzz/names_table/) in the
// ordinary test build. Anything that must hold for every input and does not
// throws FuzzFinding.
//
// Input: one selector byte, then the bytes of STEM.names.csv. The selector
// picks the variants read beside the file as given (bit 0: with the UTF-8
// byte-order mark added or taken away; bit 1: every LF written as CR LF, for
// a file without CR) and the number of years the run asks full names for
// (bits 2 to 4).
//
// Checks, for the file and each variant:
//  - read_names_table returns rows or throws TableError, nothing else; a
//    TableError is one readable line that begins with the file's path;
//  - the outcome is the one a plain reference reader of the same rules gives
//    (below): the same rows, or a fault of the same sort on the same line and
//    column;
//  - on success, the numbers of each kind are 1..N in order, and every name
//    and full name is a field of the input byte for byte (written as it is,
//    or within quotes with its quotes doubled);
//  - a variant gives what the file gives: the same rows (with LF as CR LF
//    inside quoted fields) or a fault on the same line and column;
//  - full_year_names gives the years' full names with no problem, or no
//    names and the TableError's message as the problem.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "command_line/year_choice.h"
#include "fuzz_checks.h"
#include "input/names_table.h"
#include "input/table_error.h"

namespace locprox::fuzz {

// A quoting fault quotes the line up to the fault, so its message may be
// longer than others.
constexpr std::size_t kLongestNamesMessage = 600;

// What reading a table of names gives: the rows by kind, or a fault.
struct NamesOutcome {
  bool failed = false;
  TableError::Fault fault = TableError::Fault::kContent;
  long line = 0;
  long column = 0;
  std::string message;  // the reader's only
  std::vector<TableName> rows[3];
};

inline std::string shown_fault(const NamesOutcome& o) {
  static const char* const kFaults[] = {"not a table", "empty", "memory", "file", "content"};
  return std::string(kFaults[static_cast<int>(o.fault)]) + " at line " + std::to_string(o.line) +
         ", column " + std::to_string(o.column);
}

inline std::string shown_rows(const std::vector<TableName>& rows) {
  std::string text;
  for (const TableName& row : rows) {
    text += std::to_string(row.number) + ":" + row.name + "|" + row.full_name + ";";
  }
  return text;
}

// The reference: the rules of the table of names applied to its fields as a
// plain byte-at-a-time reading finds them. A byte-order mark at the start is
// dropped; lines end at LF, CR LF or a lone CR; lines of blanks and tabs
// before the header are passed over; after it an empty line (outside quotes)
// gives no row. A field is unquoted (no quote in it, blanks kept) or quoted
// ("...", quotes doubled inside, followed by the delimiter or a line end).
class ReferenceNames {
 public:
  NamesOutcome read(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::size_t at = 0;
    long line = 1;
    for (;;) {  // the header line: the first holding more than blanks and tabs
      std::size_t end = at;
      bool blank = true;
      while (end < text.size() && text[end] != '\n' && text[end] != '\r') {
        blank = blank && (text[end] == ' ' || text[end] == '\t');
        ++end;
      }
      if (!blank) break;
      if (end == text.size()) return fault(TableError::Fault::kEmpty, 0, 0);
      at = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
      ++line;
    }
    enum class State { kFieldStart, kUnquoted, kQuoted, kAfterQuote } state = State::kFieldStart;
    bool row_begun = false;
    long row_line = 0;
    std::vector<std::string> fields;
    std::string field;
    const auto begin_row = [&] {
      if (!row_begun) row_line = line;
      row_begun = true;
    };
    const auto end_field = [&] {
      fields.push_back(field);
      field.clear();
      state = State::kFieldStart;
    };
    const auto end_row = [&] {
      end_field();
      const bool ok = take_row(row_line, fields);
      fields.clear();
      row_begun = false;
      return ok;
    };
    for (; at < text.size(); ++at) {
      const char c = text[at];
      const bool line_end = c == '\n' || c == '\r';
      switch (state) {
        case State::kFieldStart:
          if (line_end) {
            if (row_begun && !end_row()) return outcome_;
          } else if (c == ',') {
            begin_row();
            end_field();
          } else {
            begin_row();
            if (c == '"') {
              state = State::kQuoted;
            } else {
              field += c;
              state = State::kUnquoted;
            }
          }
          break;
        case State::kUnquoted:
          if (line_end) {
            if (!end_row()) return outcome_;
          } else if (c == ',') {
            end_field();
          } else if (c == '"') {
            return fault(TableError::Fault::kNotATable, line, static_cast<long>(fields.size()) + 1);
          } else {
            field += c;
          }
          break;
        case State::kQuoted:
          if (c == '"') {
            state = State::kAfterQuote;
          } else {
            field += c;
          }
          break;
        case State::kAfterQuote:
          if (c == '"') {
            field += '"';
            state = State::kQuoted;
          } else if (c == ',') {
            end_field();
          } else if (line_end) {
            if (!end_row()) return outcome_;
          } else {
            return fault(TableError::Fault::kNotATable, line, static_cast<long>(fields.size()) + 1);
          }
          break;
      }
      if (c == '\n' || (c == '\r' && (at + 1 == text.size() || text[at + 1] != '\n'))) ++line;
    }
    if (state == State::kQuoted) {
      return fault(TableError::Fault::kNotATable, row_line, static_cast<long>(fields.size()) + 1);
    }
    if (row_begun && !end_row()) return outcome_;
    if (!header_seen_) return fault(TableError::Fault::kEmpty, 0, 0);
    for (auto& list : outcome_.rows) {
      std::sort(list.begin(), list.end(),
                [](const TableName& a, const TableName& b) { return a.number < b.number; });
      for (std::size_t n = 0; n < list.size(); ++n) {
        if (list[n].number != n + 1) return fault(TableError::Fault::kContent, 0, 0);
      }
    }
    return outcome_;
  }

 private:
  static std::string lower(std::string text) {
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
  }

  // Takes one row; false once the table is at fault.
  bool take_row(long line, const std::vector<std::string>& fields) {
    if (!header_seen_) {
      header_seen_ = true;
      header_size_ = fields.size();
      for (std::size_t c = 0; c < fields.size(); ++c) {
        const std::string name = lower(fields[c]);
        if (name == "kind") kind_ = c;
        if (name == "number") number_ = c;
        if (name == "name") name_ = c;
        if (name == "full_name") full_name_ = c;
      }
      if (!kind_ || !number_ || !full_name_) return !fault(TableError::Fault::kContent, line, 0).failed;
      return true;
    }
    if (fields.size() != header_size_) return !fault(TableError::Fault::kContent, line, 0).failed;
    const std::string kind = lower(fields[*kind_]);
    std::size_t k = 0;
    while (k < 3 && kind != kind_word(static_cast<NameKind>(k))) ++k;
    if (k == 3) return !fault(TableError::Fault::kContent, line, 0).failed;
    // A whole number from 1 to 10000000: digits only (leading zeros allowed;
    // a sign never gives a number in range).
    const std::string& digits = fields[*number_];
    std::uint64_t number = 0;
    bool ok = !digits.empty();
    for (std::size_t i = 0; ok && i < digits.size(); ++i) {
      ok = digits[i] >= '0' && digits[i] <= '9';
      if (number <= 10000000) number = number * 10 + static_cast<std::uint64_t>(digits[i] - '0');
    }
    ok = ok && number >= 1 && number <= 10000000;
    if (!ok) return !fault(TableError::Fault::kContent, line, 0).failed;
    for (const TableName& seen : outcome_.rows[k]) {
      if (seen.number == number) return !fault(TableError::Fault::kContent, line, 0).failed;
    }
    outcome_.rows[k].push_back(TableName{static_cast<std::size_t>(number),
                                         name_ ? fields[*name_] : std::string(),
                                         fields[*full_name_]});
    return true;
  }

  const NamesOutcome& fault(TableError::Fault fault, long line, long column) {
    outcome_.failed = true;
    outcome_.fault = fault;
    outcome_.line = line;
    outcome_.column = column;
    for (auto& list : outcome_.rows) list.clear();
    return outcome_;
  }

  NamesOutcome outcome_;
  bool header_seen_ = false;
  std::size_t header_size_ = 0;
  std::optional<std::size_t> kind_, number_, name_, full_name_;
};

inline const std::filesystem::path& names_directory() {
  static const FuzzDirectory directory("names");
  return directory.path();
}

inline void write_table(const std::string& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write the scratch table " + path);
}

// Writes `text` as the table and reads it back with read_names_table.
inline NamesOutcome read_table(const std::string& path, std::string_view text) {
  write_table(path, text);
  NamesOutcome outcome;
  try {
    const NamesTableRows rows = read_names_table(path);
    for (std::size_t k = 0; k < 3; ++k) outcome.rows[k] = rows.by_kind[k];
  } catch (const TableError& error) {
    outcome.failed = true;
    outcome.fault = error.fault();
    outcome.line = error.line();
    outcome.column = error.column();
    outcome.message = error.what();
    check_message(outcome.message, kLongestNamesMessage);
    expect(outcome.message.compare(0, path.size(), path) == 0 &&
               (outcome.message[path.size()] == ',' || outcome.message[path.size()] == ':'),
           "a message that does not begin with the file's path: " + outcome.message);
  }
  return outcome;
}

// `text` with every quote doubled, as a quoted field holds it.
inline std::string quotes_doubled(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out;
}

inline void check_against_reference(const NamesOutcome& got, std::string_view text,
                                    const char* which) {
  const NamesOutcome want = ReferenceNames().read(text);
  const std::string what = std::string(which) + ": ";
  if (want.failed || got.failed) {
    expect(got.failed, what + "rows read where the reference finds " + shown_fault(want));
    expect(want.failed, what + "\"" + got.message + "\" where the reference reads rows");
    expect(got.fault == want.fault && got.line == want.line && got.column == want.column,
           what + "\"" + got.message + "\" (" + shown_fault(got) + ") where the reference finds " +
               shown_fault(want));
    return;
  }
  for (std::size_t k = 0; k < 3; ++k) {
    expect(shown_rows(got.rows[k]) == shown_rows(want.rows[k]),
           what + "the " + kind_plural(static_cast<NameKind>(k)) + " read are " +
               shown_rows(got.rows[k]) + " where the reference reads " + shown_rows(want.rows[k]));
  }
}

// What holds for any table read: numbers 1..N in order, names that are
// fields of the input.
inline void check_rows(const NamesOutcome& got, std::string_view text) {
  if (got.failed) return;
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<TableName>& rows = got.rows[k];
    for (std::size_t i = 0; i < rows.size(); ++i) {
      expect(rows[i].number == i + 1, std::string(kind_word(static_cast<NameKind>(k))) + " " +
                                          std::to_string(i + 1) + " read as number " +
                                          std::to_string(rows[i].number));
      for (const std::string* field : {&rows[i].name, &rows[i].full_name}) {
        expect(text.find(*field) != std::string_view::npos ||
                   text.find(quotes_doubled(*field)) != std::string_view::npos,
               "a name that is no field of the table: " + *field);
      }
    }
  }
}

// `text` with each LF written as CR LF.
inline std::string with_cr_lf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

inline void names_table_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const std::uint8_t selector = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string path = (names_directory() / "t.names.csv").string();

  const NamesOutcome read = read_table(path, text);
  check_against_reference(read, text, "as given");
  check_rows(read, text);

  // The same with and without a byte-order mark: the same rows, or the same
  // message. (Only one mark is dropped: a second is the header's bytes.)
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  const bool has_mark = text.substr(0, 3) == kMark;
  if ((selector & 1u) && (!has_mark || text.substr(3, 3) != kMark)) {
    const std::string other = has_mark ? std::string(text.substr(3)) : std::string(kMark) + std::string(text);
    const NamesOutcome marked = read_table(path, other);
    check_against_reference(marked, other, has_mark ? "without the byte-order mark" : "with a byte-order mark");
    expect(marked.failed == read.failed && marked.message == read.message,
           "a byte-order mark changes the outcome: \"" + read.message + "\" and \"" +
               marked.message + "\"");
    for (std::size_t k = 0; k < 3; ++k) {
      expect(shown_rows(marked.rows[k]) == shown_rows(read.rows[k]),
             "a byte-order mark changes the rows read");
    }
  }

  // The same with CR LF line ends: the same rows (a line end inside a quoted
  // field is then CR LF too), or a fault on the same line and column.
  if ((selector & 2u) && text.find('\r') == std::string_view::npos &&
      text.find('\n') != std::string_view::npos) {
    const std::string other = with_cr_lf(text);
    const NamesOutcome crlf = read_table(path, other);
    check_against_reference(crlf, other, "with CR LF");
    expect(crlf.failed == read.failed && crlf.fault == read.fault && crlf.line == read.line &&
               crlf.column == read.column,
           "CR LF line ends change the outcome: \"" + read.message + "\" and \"" + crlf.message +
               "\"");
    for (std::size_t k = 0; k < 3; ++k) {
      std::vector<TableName> expected = read.rows[k];
      for (TableName& row : expected) {
        row.name = with_cr_lf(row.name);
        row.full_name = with_cr_lf(row.full_name);
      }
      expect(shown_rows(crlf.rows[k]) == shown_rows(expected), "CR LF line ends change the rows read");
    }
  }

  // The run's full year names for as many years as the table has, fewer,
  // more or none: the table's, or none and the reader's message.
  static const std::int64_t kYearsBeside[8] = {0, -2, -1, 1, 2, 5, -1000, 0};
  const std::int64_t table_years = static_cast<std::int64_t>(read.rows[0].size());
  const auto years = static_cast<std::size_t>(
      std::max<std::int64_t>(0, table_years + kYearsBeside[(selector >> 2) & 7u]));
  write_table(path, text);  // the file as given, after the variants
  std::string problem;
  const std::vector<std::string> full_names = full_year_names(path, years, &problem);
  if (read.failed) {
    expect(full_names.empty(), "full year names from a table that cannot be read");
    expect(problem == read.message,
           "full_year_names says \"" + problem + "\" where the reader says \"" + read.message + "\"");
  } else {
    expect(problem.empty(), "full_year_names finds a problem in a table that reads: " + problem);
    expect(full_names.size() == years, "full_year_names gives " + std::to_string(full_names.size()) +
                                            " names for " + std::to_string(years) + " years");
    for (std::size_t y = 0; y < years; ++y) {
      const std::string want = y < read.rows[0].size() ? read.rows[0][y].full_name : std::string();
      expect(full_names[y] == want, "year " + std::to_string(y + 1) + "'s full name is \"" +
                                        full_names[y] + "\" where the table has \"" + want + "\"");
    }
  }
}

}  // namespace locprox::fuzz
