// The mistakes people make with their first tables and job files, each run
// through the built program as a user would: the exit status, what it says
// (standard output and standard error) and which files it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using testing::run_program;
using testing::ScratchDirectory;

struct Mistake {
  const char* name;
  std::vector<std::pair<std::string, std::string>> files;  // written before the call
  std::vector<std::string> arguments;
  int status;
  std::vector<std::string> errors;  // texts standard error holds (none: it is empty)
  std::vector<std::string> output;  // texts standard output holds
  std::vector<std::string> absent;  // texts standard output does not hold
  std::vector<std::string> left;    // files there afterwards
  std::vector<std::string> not_left;  // files not there afterwards
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Mistake& c, std::ostream* os) { *os << c.name; }

// Two seasons, two sites sharing three varieties, one value each.
const char* const kGoodTable =
    "year,site,variety,yield\n2019,A,G1,1\n2019,A,G2,2\n2019,A,G3,4\n2019,B,G1,2\n2019,B,G2,3\n"
    "2019,B,G3,3\n2020,A,G1,5\n2020,A,G2,4\n2020,B,G1,6\n2020,B,G2,4\n";

// A job of two years, two locations and two entries.
const char* const kSeq = "1 1 1 1\n1 2 1 2\n1 1 2 3\n1 2 2 5\n2 1 1 1\n2 2 1 1\n";

