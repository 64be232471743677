// A whole import: a table in, the names file, the observations file and the
// names table out, byte for byte; and the faults that stop it, with nothing
// written.
#include "import/import_table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <ostream>
#include <utility>
#include <string>
#include <vector>

#include "format/input_unit.h"
#include "format/staged_file.h"
#include "import/import_error.h"
#include "import/trial_table.h"
#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using testing::ScratchDirectory;

struct Case {
  const char* name;
  std::string table;
  std::vector<std::string> arguments;  // options as on the command line, applied below
  std::string names_file;              // expected t.NAQ
  std::string observations;            // expected t.SEQ
  std::string names_table;             // expected t.names.csv, or empty to skip
  std::string replicates_table = {};   // expected t.replicates.csv, or empty: none written
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

ImportOptions options_for(const ScratchDirectory& directory, const std::vector<std::string>& args) {
  ImportOptions options;
  options.table = (directory.path() / "t.csv").string();
  options.stem = (directory.path() / "t").string();
  for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
    const std::string& option = args[i];
    const std::string& value = args[i + 1];
    if (option == "--year") options.year_column = value;
    if (option == "--location") options.location_column = value;
    if (option == "--entry") options.entry_column = value;
    if (option == "--value") options.value_column = value;
    if (option == "--title") options.title = value;
    if (option == "--no-year") options.no_year = true;  // its value is ignored
    if (option == "--delimiter") options.delimiter = value[0];
    if (option == "--replicates")
      options.replicates = value == "last" ? Replicates::kLast : Replicates::kMean;
    if (option == "--missing") {
      options.missing.clear();
      std::size_t start = 0;
      for (std::size_t comma; (comma = value.find(',', start)) != std::string::npos;
           start = comma + 1)
        options.missing.push_back(value.substr(start, comma - start));
      options.missing.push_back(value.substr(start));
    }
  }
  return options;
}

