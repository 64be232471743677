// A table read in stretches on several threads: whatever the stretches and
// the threads, the same rows, names and their numbers, counts, lines and
// messages as the table reader's reading from front to back.
#include "import/table_loading.h"

#include <gtest/gtest.h>

#include <ostream>
#include <cstdint>
#include <string>
#include <vector>

#include "import/import_error.h"
#include "import/trial_table.h"
#include "input/table_reader.h"
#include "support/case_names.h"

namespace locprox {
namespace {

// Everything a TrialTable holds, as text to compare.
std::string contents(const TrialTable& table) {
  std::string text;
  const auto names = [&](const char* kind, const NameIndex& index) {
    text += kind;
    for (const std::string& name : index.names()) text += " " + name;
    text += "\n";
  };
  names("years", table.years());
  names("locations", table.locations());
  names("entries", table.entries());
  for (std::size_t i = 0; i < table.observations().size(); ++i) {
    const TableObservation& o = table.observations()[i];
    text += std::to_string(o.year) + " " + std::to_string(o.location) + " " +
            std::to_string(o.entry) + " " + std::to_string(o.value) + " line " +
            std::to_string(table.line_of(i)) + "\n";
  }
  text += "read " + std::to_string(table.rows_read()) + " missing " +
          std::to_string(table.rows_missing()) + " empty " + std::to_string(table.rows_empty()) +
          " header " + std::to_string(table.header_line()) + "\n";
  return text;
}

// What the table reader alone makes of `text`, fed at once: the contents,
// or the message that stopped it.
std::string read_by_the_reader(const std::string& text, const ImportOptions& options) {
  TableReader reader("t.csv", options.delimiter);
  TrialTable table(options, reader);
  try {
    reader.feed(text, table);
    reader.finish(table);
  } catch (const std::exception& error) {
    return std::string("fault: ") + error.what();
  }
  return contents(table);
}

std::string read_in_stretches(const std::string& text, const ImportOptions& options,
                              unsigned threads, std::size_t chunk_bytes) {
  TableReader reader("t.csv", options.delimiter);
  TrialTable table(options, reader);
  try {
    load_trial_table_text(text, reader, table, threads, chunk_bytes);
  } catch (const ImportError& error) {
    return std::string("fault: ") + error.what();
  }
  return contents(table);
}

// A short table with what tends to go wrong at a cut: names first seen in a
// late stretch and seen again, replicates, missing values, empty rows, blank
// lines, blanks around fields, CR LF and lone CR line ends, a last line
// without a line end.
const std::string kShortTable =
    "\n year , location,entry,value\r\n"
    "2019,A,G1,1.5\n2019,A,G2,NA\n2019,B,G1,2\r\n\n"
    "2019,B,G1,2.25\n, ,,\n2020,C,G3,-1\r2020, A ,G1,0.5\n"
    "2018,C,G2,3\n2020,B,G4,\n2018,A,G1,7e-3";

TEST(TableLoading, EveryCutOfAShortTableGivesTheSameRows) {
  ImportOptions options;
  const std::string expected = read_by_the_reader(kShortTable, options);
  ASSERT_EQ(expected.rfind("fault", 0), std::string::npos) << expected;
  for (unsigned threads : {1u, 2u, 7u}) {
    for (std::size_t chunk = 1; chunk <= kShortTable.size() + 1; ++chunk) {
      SCOPED_TRACE("threads " + std::to_string(threads) + ", stretches of " +
                   std::to_string(chunk));
      ASSERT_EQ(read_in_stretches(kShortTable, options, threads, chunk), expected);
    }
  }
}

// The lines of rows in ascending order, found by one walk (the replicates
// list's way), are those found row by row, across the blank lines, empty
// rows, missing values and line ends of the short table: from every first
// row, every row and every other one.
TEST(TableLines, LinesOfRowsInOrderAreThoseOfEachRow) {
  ImportOptions options;
  TableReader reader("t.csv", options.delimiter);
  TrialTable table(options, reader);
  reader.feed(kShortTable, table);
  reader.finish(table);
  const auto rows = static_cast<std::uint32_t>(table.observations().size());
  ASSERT_GT(rows, 4u);
  std::vector<long> lines = {99};
  table.lines_of({}, lines);
  EXPECT_TRUE(lines.empty());
  for (std::uint32_t first = 0; first < rows; ++first) {
    for (std::uint32_t stride : {1u, 2u}) {
      std::vector<std::uint32_t> indices;
      for (std::uint32_t i = first; i < rows; i += stride) indices.push_back(i);
      table.lines_of(indices, lines);
      ASSERT_EQ(lines.size(), indices.size());
      for (std::size_t k = 0; k < indices.size(); ++k) {
        EXPECT_EQ(lines[k], table.line_of(indices[k]))
            << "row " << indices[k] << " from " << first << " by " << stride;
      }
    }
  }
}

// A fault late in the table, and one earlier: the message of the first met
// from the front, with its line, whichever stretch and thread reads it.
struct LateFault {
  const char* name;
  std::string row;  // put in as line 150
};

void PrintTo(const LateFault& c, std::ostream* os) { *os << c.name; }

class TableLoadingFaults : public ::testing::TestWithParam<LateFault> {};

TEST_P(TableLoadingFaults, FirstFaultWithItsLine) {
  std::string table = "year,location,entry,value\n";
  for (int line = 2; line < 300; ++line) {
    if (line == 150) {
      table += GetParam().row + "\n";
    } else {
      table += "2019,L" + std::to_string(line % 7) + ",G" + std::to_string(line) + "," +
               std::to_string(line) + ".5\n";
    }
  }
  ImportOptions options;
  const std::string expected = read_by_the_reader(table, options);
  ASSERT_NE(expected.find("line 150"), std::string::npos) << expected;
  // A second fault further on must not win over the first.
  const std::string later = table + "2019,A,G1,x\n";
  for (unsigned threads : {1u, 2u, 7u}) {
    for (std::size_t chunk : {std::size_t{1}, std::size_t{64}, std::size_t{1000}}) {
      SCOPED_TRACE("threads " + std::to_string(threads) + ", stretches of " +
                   std::to_string(chunk));
      EXPECT_EQ(read_in_stretches(table, options, threads, chunk), expected);
      EXPECT_EQ(read_in_stretches(later, options, threads, chunk), expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TableLoadingFaults,
    ::testing::ValuesIn(std::vector<LateFault>{
        {"a value that is not a number", "2019,A,G1,abc"},
        {"too few fields", "2019,A,G1"},
        {"a field beyond the header", "2019,A,G1,1,2"},
        {"an empty entry", "2019,A,,1"},
        {"a value beyond range", "2019,A,G1,1e31"},
    }),
    locprox::testing::NameOfCase());

// Quotes send the whole table through the reader: a quoted line end, a
// quote fault and a quote left open in the header read as before.
TEST(TableLoading, QuotedTablesAreReadAsBefore) {
  ImportOptions options;
  for (const std::string& table :
       {std::string("year,location,entry,value\n2019,\"A\nB\",G1,1\n2019,C,G1,2\n"),
        std::string("year,location,entry,value\n2019,A,G1,1\n2019,A\"B,G1,1\n"),
        std::string("\"year\",\"location\",entry,value\n2019,A,G1,1\n2019,B,G1,2\n"),
        // A quote opened in the header and never closed.
        std::string("\"year,location,entry,value\n2019,A,G1,1\n2019,B,G1,2\n")}) {
    const std::string expected = read_by_the_reader(table, options);
    for (std::size_t chunk : {std::size_t{1}, std::size_t{0}})
      EXPECT_EQ(read_in_stretches(table, options, 2, chunk), expected);
  }
}

// A table large enough that several threads look for quotes, with its only
// quoted field (holding a line end) near its end: read as the reader reads it.
TEST(TableLoading, QuoteNearTheEndOfALargeTable) {
  std::string table = "year,location,entry,value\n";
  while (table.size() < (std::size_t{12} << 20))
    table += "2019,L" + std::to_string(table.size() % 13) + ",G" + std::to_string(table.size()) + ",1.5\n";
  table += "2019,\"two\nlines\",G1,2\n2019,L1,G2,3\n";
  ImportOptions options;
  const std::string expected = read_by_the_reader(table, options);
  ASSERT_NE(expected.find("two\nlines"), std::string::npos);
  EXPECT_EQ(read_in_stretches(table, options, 4, 0), expected);
}

}  // namespace
}  // namespace locprox