const std::vector<Mistake> kMistakes = {
    // A wheat table in t/ha, exported with decimal commas and no quotes.
    {"decimal commas in a comma separated table",
     {{"t.csv", "year,location,entry,value\n1979,Avo,Gen1,7\n1979,Avo,Gen2,1,708\n"}},
     {"import", "t.csv"},
     2,
     {"locprox: t.csv, line 3: the row has 5 fields, the header 4: \"1979,Avo,Gen2,1,708\"; the "
      "table seems to use decimal commas (\"1,708\"): give --delimiter ';' for a table with ';' "
      "between its fields, or quote such values\n"},
     {},
     {"Imported"},
     {"t.csv"},
     {"t.NAQ", "t.SEQ", "t.names.csv", "t.replicates.csv"}},
    {"trailing empty fields of a spreadsheet export",
     {{"t.csv", "year,location,entry,value,,\n2019,A,G1,1,,\n2019,B,G1,2,,,\n"}},
     {"import", "t.csv"},
     0,
     {},
     {"  rows       2 read: 2 with a value, 0 left out as missing\n"},
     {},
     {"t.NAQ", "t.SEQ", "t.names.csv"},
     {}},
    // The summary of an earlier analysis in the folder goes too.
    {"one location",
     {{"t.csv", "year,site,variety,yield\n2019,A,G1,1\n2019,A,G2,2\n2020,A,G1,3\n"},
      {"t/t.tree.csv", "step,merge1,merge2,height\n1,-1,-2,0.5\n"},
      {"t/t.svg", "<svg/>"}},
     {"analyse", "t.csv", "--distance", "centred", "--groups", "1"},
     1,
     {"locprox: warning: t/t: the job has 1 location, so no pair of locations can be compared; "
      "check the location column of the table\n",
      "locprox: t/t.PRX: no pair compared: the job has 1 location; nothing to summarise (check "
      "the year and location columns of the table)\n"},
     {"Ran t/t: report t/t.OCC"},
     {"group", "locprox-summary:"},
     {"t/t.NAQ", "t/t.OCC", "t/t.PRX"},
     {"t/t.pairs.csv", "t/t.tree.csv", "t/t.svg"}},
    {"one location, imported alone",
     {{"t.csv", "year,site,variety,yield\n2019,A,G1,1\n2019,A,G2,2\n"}},
     {"import", "t.csv"},
     0,
     {"locprox: warning: t.csv: the table has 1 location, so no pair of locations can be "
      "compared; check the location column (column 2, \"site\")\n"},
     {"  locations  1, numbered in order of first appearance\n"},
     {},
     {"t.NAQ", "t.SEQ", "t.names.csv"},
     {}},
    // Site-year codes taken for the years: each "year" holds one location.
    {"site years given as the year",
     {{"t.csv",
       "env,loc,gen,yield\nA77,A,G1,1\nA77,A,G2,2\nB77,B,G1,3\nB77,B,G2,1\nA78,A,G1,2\n"
       "A78,A,G2,5\nB78,B,G1,2\nB78,B,G2,2\n"}},
     {"analyse", "t.csv", "--year", "env", "--distance", "centred"},
     1,
     {"locprox: warning: t/t: no pair of distinct locations was compared in any year of the "
      "sequence, so there is nothing to group: 4 of the 4 years with observations hold a single "
      "location, so the year column looks like site-years (a site and a season in one code); "
      "give such a column as the location, with the season as the year, or --no-year for one "
      "season\n",
      "locprox: t/t.PRX: no pair compared: no two of the 2 locations were compared in years 1 "
      "to 4; nothing to summarise"},
     {"  location   column 2, \"loc\" (found by its header)\n"},
     {"group"},
     {"t/t.PRX"},
     {"t/t.tree.csv"}},
    {"a job that compares no pair, run alone",
     {{"t.NAQ", "t\n2 2 2\nY1\nY2\nL1\nL2\nE1\nE2\n"}, {"t.SEQ", "1 1 1 1\n1 2 2 2\n2 1 1 3\n"}},
     {"run", "t", "--distance", "centred", "--quiet"},
     0,
     {"locprox: warning: t: no pair of distinct locations was compared in any year of the "
      "sequence, so there is nothing to group; check the year and location columns of the "
      "table: two locations are compared in a year in which both observed entries in common\n"},
     {},
     {},
     {"t.OCC", "t.PRX"},
     {}},
    // Two trials at one site in 2019 (rows 2-5 and 6-9): their rows
    // differ by far more than the blocks of 2020 do.
    {"rows merged that are not replicates",
     {{"t.csv",
       "year,site,variety,yield\n2019,A,G1,1\n2019,A,G2,2\n2019,A,G1,8\n2019,A,G2,9\n"
       "2020,A,G1,3\n2020,A,G2,4\n2020,A,G1,3.2\n2020,A,G2,4.1\n"}},
     {"import", "t.csv"},
     0,
     {"locprox: warning: t.csv: the table has 1 location, so no pair of locations can be "
      "compared; check the location column (column 2, \"site\")\n"},
     {"  replicates 4 cells had more than one row (8 rows): each written as the mean of its rows "
      "(--replicates mean)\n"
      "             each listed in t.replicates.csv: rows, mean, smallest and largest value, "
      "lines\n",
      "  warning    2 cells have rows far apart (a range more than 4 times the median range, "
      "0.2): two trials at one place and time rather than two blocks of one, or two entries "
      "under one name? The first: year \"2019\", location \"A\", entry \"G1\", lines 2 and 4 "
      "(far_apart in t.replicates.csv). Use a location column that tells the trials apart, or "
      "--replicates last\n"},
     {},
     {"t.SEQ", "t.replicates.csv"},
     {}},
    {"rows kept in table order list no merges",
     {{"t.csv", "year,site,variety,yield\n2019,A,G1,1\n2019,A,G1,8\n"},
      {"t.replicates.csv", "the list of an earlier import\n"}},
     {"import", "t.csv", "--replicates", "last"},
     0,
     {"locprox: warning: t.csv: the table has 1 location, so no pair of locations can be "
      "compared; check the location column (column 2, \"site\")\n"},
     {"(--replicates last)\n"},
     {"t.replicates.csv"},
     {"t.SEQ"},
     {"t.replicates.csv"}},
    {"the table's own column names",
     {{"t.csv", "Gen,loc,env,yield,season\nG1,A,E1,1,2019\nG2,B,E1,2,2019\n"}},
     {"import", "t.csv"},
     0,
     {},
     {"  year       column 5, \"season\" (found by its header)\n"
      "  location   column 2, \"loc\" (found by its header; passed over \"env\": --location COL "
      "takes another)\n"
      "  entry      column 1, \"Gen\" (found by its header)\n"
      "  value      column 4, \"yield\" (found by its header)\n"},
     {},
     {"t.NAQ", "t.SEQ", "t.names.csv"},
     {}},
    {"no column of a usual name",
     {{"t.csv", "jahr,ort,sorte,ertrag\n2019,A,G1,1\n"}},
     {"import", "t.csv", "--location", "ort", "--entry", "sorte", "--value", "ertrag"},
     2,
     {"locprox: t.csv, line 1: no column for the year in the header (\"jahr\", \"ort\", "
      "\"sorte\", \"ertrag\"): none is headed year, yr or season; name it with --year (or give "
      "--no-year for a table of one season)\n"},
     {},
     {"Imported"},
     {},
     {"t.NAQ", "t.SEQ", "t.names.csv"}},
    {"a single season without a year column",
     {{"t.csv", "env,genotype,yield\nE1,G1,1\nE2,G1,2\n"}},
     {"import", "t.csv", "--no-year"},
     0,
     {},
     {"  year       none (--no-year): the table is one season, the year \"1\"\n"
      "  location   column 1, \"env\" (found by its header)\n",
      "  years      1, numbered in ascending numeric order: 1 = \"1\", 1 = \"1\"\n"},
     {},
     {"t.NAQ", "t.SEQ", "t.names.csv"},
     {}},
    {"the picture titled with the span of years",
     {{"t.csv", kGoodTable}},
     {"analyse", "t.csv", "--distance", "centred", "--title", "Trial"},
     0,
     {},
     {"  years                             2019-2020, 2 years (numbers 1 to 2): the whole "
      "sequence\n"},
     {},
     {"t/t.svg", "t/t.tree.csv"},
     {}},
    // The count line says 4 years above five year names: every later name
    // would shift by one.
    {"a names file with more names than its counts",
     {{"t.NAQ", "t\n4 2 2\nY1\nY2\nY3\nY4\nY5\nL1\nL2\nE1\nE2\n"}, {"t.SEQ", kSeq}},
     {"run", "t", "--distance", "centred"},
     2,
     {"locprox: unit 21 (t.NAQ), line 11: a name beyond the 8 that the counts 4 2 2 (years, "
      "locations, entries) call for; correct the counts or remove the extra names\n"},
     {},
     {"Sequence"},
     {},
     {"t.OCC", "t.PRX"}},
    {"a names file with fewer names than its counts",
     {{"t.NAQ", "t\n2 2 3\nY1\nY2\nL1\nL2\nE1\nE2\n"}, {"t.SEQ", kSeq}},
     {"run", "t", "--distance", "centred"},
     2,
     {"locprox: unit 21 (t.NAQ): end of file met during a read, after line 8\n"},
     {},
     {"Sequence"},
     {},
     {"t.OCC", "t.PRX"}},
    {"a names file ending in blank lines",
     {{"t.NAQ", "t\n2 2 2\nY1\nY2\nL1\nL2\nE1\nE2\n\n  \r\n"}, {"t.SEQ", kSeq}},
     {"run", "t", "--distance", "centred", "--quiet"},
     0,
     {},
     {},
     {},
     {"t.OCC", "t.PRX"},
     {}},
    {"an empty job name",
     {{"t.csv", kGoodTable}},
     {"import", "t.csv", "--job", ""},
     2,
     {"locprox: --job is empty: give the job's stem (a path without extension), or leave --job "
      "out\n"},
     {},
     {"Imported"},
     {},
     {".NAQ", ".SEQ", "t.NAQ"}},
    {"a table whose name begins with a dash",
     {{"-t.csv", kGoodTable}},
     {"import", "-t.csv"},
     2,
     {"locprox: TABLE is required (-t.csv is no option: a table whose name begins with a dash is "
      "written ./-t.csv, or after --, as in locprox import -- -t.csv)\n"},
     {},
     {"Imported"},
     {},
     {"-t.NAQ", ".NAQ"}},
    {"a table whose name begins with a dash, after --",
     {{"-t.csv", kGoodTable}},
     {"import", "--", "-t.csv"},
     0,
     {},
     {"Imported -t.csv"},
     {},
     {"-t.NAQ", "-t.SEQ"},
     {}},
};