const std::vector<Case> kCases = {
    {"plain comma table",
     "year,location,entry,value\n2019,North,G1,5.1\n2019,South,G1,4.9\n2019,North,G2,5.5\n"
     "2020,South,G2,6\n",
     {},
     "t.csv\n2 2 2\n2019\n2020\nNorth\nSouth\nG1\nG2\n",
     "1 1 1 5.1\n1 2 1 4.9\n1 1 2 5.5\n2 2 2 6\n",
     "kind,number,name,full_name\nyear,1,2019,2019\nyear,2,2020,2020\n"
     "location,1,North,North\nlocation,2,South,South\nentry,1,G1,G1\nentry,2,G2,G2\n"},
    {"tab table, columns by header in any case and by number",
     "Yield\tGenotype\tYEAR\tSite\n3.25\tA\t1990\tX\n",
     {"--value", "1", "--entry", "genotype", "--location", "SITE", "--title", "Trial 1990"},
     "Trial 1990\n1 1 1\n1990\nX\nA\n",
     "1 1 1 3.25\n",
     ""},
    {"semicolon table with decimal commas",
     "year;location;entry;value\n2019;North;G1;5,3\n2019;South;G1;-0,25\n2019;East;G1;7\n",
     {},
     "t.csv\n1 3 1\n2019\nNorth\nSouth\nEast\nG1\n",
     "1 1 1 5.3\n1 2 1 -0.25\n1 3 1 7\n",
     ""},
    {"quoted names with delimiters, quotes and a line end",
     "year,location,entry,value\n2019,\"Ames, IA\",\"5\"\" pot\",1\n2019,\"Two\nlines\",x,2\n",
     {},
     "t.csv\n1 2 2\n2019\nAmes, IA\nTwo line\n5\" pot\nx\n",
     "1 1 1 1\n1 2 2 2\n",
     "kind,number,name,full_name\nyear,1,2019,2019\nlocation,1,\"Ames, IA\",\"Ames, IA\"\n"
     "location,2,Two line,\"Two\nlines\"\nentry,1,\"5\"\" pot\",\"5\"\" pot\"\nentry,2,x,x\n"},
    {"byte-order mark and CR LF",
     "\xEF\xBB\xBFyear,location,entry,value\r\n2019,A,G,1.5\r\n2019,B,G,2.5\r\n",
     {},
     "t.csv\n1 2 1\n2019\nA\nB\nG\n",
     "1 1 1 1.5\n1 2 1 2.5\n",
     ""},
    // Every missing marker, in any case, and an empty value; the names of
    // those rows are numbered all the same (entry G3 and year 2021 have no
    // value anywhere).
    {"default missing markers",
     "year,location,entry,value\n2019,A,G1,1\n2019,A,G2,NA\n2019,A,G3,nan\n2019,B,G1,.\n"
     "2019,B,G2,-\n2019,B,G1,\n2021,B,G2,  \n2019,B,G2,2\n",
     {},
     "t.csv\n2 2 3\n2019\n2021\nA\nB\nG1\nG2\nG3\n",
     "1 1 1 1\n1 2 2 2\n",
     ""},
    // Empty values stay missing; "." no longer is (see the faults).
    {"missing markers of one's own",
     "year,location,entry,value\n2019,A,G1,-999\n2019,A,G2,3\n2019,A,G3,\n",
     {"--missing", "-999"},
     "t.csv\n1 1 3\n2019\nA\nG1\nG2\nG3\n",
     "1 1 2 3\n",
     ""},
    {"rows of empty fields are passed over",
     "year,location,entry,value\n2019,A,G1,1\n,,,\n, , ,\n2019,A,G2,2\n,,,\n",
     {},
     "t.csv\n1 1 2\n2019\nA\nG1\nG2\n",
     "1 1 1 1\n1 1 2 2\n",
     ""},
    {"long and clashing names",
     "year,location,entry,value\n2019,Station-North,Line-0001,1\n2019,Station-South,Line-0002,2\n"
     "2019,Station-,Line-0001,3\n",
     {},
     "t.csv\n1 3 2\n2019\nStatio~2\nStatio~3\nStation-\nLine-000\nLine-0~2\n",
     "1 1 1 1\n1 2 2 2\n1 3 1 3\n",
     "kind,number,name,full_name\nyear,1,2019,2019\nlocation,1,Statio~2,Station-North\n"
     "location,2,Statio~3,Station-South\nlocation,3,Station-,Station-\n"
     "entry,1,Line-000,Line-0001\nentry,2,Line-0~2,Line-0002\n"},
    // The mean of 5.3 and 5.0 in double precision, rounded to single; the
    // mean of 1, 2 and 4 is 2.3333333 in single precision. The cell keeps the
    // place of its first row.
    {"replicates averaged",
     "year,location,entry,value\n2019,A,G1,5.3\n2019,A,G2,1\n2019,A,G1,5.0\n2019,A,G2,2\n"
     "2019,A,G2,4\n2019,B,G1,7\n",
     {},
     "t.csv\n1 2 2\n2019\nA\nB\nG1\nG2\n",
     "1 1 1 5.15\n1 1 2 2.3333333\n1 2 1 7\n",
     "",
     "year,location,entry,rows,mean,min,max,far_apart,lines\n2019,A,G1,2,5.15,5,5.3,no,2 4\n"
     // Ranges 0.3 and 3: the median of two is the lower, so the second is
     // more than 4 times it.
     "2019,A,G2,3,2.3333333,1,4,yes,3 5 6\n"},
    // Two trials at one site: the third cell's rows lie far further apart
    // (range 6) than the others' (0.2 and 0.4; the median range is 0.4). The
    // list is in the order of the observations file: by year, then by the
    // cell's first row; a row of several lines counts from its first.
    {"replicates far apart",
     "year,location,entry,value\n2020,A,G1,1\n2019,\"A\nB\",G1,5.2\n2019,\"A\nB\",G1,5.4\n"
     "2019,\"A\nB\",G2,3\n\n2019,\"A\nB\",G2,9\n2020,A,G1,1.4\n2020,A,G2,NA\n",
     {},
     "t.csv\n2 2 2\n2019\n2020\nA\nA B\nG1\nG2\n",
     "1 2 1 5.3\n1 2 2 6\n2 1 1 1.2\n",
     "",
     "year,location,entry,rows,mean,min,max,far_apart,lines\n"
     "2019,\"A\nB\",G1,2,5.3,5.2,5.4,no,3 5\n2019,\"A\nB\",G2,2,6,3,9,yes,7 10\n"
     "2020,A,G1,2,1.2,1,1.4,no,2 12\n"},
    {"replicates kept in table order",
     "year,location,entry,value\n2019,A,G1,5.3\n2019,A,G2,1\n2019,A,G1,5.0\n2019,B,G1,7\n",
     {"--replicates", "last"},
     "t.csv\n1 2 2\n2019\nA\nB\nG1\nG2\n",
     "1 1 1 5.3\n1 1 2 1\n1 1 1 5\n1 2 1 7\n",
     ""},
    // Years are numbered by value; the rows are sorted by year, each year's
    // in table order.
    {"unsorted rows",
     "year,location,entry,value\n2021,A,G1,1\n2019,B,G2,2\n2021,B,G1,3\n2020,A,G2,4\n"
     "2019,A,G1,5\n",
     {},
     "t.csv\n3 2 2\n2019\n2020\n2021\nA\nB\nG1\nG2\n",
     "1 2 2 2\n1 1 1 5\n2 1 2 4\n3 1 1 1\n3 2 1 3\n",
     ""},
    {"years that are not all numbers keep their first appearance",
     "year,location,entry,value\n2019B,A,G1,1\n2019A,A,G1,2\n2018,A,G1,3\n",
     {},
     "t.csv\n3 1 1\n2019B\n2019A\n2018\nA\nG1\n",
     "1 1 1 1\n2 1 1 2\n3 1 1 3\n",
     ""},
    {"equal year values keep their first appearance",
     "year,location,entry,value\n2020,A,G1,1\n2019.0,A,G1,2\n2019,A,G1,3\n1e3,A,G1,4\n",
     {},
     "t.csv\n4 1 1\n1e3\n2019.0\n2019\n2020\nA\nG1\n",
     "1 1 1 4\n2 1 1 2\n3 1 1 3\n4 1 1 1\n",
     ""},
    // The values as the run would read their texts, written back in the
    // shortest form that reads as the same single-precision number.
    {"value forms",
     "year,location,entry,value\n1,A,G1,1e3\n1,A,G2,1.5D2\n1,A,G3,+2\n1,A,G4,.5\n"
     "1,A,G5,0.1\n1,A,G6,1.0E+30\n1,A,G7,1e-50\n1,A,G8,-0\n1,A,G9,16777217\n",
     {},
     "t.csv\n1 1 9\n1\nA\nG1\nG2\nG3\nG4\nG5\nG6\nG7\nG8\nG9\n",
     "1 1 1 1000\n1 1 2 150\n1 1 3 2\n1 1 4 0.5\n1 1 5 0.1\n1 1 6 1e+30\n1 1 7 0\n1 1 8 -0\n"
     "1 1 9 16777216\n",
     ""},
    // Spreadsheets end rows with empty fields; only a field with text beyond
    // the header's columns stops the import (see the faults).
    {"trailing empty fields",
     "year,location,entry,value\n2019,A,G1,1,,\n2019,B,G1,2, \n2019,C,G1,3\n",
     {},
     "t.csv\n1 3 1\n2019\nA\nB\nC\nG1\n",
     "1 1 1 1\n1 2 1 2\n1 3 1 3\n",
     ""},
    // Each role's first usual header that the table has: site before env.
    {"columns found by their usual headers",
     "Site,gen,YIELD,env,Season\nA,G1,1.5,E1,2019\nB,G2,2.5,E2,2020\n",
     {},
     "t.csv\n2 2 2\n2019\n2020\nA\nB\nG1\nG2\n",
     "1 1 1 1.5\n2 2 2 2.5\n",
     ""},
    // A column named by an option is not taken by another role's search,
    // and the role it is named for searches no further.
    {"a named column besides usual headers",
     "loc,env,genotype,variety,yield,yr\nL1,E1,G1,V1,1,2019\nL1,E2,G1,V2,2,2019\n",
     {"--location", "env", "--entry", "variety"},
     "t.csv\n1 2 2\n2019\nE1\nE2\nV1\nV2\n",
     "1 1 1 1\n1 2 2 2\n",
     ""},
    {"a table of one season",
     "site,variety,yield\nA,G1,1\nB,G1,2\n",
     {"--no-year", ""},
     "t.csv\n1 2 1\n1\nA\nB\nG1\n",
     "1 1 1 1\n1 2 1 2\n",
     "kind,number,name,full_name\nyear,1,1,1\nlocation,1,A,A\nlocation,2,B,B\n"
     "entry,1,G1,G1\n"},
    {"blanks around fields and extra columns",
     "site , year , entry , value , note\n A , 2019 , G1 , 1.5 , first\n",
     {"--location", "site"},
     "t.csv\n1 1 1\n2019\nA\nG1\n",
     "1 1 1 1.5\n",
     ""},
};

