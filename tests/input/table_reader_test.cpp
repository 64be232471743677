// The delimited-table reader: delimiters found from the header, RFC 4180
// quoting, byte-order mark, line ends, and the line each row starts on,
// whatever pieces the bytes arrive in.
#include "input/table_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "input/table_error.h"
#include "support/case_names.h"

namespace locprox {
namespace {

// A row as the tests write it: "line: field|field|field".
struct Collected : RowHandler {
  std::vector<std::string> rows;
  void header(const TableRow& row) override { add("H", row); }
  void row(const TableRow& row) override { add("", row); }
  void add(const std::string& tag, const TableRow& row) {
    std::string text = tag;
    text += std::to_string(row.line());
    text += ':';
    for (std::size_t i = 0; i < row.size(); ++i) {
      if (i > 0) text += '|';
      text += row.field(i);
    }
    rows.push_back(text);
  }
};

struct ReadResult {
  char delimiter = 0;
  std::vector<std::string> rows;
};

// Reads `text` in pieces of `piece` bytes (0: all at once).
ReadResult read(const std::string& text, std::size_t piece, char delimiter = 0) {
  TableReader reader("t.csv", delimiter);
  Collected collected;
  if (piece == 0) {
    reader.feed(text, collected);
  } else {
    for (std::size_t at = 0; at < text.size(); at += piece)
      reader.feed(std::string_view(text).substr(at, piece), collected);
  }
  reader.finish(collected);
  return {reader.delimiter(), collected.rows};
}

struct Case {
  const char* name;
  std::string text;
  char delimiter;  // expected (found from the header)
  std::vector<std::string> rows;
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::vector<Case> kCases = {
    {"comma", "year,site\n2019,A\n2020,B\n", ',', {"H1:year|site", "2:2019|A", "3:2020|B"}},
    {"tab", "year\tsite\n2019\tA B\n", '\t', {"H1:year|site", "2:2019|A B"}},
    {"semicolon, values with decimal commas", "year;value\n2019;5,3\n", ';',
     {"H1:year|value", "2:2019|5,3"}},
    // The most frequent of the three outside quotes wins.
    {"semicolons outnumber a comma", "a;b;\"c,d\";e\n1;2;3;4\n", ';',
     {"H1:a|b|c,d|e", "2:1|2|3|4"}},
    {"tab beats comma inside a name", "year\tsite, region\n1\t2\n", '\t',
     {"H1:year|site, region", "2:1|2"}},
    {"quoted fields, doubled quotes", "a,b\n\"x, y\",\"say \"\"hi\"\"\"\n", ',',
     {"H1:a|b", "2:x, y|say \"hi\""}},
    // A line end inside quotes belongs to the field; the next row starts on
    // the line after the one where the field closes.
    {"line end inside quotes", "a,b\n\"two\nlines\",1\n3,4\n", ',',
     {"H1:a|b", "2:two\nlines|1", "4:3|4"}},
    {"byte-order mark", "\xEF\xBB\xBFyear,site\n1,2\n", ',', {"H1:year|site", "2:1|2"}},
    {"CR LF line ends", "year,site\r\n1,2\r\n3,4\r\n", ',', {"H1:year|site", "2:1|2", "3:3|4"}},
    {"last line without line end", "a,b\n1,2", ',', {"H1:a|b", "2:1|2"}},
    {"last line ending in CR alone", "a,b\r\n1,2\r", ',', {"H1:a|b", "2:1|2"}},
    // Old spreadsheets end lines with a lone CR.
    {"lone CR line ends", "\r a,b\r1,2\r\r3,4", ',', {"H2:a|b", "3:1|2", "5:3|4"}},
    {"mixed line ends", "a,b\n1,2\r\n3,4\r5,6\n", ',', {"H1:a|b", "2:1|2", "3:3|4", "4:5|6"}},
    {"blank lines before the header and between rows", "\n  \n a , b \n\n1,2\n", ',',
     {"H3:a|b", "5:1|2"}},
    {"empty fields", "a,b,c\n,,\n1,,3\n", ',', {"H1:a|b|c", "2:||", "3:1||3"}},
    {"quoted empty field and blanks kept inside quotes", "a,b\n\"\",\" x \"\n", ',',
     {"H1:a|b", "2:| x "}},
};

class TableReaderCases : public ::testing::TestWithParam<Case> {};

TEST_P(TableReaderCases, RowsAndLinesInAnyPieces) {
  const Case& c = GetParam();
  for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{7}}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    const ReadResult result = read(c.text, piece);
    EXPECT_EQ(result.delimiter, c.delimiter);
    EXPECT_EQ(result.rows, c.rows);
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, TableReaderCases, ::testing::ValuesIn(kCases),
                         locprox::testing::NameOfCase());

// The header through the reader, the rest through the short path for
// tables without quotes, as the import reads them.
ReadResult read_body_unquoted(const std::string& text, TableReader::Blanks blanks) {
  TableReader reader("t.csv", 0, blanks);
  Collected collected;
  const std::size_t header_end = TableReader::header_end(text);
  if (header_end == std::string_view::npos) {
    reader.feed(text, collected);
    reader.finish(collected);
    return {reader.delimiter(), collected.rows};
  }
  reader.feed(std::string_view(text).substr(0, header_end), collected);
  const std::string_view body = std::string_view(text).substr(header_end);
  const long lines =
      TableReader::read_unquoted(body, reader.delimiter(), blanks, reader.lines() + 1, collected);
  EXPECT_EQ(reader.lines() + lines, [&] {
    TableReader whole("t.csv", 0, blanks);
    Collected ignored;
    whole.feed(text, ignored);
    whole.finish(ignored);
    return whole.lines();
  }());
  return {reader.delimiter(), collected.rows};
}

ReadResult read_whole(const std::string& text, TableReader::Blanks blanks) {
  TableReader reader("t.csv", 0, blanks);
  Collected collected;
  reader.feed(text, collected);
  reader.finish(collected);
  return {reader.delimiter(), collected.rows};
}

// The cases without a quote after the header line: the ones the import
// reads through the short path.
std::vector<Case> unquoted_cases() {
  std::vector<Case> cases;
  for (const Case& c : kCases) {
    const std::size_t header_end = TableReader::header_end(c.text);
    if (header_end == std::string_view::npos || c.text.find('"', header_end) == std::string::npos)
      cases.push_back(c);
  }
  return cases;
}

class UnquotedTableCases : public ::testing::TestWithParam<Case> {};

TEST_P(UnquotedTableCases, ShortPathGivesTheSameRows) {
  const Case& c = GetParam();
  for (TableReader::Blanks blanks : {TableReader::Blanks::kDropped, TableReader::Blanks::kKept}) {
    EXPECT_EQ(read_body_unquoted(c.text, blanks).rows, read_whole(c.text, blanks).rows);
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, UnquotedTableCases, ::testing::ValuesIn(unquoted_cases()),
                         locprox::testing::NameOfCase());

// Random tables of the bytes that matter to splitting (delimiters, blanks,
// every line end, other control bytes, BOM bytes): the short path and the
// reader agree on every row, field and line number.
TEST(TableReader, ShortPathAgreesWithTheReaderOnRandomTables) {
  const char alphabet[] = {'a', 'b', ',', ';', '\t', ' ', ' ', '\r', '\n', '\n', '\0', '\x01', '\xEF', '1'};
  std::uint64_t state = 12345;
  const auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>(state >> 33);
  };
  for (int table = 0; table < 20000; ++table) {
    std::string text = table % 3 == 0 ? "a,b\n" : table % 3 == 1 ? "a\tb\r\n" : " ;x;\r\n";
    const std::size_t length = next() % 40;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[next() % sizeof alphabet];
    for (TableReader::Blanks blanks : {TableReader::Blanks::kDropped, TableReader::Blanks::kKept}) {
      ReadResult whole, short_path;
      try {
        whole = read_whole(text, blanks);
      } catch (const TableError&) {
        continue;  // no header: the import never takes the short path
      }
      short_path = read_body_unquoted(text, blanks);
      ASSERT_EQ(short_path.rows, whole.rows) << ::testing::PrintToString(text);
    }
  }
}

TEST(TableReader, GivenDelimiterIsUsedAsIs) {
  // A pipe-separated table; the header holds a comma that detection would take.
  const ReadResult result = read("year|site, region\n1|2\n", 0, '|');
  EXPECT_EQ(result.delimiter, '|');
  EXPECT_EQ(result.rows, (std::vector<std::string>{"H1:year|site, region", "2:1|2"}));
}

struct Fault {
  const char* name;
  std::string text;
  std::string message;
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Fault& c, std::ostream* os) { *os << c.name; }

const std::vector<Fault> kFaults = {
    {"quote inside an unquoted field", "a,b\n1,2\n3,x\"y\n",
     "t.csv, line 3, column 2: a quote inside an unquoted field, or text after a closing quote; "
     "the line up to the fault is \"3,x\"\""},
    {"text after a closing quote", "a,b\n\"1\"2,3\n", "t.csv, line 2, column 1: a quote inside"},
    {"quoted field never closed", "a,b\n1,\"open\n2,3\n",
     "t.csv, line 2, column 2: a quoted field is not closed before the end of the table"},
    {"no delimiter in the header", "\nyear\n2019\n",
     "t.csv, line 2: no comma, tab or semicolon in the header line \"year\""},
    {"empty table", "", "t.csv: the table is empty (no header row)"},
    {"only blank lines", "\n \r\n\t\n", "t.csv: the table is empty (no header row)"},
    {"only a byte-order mark", "\xEF\xBB\xBF", "t.csv: the table is empty (no header row)"},
};

class TableReaderFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(TableReaderFaults, StopWithFileLineAndColumn) {
  const Fault& f = GetParam();
  for (std::size_t piece : {std::size_t{0}, std::size_t{1}, std::size_t{3}}) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    try {
      read(f.text, piece);
      ADD_FAILURE() << "no error";
    } catch (const TableError& error) {
      EXPECT_EQ(std::string(error.what()).substr(0, f.message.size()), f.message)
          << error.what();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, TableReaderFaults, ::testing::ValuesIn(kFaults),
                         locprox::testing::NameOfCase());

}  // namespace
}  // namespace locprox
