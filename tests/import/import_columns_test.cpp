// The import of columns held in memory writes the same job files, byte for
// byte, as the import of a table with the same rows; and its faults stop it
// with a message naming the row and the column, having written nothing.
#include "import/import_columns.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "import/import_error.h"
#include "import/import_table.h"
#include "import/job_writer.h"
#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using testing::ScratchDirectory;

struct Row {
  std::string year, location, entry;
  std::string value;  // as the table writes it; "NA" or empty: not observed
};

struct SameFilesCase {
  const char* name;
  std::vector<Row> rows;
  Replicates replicates = Replicates::kMean;
};

void PrintTo(const SameFilesCase& c, std::ostream* os) { *os << c.name; }

double value_of(const std::string& text) {
  if (text.empty() || text == "NA") return std::numeric_limits<double>::quiet_NaN();
  return std::strtod(text.c_str(), nullptr);
}

std::string table_text(const std::vector<Row>& rows) {
  std::string text = "year,location,entry,value\n";
  for (const Row& row : rows) {
    text += csv_field(row.year) + ',' + csv_field(row.location) + ',' + csv_field(row.entry) +
            ',' + row.value + '\n';
  }
  return text;
}

TrialColumns columns_of(const std::vector<Row>& rows) {
  TrialColumns columns;
  columns.name = "t.csv";
  for (const Row& row : rows) {
    columns.years.push_back(row.year);
    columns.locations.push_back(row.location);
    columns.entries.push_back(row.entry);
    columns.values.push_back(value_of(row.value));
  }
  return columns;
}

const std::vector<SameFilesCase> kSameFilesCases = {
    {"numeric years out of order, replicates averaged, missing values",
     {{"2021", "North", "G1", "5.1"},
      {"2019", "North", "G1", "4.25"},
      {"2019", "North", "G1", "4.5"},
      {"2019", "North", "G1", "4.75"},
      {"2019", "South", "G2", "NA"},
      {"2020", "South", "G1", "0.1"},
      {"2020", "South", "G1", "0.2"},
      {"2019", "South", "G1", "-0"},
      {"2021", "South", "G2", "1e30"},
      {"2020", "North", "G2", "1"},
      {"2020", "North", "G2", "1.25"},
      {"2020", "North", "G2", "90"}}},
    {"replicates kept in table order",
     {{"2021", "North", "G1", "5.1"},
      {"2019", "North", "G1", "4.25"},
      {"2019", "North", "G1", "4.5"},
      {"2020", "South", "G1", "0.1"},
      {"2020", "South", "G1", "0.2"}},
     Replicates::kLast},
    {"year names that are not numbers, long names cut and made distinct",
     {{"spring", "Station-North", "Winner 2000", "1.5"},
      {"spring", "Station-South", "Winner 2001", "2.5"},
      {"autumn", "Station-East", "Winner 2000", "3.5"},
      {"autumn", " Station-North ", "Länderkönig", "-7.125"},
      {"autumn", "Statio~2", "a, \"quoted\" name", "8"}}},
    {"a season without a value stays in the sequence",
     {{"1995.5", "A", "E1", "1"}, {"1990", "B", "E1", ""}, {"2000", "A", "E2", "3.75"}}},
};

class SameFilesTest : public ::testing::TestWithParam<SameFilesCase> {};