class ImportCases : public ::testing::TestWithParam<Case> {};

TEST_P(ImportCases, WriteTheJobFiles) {
  const Case& c = GetParam();
  // Read on one thread in one stretch, and cut into stretches of a few
  // bytes read on several threads: the same files.
  for (const auto& [threads, chunk_bytes] :
       {std::pair{1u, std::size_t{0}}, std::pair{2u, std::size_t{5}}, std::pair{7u, std::size_t{1}}}) {
  SCOPED_TRACE("threads " + std::to_string(threads) + ", stretches of " + std::to_string(chunk_bytes));
  ScratchDirectory directory;
  directory.write("t.csv", c.table);
  ImportOptions options = options_for(directory, c.arguments);
  options.threads = threads;
  options.chunk_bytes = chunk_bytes;
  const ImportResult result = import_table(options);
  EXPECT_EQ(directory.read("t.NAQ"), c.names_file);
  EXPECT_EQ(directory.read("t.SEQ"), c.observations);
  if (!c.names_table.empty()) {
    EXPECT_EQ(directory.read("t.names.csv"), c.names_table);
  }
  // Nothing else is left in the directory: the temporary files are renamed.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory.path())) {
    (void)entry;
    ++files;
  }
  if (c.replicates_table.empty()) {
    EXPECT_FALSE(directory.exists("t.replicates.csv"));
    EXPECT_TRUE(result.replicates_file.empty());
  } else {
    EXPECT_EQ(directory.read("t.replicates.csv"), c.replicates_table);
    EXPECT_EQ(result.replicates_file, (directory.path() / "t.replicates.csv").string());
  }
  EXPECT_EQ(files, c.replicates_table.empty() ? 4u : 5u);
  EXPECT_TRUE(result.dialogue_shortfall.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, ImportCases, ::testing::ValuesIn(kCases),
                         locprox::testing::NameOfCase());

TEST(Import, CountsWhatItDid) {
  ScratchDirectory directory;
  directory.write("t.csv",
                  "year,location,entry,value\n2019,Station-North,G1,1\n2019,Station-South,G1,NA\n"
                  "2019,Station-North,G1,3\n2019,Station-North,G1,4\n2020,Station-North,G2,5\n"
                  "2020,Station-North,G2,6\n,,,\n");
  const ImportResult result = import_table(options_for(directory, {}));
  EXPECT_EQ(result.years, 2);
  EXPECT_EQ(result.locations, 2);
  EXPECT_EQ(result.entries, 2);
  EXPECT_TRUE(result.years_numeric);
  EXPECT_EQ(result.rows_read, 6u);
  EXPECT_EQ(result.rows_missing, 1u);
  EXPECT_EQ(result.rows_empty, 1u);
  EXPECT_EQ(result.observations.written, 2u);
  EXPECT_EQ(result.observations.cells, 2u);
  EXPECT_EQ(result.observations.replicated, 2u);
  EXPECT_EQ(result.observations.replicate_rows, 5u);
  EXPECT_EQ(result.names_cut, 2u);
  EXPECT_EQ(result.names_suffixed, 1u);
  EXPECT_EQ(directory.read("t.SEQ"), "1 1 1 2.6666667\n2 1 2 5.5\n");
}

// The account says what a run of every year would write once that is large:
// the report grows with the square of the number of years.
TEST(Import, AccountStatesTheOutputOfALargeJob) {
  for (const auto& [years, said] : {std::pair{2000, false}, std::pair{5000, true}}) {
    ScratchDirectory directory;
    std::string table = "year,location,entry,value\n";
    for (int y = 1; y <= years; ++y) table += std::to_string(y) + ",L1,G1,1.5\n";
    directory.write("t.csv", table);
    const ImportResult result = import_table(options_for(directory, {}));
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&text, &size);
    print_import_report(result, out);
    std::fclose(out);
    const std::string account(text, size);
    std::free(text);
    const std::string line = "A run of all " + std::to_string(years) +
                             " years writes 312 MiB (report 312 MiB, proximity file 391 KiB); "
                             "--from and --to run fewer.\n";
    if (said) {
      EXPECT_NE(account.find(line), std::string::npos) << account;
    } else {
      EXPECT_EQ(account.find("A run of all"), std::string::npos) << account;
    }
  }
}