class Mistakes : public ::testing::TestWithParam<Mistake> {};

TEST_P(Mistakes, SaySoAndLeaveTheRightFiles) {
  const Mistake& m = GetParam();
  ScratchDirectory directory;
  for (const auto& [name, contents] : m.files) {
    std::filesystem::create_directories((directory.path() / name).parent_path());
    directory.write(name, contents);
  }
  const auto run = run_program(directory.path(), "", LOCPROX_EXE, m.arguments);
  EXPECT_EQ(run.exit_status, m.status) << run.errors;
  if (m.errors.empty()) {
    EXPECT_EQ(run.errors, "");
  }
  for (const std::string& text : m.errors)
    EXPECT_NE(run.errors.find(text), std::string::npos) << text << "\nin:\n" << run.errors;
  for (const std::string& text : m.output)
    EXPECT_NE(run.console.find(text), std::string::npos) << text << "\nin:\n" << run.console;
  for (const std::string& text : m.absent)
    EXPECT_EQ(run.console.find(text), std::string::npos) << text << "\nin:\n" << run.console;
  for (const std::string& file : m.left) EXPECT_TRUE(directory.exists(file)) << file;
  for (const std::string& file : m.not_left) EXPECT_FALSE(directory.exists(file)) << file;
}

INSTANTIATE_TEST_SUITE_P(FirstTables, Mistakes, ::testing::ValuesIn(kMistakes),
                         locprox::testing::NameOfCase());

}  // namespace
}  // namespace locprox