TEST_P(SameFilesTest, AsTheTableImportWritesThem) {
  const SameFilesCase& c = GetParam();
  ScratchDirectory directory;
  directory.write("t.csv", table_text(c.rows));
  ImportOptions from_file;
  from_file.table = (directory.path() / "t.csv").string();
  from_file.stem = (directory.path() / "file").string();
  from_file.title = "t.csv";
  from_file.replicates = c.replicates;
  const ImportResult file_result = import_table(from_file);

  ImportOptions from_memory;
  from_memory.stem = (directory.path() / "memory").string();
  from_memory.replicates = c.replicates;
  const ImportResult memory_result = import_columns(columns_of(c.rows), from_memory);

  for (const char* ending : {".NAQ", ".SEQ", ".names.csv"}) {
    const std::string expected = directory.read(std::string("file") + ending);
    ASSERT_FALSE(expected.empty()) << ending;
    EXPECT_EQ(directory.read(std::string("memory") + ending), expected) << ending;
  }
  // The list of merged cells, with the lines of their rows, where there is one.
  EXPECT_EQ(directory.exists("memory.replicates.csv"), directory.exists("file.replicates.csv"));
  EXPECT_EQ(directory.read("memory.replicates.csv"), directory.read("file.replicates.csv"));
  EXPECT_EQ(memory_result.far_apart, file_result.far_apart);
  EXPECT_EQ(memory_result.years, file_result.years);
  EXPECT_EQ(memory_result.locations, file_result.locations);
  EXPECT_EQ(memory_result.entries, file_result.entries);
  EXPECT_EQ(memory_result.rows_read, file_result.rows_read);
  EXPECT_EQ(memory_result.rows_missing, file_result.rows_missing);
  EXPECT_EQ(memory_result.observations.written, file_result.observations.written);
  EXPECT_EQ(memory_result.observations.replicated, file_result.observations.replicated);
}

INSTANTIATE_TEST_SUITE_P(ImportColumns, SameFilesTest, ::testing::ValuesIn(kSameFilesCases),
                         testing::NameOfCase());

// A value held as a double is rounded once, to the nearest single-precision
// number, as the run holds it.
TEST(ImportColumns, RoundsEachDoubleOnceToSinglePrecision) {
  ScratchDirectory directory;
  TrialColumns columns;
  columns.years = {"1", "1"};
  columns.locations = {"A", "B"};
  columns.entries = {"E", "E"};
  columns.values = {0.1, 16777217.0};  // the second lies halfway: to even, 16777216
  ImportOptions options;
  options.stem = (directory.path() / "m").string();
  import_columns(columns, options);
  EXPECT_EQ(directory.read("m.SEQ"), "1 1 1 0.1\n1 2 1 16777216\n");
}

struct FaultCase {
  const char* name;
  std::size_t row;  // 0-based row to spoil
  std::string location;
  double value;
  std::string message;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

const std::vector<FaultCase> kFaultCases = {
    {"an infinite value", 1, "B", std::numeric_limits<double>::infinity(),
     "t, row 2 (\"yield\"): Inf is not finite"},
    {"a negative infinite value", 0, "A", -std::numeric_limits<double>::infinity(),
     "t, row 1 (\"yield\"): -Inf is not finite"},
    {"a value beyond 1e30", 2, "C", 1.5e30,
     "t, row 3 (\"yield\"): 1.5e+30 is beyond 1.0E+30 in magnitude"},
    {"a value beyond single precision", 2, "C", -1e300,
     "t, row 3 (\"yield\"): -1e+300 is beyond 1.0E+30 in magnitude"},
    {"an empty location", 1, " \t", 1.0, "t, row 2 (\"site\"): the location is empty"},
};

class FaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultTest, StopsNamingTheRowAndWritesNothing) {
  const FaultCase& c = GetParam();
  ScratchDirectory directory;
  TrialColumns columns;
  columns.name = "t";
  columns.location_header = "site";
  columns.value_header = "yield";
  columns.years = {"1", "1", "1"};
  columns.locations = {"A", "B", "C"};
  columns.entries = {"E", "E", "E"};
  columns.values = {1.0, 2.0, 3.0};
  columns.locations[c.row] = c.location;
  columns.values[c.row] = c.value;
  ImportOptions options;
  options.stem = (directory.path() / "m").string();
  try {
    import_columns(columns, options);
    FAIL() << "no error";
  } catch (const ImportError& error) {
    EXPECT_EQ(std::string(error.what()), c.message);
  }
  EXPECT_TRUE(std::filesystem::is_empty(directory.path()));
}

INSTANTIATE_TEST_SUITE_P(ImportColumns, FaultTest, ::testing::ValuesIn(kFaultCases),
                         testing::NameOfCase());

TEST(ImportColumns, RefusesColumnsOfDifferentLengths) {
  TrialColumns columns;
  columns.name = "t";
  columns.years = {"1", "1"};
  columns.locations = {"A"};
  columns.entries = {"E", "E"};
  columns.values = {1.0, 2.0};
  EXPECT_THROW(import_columns(columns, ImportOptions{}), ImportError);
}

}  // namespace
}  // namespace locprox