struct Fault {
  const char* name;
  std::string table;
  std::vector<std::string> arguments;
  std::string message;  // after the directory part of the table's path
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Fault& c, std::ostream* os) { *os << c.name; }

const std::vector<Fault> kFaults = {
    {"a value that is not a number", "year,location,entry,value\n2019,A,G1,1\n2019,A,G2,abc\n",
     {}, "t.csv, line 3, column 4 (value): \"abc\" is not a number"},
    {"a decimal comma in a comma table", "year,location,entry,value\n2019,A,G1,\"5,3\"\n", {},
     "t.csv, line 2, column 4 (value): \"5,3\" is not a number"},
    {"a value beyond 1.0E+30", "year,location,entry,value\n2019,A,G1,-2E30\n", {},
     "t.csv, line 2, column 4 (value): \"-2E30\" is beyond 1.0E+30 in magnitude"},
    {"a value beyond single precision", "year,location,entry,value\n2019,A,G1,1e39\n", {},
     "t.csv, line 2, column 4 (value): \"1e39\" is beyond 1.0E+30 in magnitude"},
    {"a marker that is no longer missing", "year,location,entry,value\n2019,A,G1,-999\n2019,A,G2,.\n",
     {"--missing", "-999"}, "t.csv, line 3, column 4 (value): \".\" is not a number"},
    {"too few fields", "year,location,entry,value\n2019,A,G1,1\n2019,A,G2\n", {},
     "t.csv, line 3, column 4 (value): the row ends after 3 fields, but 4 are needed: "
     "\"2019,A,G2\""},
    {"an empty location", "year,location,entry,value\n2019, ,G1,1\n", {},
     "t.csv, line 2, column 2 (location): the location is empty"},
    {"an empty year in a row with no value", "year,location,entry,value\n,A,G1,NA\n", {},
     "t.csv, line 2, column 1 (year): the year is empty"},
    {"no such column", "jahr,location,entry,value\n2019,A,G1,1\n", {"--year", "yr"},
     "t.csv, line 1: no column \"yr\" for the year in the header (\"jahr\", \"location\", "
     "\"entry\", \"value\"); name it with --year"},
    {"no usual header", "jahr,location,entry,value\n2019,A,G1,1\n", {},
     "t.csv, line 1: no column for the year in the header (\"jahr\", \"location\", \"entry\", "
     "\"value\"): none is headed year, yr or season; name it with --year (or give --no-year for "
     "a table of one season)"},
    {"no usual header of the location", "year,plot,entry,value\n2019,A,G1,1\n", {},
     "t.csv, line 1: no column for the location in the header (\"year\", \"plot\", "
     "\"entry\", \"value\"): none is headed location, loc, site, env, environment or trial; "
     "name it with --location"},
    {"a usual header twice", "year,site,SITE,entry,value\n", {},
     "t.csv, line 1: the location column \"site\" is the header of columns 2 and 3; give its "
     "number with --location"},
    {"decimal commas in a comma table", "year,location,entry,value\n1979,Avo,Gen1,1,708\n", {},
     "t.csv, line 2: the row has 5 fields, the header 4: \"1979,Avo,Gen1,1,708\"; the table "
     "seems to use decimal commas (\"1,708\"): give --delimiter ';' for a table with ';' "
     "between its fields, or quote such values"},
    {"a decimal comma before the value", "location,yield,entry,year\nAvo,-0,5,Gen1,1979\n", {},
     "t.csv, line 2: the row has 5 fields, the header 4: \"Avo,-0,5,Gen1,1979\"; the table "
     "seems to use decimal commas (\"-0,5\")"},
    {"a field beyond the header", "year,location,entry,value\n2019,A,G1,1\n2019,B,G1,2,,x\n",
     {}, "t.csv, line 3: the row has 6 fields, the header 4: \"2019,B,G1,2,,x\""},
    {"no such column number", "year,location,entry,value\n", {"--value", "5"},
     "t.csv, line 1: there is no column 5 for the value: the header has 4 columns"},
    {"one column for two roles", "year,location,entry,value\n", {"--entry", "2"},
     "t.csv, line 1: the location and the entry are both column 2 \"location\""},
    {"a header twice", "year,location,entry,value,Value\n", {},
     "t.csv, line 1: the value column \"value\" is the header of columns 4 and 5; give its "
     "number with --value"},
    {"header but no rows", "year,location,entry,value\n", {},
     "t.csv: the table has a header but no rows"},
    {"malformed quoting", "year,location,entry,value\n2019,A\"B,G1,1\n", {},
     "t.csv, line 2, column 2: a quote inside an unquoted field"},
};

class ImportFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(ImportFaults, StopWithTheLineAndWriteNothing) {
  const Fault& f = GetParam();
  for (const auto& [threads, chunk_bytes] :
       {std::pair{1u, std::size_t{0}}, std::pair{2u, std::size_t{5}}, std::pair{7u, std::size_t{1}}}) {
  SCOPED_TRACE("threads " + std::to_string(threads) + ", stretches of " + std::to_string(chunk_bytes));
  ScratchDirectory directory;
  directory.write("t.csv", f.table);
  // Job files of an earlier import stay as they were.
  directory.write("t.NAQ", "old names");
  try {
    ImportOptions options = options_for(directory, f.arguments);
    options.threads = threads;
    options.chunk_bytes = chunk_bytes;
    import_table(options);
    ADD_FAILURE() << "no error";
  } catch (const ImportError& error) {
    const std::string message = error.what();
    const std::string prefix = directory.path().string() + "/";
    ASSERT_EQ(message.substr(0, prefix.size()), prefix);
    EXPECT_EQ(message.substr(prefix.size(), f.message.size()), f.message) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);
  }
  EXPECT_EQ(directory.read("t.NAQ"), "old names");
  EXPECT_FALSE(directory.exists("t.SEQ"));
  EXPECT_FALSE(directory.exists("t.names.csv"));
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(directory.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 2u);
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, ImportFaults, ::testing::ValuesIn(kFaults),
                         locprox::testing::NameOfCase());

