// The entry function of the table-import fuzz target, shared by the
// libFuzzer program fuzz_table.cpp and by tests/import/table_fuzz_test.cpp,
// which replays the kept inputs (tests/fixtures/fuzz/table/) in the ordinary
// test build. Anything that must hold for every input and does not throws
// FuzzFinding.
//
// Input: one selector byte, then the bytes of a table. The selector picks
// the delimiter (found or given), the size of the pieces the reader is fed,
// the replicates rule and whether the columns are named or numbered.
//
// Checks:
//  - the reader gives the same rows (fields and lines) or the same error
//    whether it is fed the table whole or in pieces;
//  - in a table without quotes, the rows are the lines split at the
//    delimiter, blanks around each field dropped;
//  - an import that stops has one readable line naming the table, and leaves
//    no job file; an import that completes writes a names file whose names
//    are distinct, at most 8 bytes and one line each, and an observations
//    file that the run's own reader reads back as exactly the observations
//    (or means) of the table, sorted by year.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "format/input_unit.h"
#include "fuzz_checks.h"
#include "format/run_error.h"
#include "import/import_error.h"
#include "import/import_table.h"
#include "import/numbering.h"
#include "import/trial_table.h"
#include "input/observation_line.h"
#include "input/table_error.h"
#include "input/table_reader.h"

namespace locprox::fuzz {

// A table's messages quote a line of it, so they may be longer than others.
constexpr std::size_t kLongestTableMessage = 600;

// The rows the reader gives, as text ("line:field|field"), or its error.
struct ReadRows : RowHandler {
  std::vector<std::string> rows;
  void header(const TableRow& row) override { add(row); }
  void row(const TableRow& row) override { add(row); }
  void add(const TableRow& row) {
    std::string text = std::to_string(row.line());
    text += ':';
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += '\x1F';
      text += row.field(i);
    }
    rows.push_back(std::move(text));
  }
};

inline std::vector<std::string> read_rows(std::string_view text, char delimiter, std::size_t piece,
                                          std::string& error, char& found) {
  TableReader reader("fuzz.csv", delimiter);
  ReadRows rows;
  try {
    if (piece == 0) {
      reader.feed(text, rows);
    } else {
      for (std::size_t at = 0; at < text.size(); at += piece)
        reader.feed(text.substr(at, piece), rows);
    }
    reader.finish(rows);
  } catch (const TableError& e) {
    error = e.what();
  }
  found = reader.delimiter();
  return rows.rows;
}

// The rows of a table without quotes: every line (ended by LF, CR LF or a
// lone CR) split at the delimiter, blanks and tabs around each field
// dropped; lines of nothing but blanks and tabs (other than the delimiter,
// after the header) give no row.
inline std::vector<std::string> reference_rows(std::string_view text, char delimiter) {
  std::vector<std::string> rows;
  long line = 1;
  bool header_seen = false;
  std::size_t start = 0;
  const auto is_blank = [&](char c) { return (c == ' ' || c == '\t') && c != delimiter; };
  while (start <= text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    const std::string_view content = text.substr(start, end - start);
    bool blank = true;        // blanks and tabs only
    bool only_padding = true;  // blanks and tabs that are not the delimiter only
    for (char c : content) {
      blank = blank && (c == ' ' || c == '\t');
      only_padding = only_padding && is_blank(c);
    }
    const bool empty = header_seen ? only_padding : blank;
    if (!empty) {
      header_seen = true;
      std::string row = std::to_string(line);
      row += ':';
      std::size_t field_start = 0;
      for (std::size_t i = 0; i <= content.size(); ++i) {
        if (i < content.size() && content[i] != delimiter) continue;
        std::string_view field = content.substr(field_start, i - field_start);
        while (!field.empty() && is_blank(field.front())) field.remove_prefix(1);
        while (!field.empty() && is_blank(field.back())) field.remove_suffix(1);
        if (field_start > 0) row += '\x1F';
        row += field;
        field_start = i + 1;
      }
      rows.push_back(std::move(row));
    }
    if (end == text.size()) break;
    ++line;
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return rows;
}

inline const std::filesystem::path& table_directory() {
  static const FuzzDirectory directory("table");
  return directory.path();
}

inline std::string whole_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<std::string> file_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    expect(end != std::string::npos, "a job file's last line has no line feed");
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Checks the names file and returns the three counts.
inline void check_names_file(const std::string& text, std::size_t counts[3]) {
  const std::vector<std::string> lines = file_lines(text);
  expect(lines.size() >= 2, "a names file without counts");
  expect(lines[0].size() <= 50, "a title longer than 50 bytes");
  char* end = nullptr;
  const char* p = lines[1].c_str();
  for (int k = 0; k < 3; ++k) {
    counts[k] = std::strtoul(p, &end, 10);
    expect(end != p, "a malformed counts line: " + lines[1]);
    p = end;
  }
  expect(*p == '\0', "a counts line with more than three numbers");
  expect(lines.size() == 2 + counts[0] + counts[1] + counts[2],
              "a names file whose names do not match its counts");
  std::size_t at = 2;
  for (int k = 0; k < 3; ++k) {
    std::set<std::string> seen;
    for (std::size_t n = 0; n < counts[k]; ++n, ++at) {
      const std::string& name = lines[at];
      expect(!name.empty() && name.size() <= 8, "a name of " + std::to_string(name.size()) + " bytes");
      expect(name.front() != ' ' && name.back() != ' ', "a name with blanks at an end");
      for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        expect(byte >= 0x20 && byte != 0x7f, "a control byte in a name");
      }
      expect(seen.insert(name).second, "two equal names in one list: " + name);
    }
  }
}