// The rows are kept in blocks of 65,536: every row must come back in table
// order across the blocks' boundaries.
TEST(Import, RowsKeptInBlocksComeBackInOrder) {
  for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{65535},
                            std::size_t{65536}, std::size_t{65537}, std::size_t{2 * 65536 + 5}}) {
    SCOPED_TRACE("rows: " + std::to_string(count));
    ObservationRows rows;
    for (std::size_t i = 0; i < count; ++i) {
      const auto n = static_cast<std::uint32_t>(i);
      rows.push_back({n % 7, n % 1000, n, static_cast<float>(i) * 0.5f});
    }
    ASSERT_EQ(rows.size(), count);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const TableObservation& row = rows[i];
      const auto n = static_cast<std::uint32_t>(i);
      wrong += row.year != n % 7 || row.location != n % 1000 || row.entry != n ||
               row.value != static_cast<float>(i) * 0.5f;
    }
    EXPECT_EQ(wrong, 0u);
  }
}

// A table of a few seasons with replicates, missing values, empty rows and
// long names, imported on 1, 2 and 7 threads in stretches of every size
// from one line to the whole table: the same job files, byte for byte.
TEST(Import, SameFilesForAnyNumberOfThreads) {
  std::string table = "season,site,genotype,rep,yield\n";
  for (int year = 0; year < 3; ++year) {
    for (int location = 0; location < 23; ++location) {
      for (int entry = (year + location) % 5; entry < 60; entry += 2) {
        for (int rep = 0; rep < 2; ++rep) {
          const int k = year * 100000 + location * 1000 + entry * 10 + rep;
          table += std::to_string(2021 - year) + ",Station-" + std::to_string(location) +
                   ",Genotype-" + std::to_string(entry * 7 % 61) + "," + std::to_string(rep) + ",";
          table += k % 97 == 0 ? "NA" : std::to_string(k % 1013) + "." + std::to_string(k % 7);
          table += "\n";
          if (k % 251 == 0) table += ",,,,\n";
        }
      }
    }
  }
  const auto import_with = [&](unsigned threads, std::size_t chunk_bytes) {
    ScratchDirectory directory;
    directory.write("t.csv", table);
    ImportOptions options = options_for(directory, {});
    options.threads = threads;
    options.chunk_bytes = chunk_bytes;
    import_table(options);
    std::string files;
    for (const char* name : {"t.NAQ", "t.SEQ", "t.names.csv", "t.replicates.csv"})
      files += std::string(name) + ":\n" + directory.read(name);
    return files;
  };
  const std::string expected = import_with(1, 0);
  ASSERT_NE(expected.find("t.replicates.csv:\nyear,"), std::string::npos);
  for (unsigned threads : {1u, 2u, 7u}) {
    for (std::size_t chunk_bytes : {std::size_t{1}, std::size_t{100}, std::size_t{4096}, std::size_t{0}}) {
      SCOPED_TRACE("threads " + std::to_string(threads) + ", stretches of " +
                   std::to_string(chunk_bytes));
      EXPECT_EQ(import_with(threads, chunk_bytes), expected);
    }
  }
}

// A table of two replicates of every year, location and entry: values
// half a unit apart, except in every `far_every`-th cell from year
// `first_far_year` (0-based) on, where they lie thousands apart.
std::string replicates_table(int years, int locations, int entries, int first_far_year,
                             int far_every) {
  std::string table = "year,location,entry,value\n";
  for (int year = 0; year < years; ++year) {
    for (int location = 0; location < locations; ++location) {
      for (int entry = 0; entry < entries; ++entry) {
        const int k = (year * locations + location) * entries + entry;
        for (int rep = 0; rep < 2; ++rep) {
          const bool far = year >= first_far_year && k % far_every == 0 && rep == 1;
          table += std::to_string(2000 + year) + ",L" + std::to_string(location) + ",E" +
                   std::to_string(entry) + "," + std::to_string(far ? 5000 + k % 7 : 10 + k % 13) +
                   (rep ? ".5" : ".0") + "\n";
        }
      }
    }
  }
  return table;
}

// A table large enough for the job files' years to be formatted on several
// threads: the same files and the same account as on one thread, whether
// the far-apart cells are in the last year only (the first one named must
// then come from there) or throughout, under either way of keeping
// replicates.
TEST(Import, JobFilesWrittenOnSeveralThreadsAreThoseOfOnePass) {
  struct Case {
    const char* name;
    int first_far_year;  // from this year (0-based) on, some cells lie far apart
    const char* replicates;
  };
  const Case cases[] = {{"far apart late, mean", 5, "mean"},
                        {"far apart throughout, mean", 0, "mean"},
                        {"far apart late, last", 5, "last"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string table = replicates_table(6, 40, 200, c.first_far_year, 1009);
    const auto import_with = [&](unsigned threads, ImportResult& result) {
      ScratchDirectory directory;
      directory.write("t.csv", table);
      ImportOptions options = options_for(directory, {"--replicates", c.replicates});
      options.threads = threads;
      result = import_table(options);
      std::string files;
      for (const char* name : {"t.SEQ", "t.replicates.csv"})
        files += std::string(name) + ":\n" + directory.read(name);
      return files;
    };
    ImportResult one;
    const std::string expected = import_with(1, one);
    for (unsigned threads : {2u, 7u}) {
      SCOPED_TRACE("threads " + std::to_string(threads));
      ImportResult several;
      EXPECT_EQ(import_with(threads, several), expected);
      EXPECT_EQ(several.observations.written, one.observations.written);
      EXPECT_EQ(several.observations.cells, one.observations.cells);
      EXPECT_EQ(several.observations.replicated, one.observations.replicated);
      EXPECT_EQ(several.observations.replicate_rows, one.observations.replicate_rows);
      EXPECT_EQ(several.far_apart, one.far_apart);
      EXPECT_EQ(several.first_far_apart, one.first_far_apart);
    }
    if (std::string(c.replicates) == "mean") {
      EXPECT_GT(one.far_apart, 0u);
      EXPECT_NE(one.first_far_apart.find("\"" + std::to_string(2000 + c.first_far_year) + "\""),
                std::string::npos)
          << one.first_far_apart;
    }
  }
}

// For analyse, the list of merged replicates is written while the caller
// goes on with the job: the caller is given the account complete (the
// far-apart cells found before the list is written, the same as the list
// says), the job files it needs are already staged, and the list, once in
// place, is the one a plain import writes.
TEST(Import, WhatTheCallerDoesMeanwhileSeesTheWholeAccount) {
  const std::string table = replicates_table(5, 6, 30, 2, 37);
  ScratchDirectory plain;
  plain.write("t.csv", table);
  const ImportResult expected = import_table(options_for(plain, {}));
  ASSERT_GT(expected.far_apart, 0u);
  ASSERT_NE(expected.first_far_apart.find("year \"2002\""), std::string::npos)
      << expected.first_far_apart;

  ScratchDirectory directory;
  directory.write("t.csv", table);
  ImportOptions options = options_for(directory, {});
  options.keep_observations = true;
  StagedFiles outputs;
  bool called = false;
  import_table(options, &outputs, [&](ImportResult& result) {
    called = true;
    EXPECT_EQ(result.far_apart, expected.far_apart);
    EXPECT_EQ(result.first_far_apart, expected.first_far_apart);
    EXPECT_EQ(result.median_range, expected.median_range);
    EXPECT_GT(result.observations_bytes.size(), 2 * InputUnit::kReadPadding);
    for (const std::string& file : {result.names_file, result.observations_file}) {
      const StagedFile* staged = outputs.find(file);
      ASSERT_NE(staged, nullptr) << file;
      EXPECT_EQ(testing::read_file(staged->temporary_path()),
                plain.read(std::filesystem::path(file).filename().string()));
    }
  });
  EXPECT_TRUE(called);
  std::string problem;
  ASSERT_EQ(outputs.publish_all(problem), 0) << problem;
  for (const char* name : {"t.NAQ", "t.SEQ", "t.names.csv", "t.replicates.csv"}) {
    EXPECT_EQ(directory.read(name), plain.read(name)) << name;
  }
}

// A caller that fails meanwhile has its exception passed on once the list
// is written, and the list's temporary goes with the rest: nothing is left.
TEST(Import, AFailureMeanwhileLeavesNoFile) {
  ScratchDirectory directory;
  directory.write("t.csv", replicates_table(5, 6, 30, 2, 37));
  {
    StagedFiles outputs;
    EXPECT_THROW(import_table(options_for(directory, {}), &outputs,
                              [](ImportResult&) { throw std::runtime_error("stopped"); }),
                 std::runtime_error);
  }
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(directory.path())) {
    if (entry.path().filename() != "t.csv") left.push_back(entry.path().filename().string());
  }
  EXPECT_TRUE(left.empty()) << left.front();
}