// One observation as the run reads it back.
struct ReadObservation {
  std::int32_t year, location, entry;
  float value;
  bool operator==(const ReadObservation& o) const {
    return year == o.year && location == o.location && entry == o.entry &&
           std::memcmp(&value, &o.value, sizeof value) == 0;
  }
};

inline void table_input(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return;
  const std::uint8_t selector = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  static const char kDelimiters[4] = {0, ',', '\t', ';'};
  static const std::size_t kPieces[8] = {1, 2, 3, 5, 8, 64, 4096, 0};
  const char delimiter = kDelimiters[selector & 3u];
  const std::size_t piece = kPieces[(selector >> 2) & 7u];
  const Replicates replicates = (selector & 0x20u) ? Replicates::kLast : Replicates::kMean;
  const bool numbered = (selector & 0x40u) != 0;

  // The same rows whole and in pieces.
  std::string whole_error, pieces_error;
  char whole_delimiter = 0, pieces_delimiter = 0;
  const std::vector<std::string> whole = read_rows(text, delimiter, 0, whole_error, whole_delimiter);
  const std::vector<std::string> pieces =
      read_rows(text, delimiter, piece, pieces_error, pieces_delimiter);
  expect(whole_error == pieces_error, "an error differs in pieces: \"" + whole_error +
                                               "\" whole, \"" + pieces_error + "\" in pieces");
  expect(whole == pieces, "the rows differ when the table comes in pieces");
  expect(whole_delimiter == pieces_delimiter, "the delimiter differs in pieces");
  if (!whole_error.empty()) check_message(whole_error, kLongestTableMessage);

  // Without quotes, the lines split at the delimiter.
  if (whole_error.empty() && text.find('"') == std::string_view::npos) {
    std::string_view body = text;
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    expect(whole == reference_rows(body, whole_delimiter),
                "rows of a table without quotes differ from its lines split at the delimiter");
  }

  // The whole import.
  const std::filesystem::path& directory = table_directory();
  const std::filesystem::path table = directory / "t.csv";
  {
    std::ofstream out(table, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  for (const char* name : {"t.NAQ", "t.SEQ", "t.names.csv", "t.replicates.csv"})
    std::filesystem::remove(directory / name);
  ImportOptions options;
  options.table = table.string();
  options.stem = (directory / "t").string();
  options.delimiter = delimiter;
  options.replicates = replicates;
  if (numbered) {
    options.year_column = "1";
    options.location_column = "2";
    options.entry_column = "3";
    options.value_column = "4";
  }
  try {
    import_table(options);
  } catch (const ImportError& error) {
    const std::string message = error.what();
    check_message(message, kLongestTableMessage);
    expect(message.compare(0, options.table.size(), options.table) == 0,
                "an import error that does not name the table: " + message);
    for (const char* name : {"t.NAQ", "t.SEQ", "t.names.csv", "t.replicates.csv"})
      expect(!std::filesystem::exists(directory / name), "a job file left by a failed import");
    return;
  }
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    const std::string name = entry.path().filename().string();
    expect(name == "t.csv" || name == "t.NAQ" || name == "t.SEQ" || name == "t.names.csv" ||
               name == "t.replicates.csv",
           "a file left beside the job files: " + name);
  }

  std::size_t counts[3] = {};
  check_names_file(whole_file(directory / "t.NAQ"), counts);

  // What the observations file must hold, worked out from the table's rows.
  TableReader reader(options.table, delimiter);
  TrialTable rows(options, reader);
  reader.feed(text, rows);
  reader.finish(rows);
  expect(rows.years().size() == counts[0] && rows.locations().size() == counts[1] &&
                  rows.entries().size() == counts[2],
              "the names file's counts differ from the table's names");
  const YearNumbering years = number_years(rows.years().names());
  struct Cell {
    std::size_t first;  // position of its first row
    std::vector<float> values;
  };
  std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, Cell> cells;
  std::vector<std::pair<std::size_t, ReadObservation>> expected;  // (sort key, observation)
  const auto& observations = rows.observations();
  for (std::size_t i = 0; i < observations.size(); ++i) {
    const TableObservation& o = observations[i];
    const std::uint32_t year = years.number[o.year];
    const auto key = std::make_tuple(year, o.location, o.entry);
    auto [cell, added] = cells.try_emplace(key, Cell{i, {}});
    cell->second.values.push_back(o.value);
    if (replicates == Replicates::kLast) {
      expected.push_back({i, {static_cast<std::int32_t>(year), static_cast<std::int32_t>(o.location + 1),
                              static_cast<std::int32_t>(o.entry + 1), o.value}});
    }
  }
  if (replicates == Replicates::kMean) {
    for (const auto& [key, cell] : cells) {
      double sum = cell.values[0];
      for (std::size_t k = 1; k < cell.values.size(); ++k) sum += cell.values[k];
      const float mean = static_cast<float>(sum / static_cast<double>(cell.values.size()));
      expected.push_back({cell.first, {static_cast<std::int32_t>(std::get<0>(key)),
                                       static_cast<std::int32_t>(std::get<1>(key) + 1),
                                       static_cast<std::int32_t>(std::get<2>(key) + 1), mean}});
    }
  }
  // The list of merged cells, written when the mean rule merged any.
  std::size_t merged = 0;
  if (replicates == Replicates::kMean)
    for (const auto& [key, cell] : cells) merged += cell.values.size() > 1;
  expect(std::filesystem::exists(directory / "t.replicates.csv") == (merged > 0),
         "t.replicates.csv written without merged cells, or missing with them");
  std::stable_sort(expected.begin(), expected.end(), [](const auto& a, const auto& b) {
    return a.second.year != b.second.year ? a.second.year < b.second.year : a.first < b.first;
  });

  // The observations file through the run's own reader.
  InputUnit unit(20, (directory / "t.SEQ").string());
  unit.open();
  ObservationFields fields;
  std::string_view record;
  std::size_t n = 0;
  try {
    while (unit.next_record(record)) {
      expect(parse_observation(unit, record, fields) == ObservationLine::kObservation,
                  "a blank line in the observations file");
      expect(n < expected.size(), "more observations written than the table holds");
      const ReadObservation got{fields.year, fields.location, fields.entry, fields.value};
      expect(got == expected[n].second,
                  "observation " + std::to_string(n + 1) + " reads back differently: " +
                      std::string(record));
      ++n;
    }
  } catch (const RunError& error) {
    throw FuzzFinding(std::string("the run cannot read the observations file: ") + error.what());
  }
  expect(n == expected.size(), "fewer observations written than the table holds");
}

}  // namespace locprox::fuzz