// For a run that follows, the observations file is also kept in memory:
// the same bytes as the file, with the reader's padding either side.
TEST(Import, KeptObservationsAreTheFileBytes) {
  std::string table = "year,location,entry,value\n";
  for (int i = 0; i < 150000; ++i)
    table += "20" + std::to_string(10 + i % 3) + ",L" + std::to_string(i % 17) + ",G" +
             std::to_string(i) + "," + std::to_string(i % 1000) + ".25\n";
  ScratchDirectory directory;
  directory.write("t.csv", table);
  ImportOptions options = options_for(directory, {});
  options.keep_observations = true;
  const ImportResult result = import_table(options);
  const std::string file = directory.read("t.SEQ");
  ASSERT_GT(file.size(), std::size_t{1} << 20);  // beyond the first buffers
  ASSERT_EQ(result.observations_bytes.size(), file.size() + 2 * InputUnit::kReadPadding);
  EXPECT_EQ(std::string(result.observations_bytes.data() + InputUnit::kReadPadding, file.size()),
            file);
}

// A job of more locations times entries than the cells' dense table takes:
// the cells are found through the hash table, with the same means and lists.
TEST(Import, CellsOfAVeryWideJob) {
  std::string table = "year,location,entry,value\n";
  std::string observations, replicates = "year,location,entry,rows,mean,min,max,far_apart,lines\n";
  const int names = 6000;  // 36 million cells
  for (int i = 0; i < names; ++i) {
    table += "2019,L" + std::to_string(i) + ",G" + std::to_string(i) + "," + std::to_string(i) + "\n";
    if (i < 3) {
      table += "2019,L" + std::to_string(i) + ",G" + std::to_string(i) + "," +
               std::to_string(i + 1) + "\n";
    }
  }
  for (int i = 0; i < names; ++i) {
    observations += "1 " + std::to_string(i + 1) + " " + std::to_string(i + 1) + " " +
                    (i < 3 ? std::to_string(i) + ".5" : std::to_string(i)) + "\n";
  }
  for (int i = 0; i < 3; ++i) {
    replicates += "2019,L" + std::to_string(i) + ",G" + std::to_string(i) + ",2," +
                  std::to_string(i) + ".5," + std::to_string(i) + "," + std::to_string(i + 1) +
                  ",no," + std::to_string(2 + 2 * i) + " " + std::to_string(3 + 2 * i) + "\n";
  }
  ScratchDirectory directory;
  directory.write("t.csv", table);
  import_table(options_for(directory, {}));
  EXPECT_EQ(directory.read("t.SEQ"), observations);
  EXPECT_EQ(directory.read("t.replicates.csv"), replicates);
}

}  // namespace
}  // namespace locprox
