// `locprox run STEM`: the same report and proximity file as the dialogue
// with the equivalent answers, for every measure; the console as the
// dialogue's without its prompts; years by name, full name or number; work
// arrays sized to the job; refusals before anything is written.
#include "command_line/run_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "command_line/memory_limit.h"
#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::ScratchDirectory;

fs::path examples() {
  return fs::path(LOCPROX_TEST_DATA).parent_path().parent_path() / "examples";
}

void copy_job(const fs::path& from, const std::string& stem, const ScratchDirectory& to) {
  for (const char* extension : {".NAQ", ".SEQ"})
    to.write(stem + extension, read_file(from / (stem + extension)));
}

const std::vector<std::string> kPrompts = {
    " Do you wish default file names (Y or N)? - ",
    " Enter job name (ie. name for files without extension)\r\n",
    " Type the number of unique \r\n",
    "               years in whole data set  - ",
    "           locations in whole data set  - ",
    "             entries in whole data set  - ",
    "   Type year sequential analysis starts - ",
    " Type year sequential analysis finishes - ",
    " Weighted or unweighted averages (W or U) - ",
    "              SED or Correlation (S or R) - ",
    "     Centered or standardized SED (C or S) - ",
    "          Normal or z average COR (N or Z) - "};

// The dialogue's console without its prompts, and with the dimensions block's
// present sizes replaced by `present`: what `run` writes.
std::string without_prompts(std::string console, const std::string& present) {
  for (const std::string& prompt : kPrompts) {
    const std::size_t at = console.find(prompt);
    if (at != std::string::npos) console.erase(at, prompt.size());
  }
  const std::string line = " PRESENT DIMENSIONS:  DZ=250000 Z=300000 MZ=720000 AZ=  1100";
  const std::size_t at = console.find(line);
  if (at != std::string::npos) console.replace(at, line.size(), present);
  return console;
}

struct Equivalent {
  const char* name;
  std::vector<std::string> arguments;  // after "run TRIAL"
  std::string answers;                 // after the problem size: the options
  std::string sequence;                // the first and last year numbers
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Equivalent& c, std::ostream* os) { *os << c.name; }

const std::vector<Equivalent> kEquivalents = {
    {"centred distance, weighted", {"--distance", "centred"}, "w\ns\nc\n", "1\n5\n"},
    {"standardised distance, unweighted",
     {"--distance", "standardised", "--unweighted"},
     "u\ns\ns\n",
     "1\n5\n"},
    {"plain correlation, weighted", {"--correlation", "plain"}, "w\nr\nn\n", "1\n5\n"},
    {"Fisher z, unweighted", {"--correlation", "fisher-z", "--unweighted"}, "u\nr\nz\n", "1\n5\n"},
    {"Fisher z, weighted, years by name",
     {"--correlation", "fisher-z", "--from", "2020", "--to", "2022"},
     "w\nr\nz\n",
     "2\n4\n"},
    {"centred distance, years by number",
     {"--distance", "centered", "--from", "#3"},
     "w\ns\nc\n",
     "3\n5\n"},
    {"one year",
     {"--correlation", "plain", "--unweighted", "--from", "#4", "--to", "2022"},
     "u\nr\nn\n",
     "4\n4\n"},
};

class RunAgainstDialogue : public ::testing::TestWithParam<Equivalent> {};

TEST_P(RunAgainstDialogue, WritesTheSameFilesByteForByte) {
  const Equivalent& e = GetParam();
  ScratchDirectory by_run, by_dialogue;
  copy_job(examples(), "TRIAL", by_run);
  copy_job(examples(), "TRIAL", by_dialogue);
  std::vector<std::string> arguments = {"run", "TRIAL"};
  arguments.insert(arguments.end(), e.arguments.begin(), e.arguments.end());
  const auto run = run_program(by_run.path(), "", LOCPROX_EXE, arguments);
  const auto dialogue =
      run_program(by_dialogue.path(), "y\nTRIAL\n5\n6\n12\n" + e.sequence + e.answers);
  ASSERT_EQ(dialogue.exit_status, 0) << dialogue.errors;
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(by_run.read("TRIAL.OCC"), by_dialogue.read("TRIAL.OCC"));
  EXPECT_EQ(by_run.read("TRIAL.PRX"), by_dialogue.read("TRIAL.PRX"));
  // Sized to the job: DZ holds the 21 pairs, Z the 6 x 12 values, MZ the
  // counts (its size depends on the years of the sequence), AZ 23 names;
  // each one more, as a requirement is.
  const std::size_t present = run.console.find(" PRESENT DIMENSIONS:");
  ASSERT_NE(present, std::string::npos) << run.console;
  const std::string present_line =
      run.console.substr(present, run.console.find('\r', present) - present);
  EXPECT_EQ(present_line.substr(0, 44), " PRESENT DIMENSIONS:  DZ=    22 Z=    73 MZ=");
  EXPECT_EQ(present_line.substr(50), " AZ=    24");
  EXPECT_EQ(run.console, without_prompts(dialogue.console, present_line));
}

INSTANTIATE_TEST_SUITE_P(Measures, RunAgainstDialogue, ::testing::ValuesIn(kEquivalents),
                         locprox::testing::NameOfCase());

TEST(RunCommand, QuietWritesNoConsoleAndTheSameFiles) {
  ScratchDirectory loud, quiet;
  copy_job(examples(), "TRIAL", loud);
  copy_job(examples(), "TRIAL", quiet);
  const auto a =
      run_program(loud.path(), "", LOCPROX_EXE, {"run", "TRIAL", "--correlation", "plain"});
  const auto b = run_program(quiet.path(), "", LOCPROX_EXE,
                             {"run", "TRIAL", "--correlation", "plain", "--quiet"});
  EXPECT_EQ(b.exit_status, 0);
  EXPECT_EQ(b.console, "");
  EXPECT_EQ(b.errors, "");
  EXPECT_NE(a.console, "");
  EXPECT_EQ(quiet.read("TRIAL.PRX"), loud.read("TRIAL.PRX"));
  EXPECT_EQ(quiet.read("TRIAL.OCC"), loud.read("TRIAL.OCC"));
}

TEST(RunCommand, YearsByTheirFullNames) {
  // Year names cut to 8 characters in the names file; the full names in
  // names.csv name them too.
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n3 1 1\n2019/202\n2020/202\n2021/202\nL\nG\n");
  dir.write("J.SEQ", "1 1 1 1\n2 1 1 2\n3 1 1 3\n");
  dir.write("J.names.csv",
            "kind,number,name,full_name\nyear,1,2019/202,2019/2020\nyear,2,2020/202,2020/2021\n"
            "year,3,2021/202,2021/2022\nlocation,1,L,L\nentry,1,G,G\n");
  const auto run = run_program(dir.path(), "", LOCPROX_EXE,
                               {"run", "J", "--correlation", "plain", "--from", "2020/2021"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_NE(run.console.find(" Sequence starts in year   2 & finishes in year   3"),
            std::string::npos);
  const auto cut = run_program(dir.path(), "", LOCPROX_EXE,
                               {"run", "J", "--correlation", "plain", "--to", "2020/202"});
  EXPECT_EQ(cut.exit_status, 0) << cut.errors;
  EXPECT_NE(cut.console.find(" Sequence starts in year   1 & finishes in year   2"),
            std::string::npos);
}

struct Wrong {
  const char* name;
  std::vector<std::string> arguments;
  int status;
  std::string message;  // the first line of standard error
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Wrong& c, std::ostream* os) { *os << c.name; }

const std::vector<Wrong> kWrong = {
    {"a year of no such name",
     {"--from", "1999"},
     2,
     "locprox: --from \"1999\": no year has that name (\"Y1\" to \"Y2\", or #1 to #3)"},
    {"a year number beyond the years",
     {"--to", "#4"},
     2,
     "locprox: --to \"#4\": the years are numbered #1 to #3"},
    {"a name that several years have",
     {"--from", "Y2"},
     2,
     "locprox: --from \"Y2\": years #2 and #3 all have that name; give the number, e.g. --from "
     "#2"},
    {"a sequence that ends before it starts",
     {"--from", "#3", "--to", "Y1"},
     2,
     "locprox: --to Y1 is year #1, before the first year of the sequence, #3"},
    {"a job larger than the memory allowed",
     {"--max-memory", "10K"},
     1,
     "locprox: J: refused: 3 years (3 in the sequence), 2 locations and 2 entries need 32 MiB "
     "of memory (work arrays 272 bytes), more than the 10 KiB allowed (--max-memory)"},
    {"a job without its names file",
     {"--correlation", "plain"},
     2,
     "locprox: unit 21 (K.NAQ): cannot open the file: No such file or directory"},
};

class WrongRuns : public ::testing::TestWithParam<Wrong> {};

TEST_P(WrongRuns, SayWhyAndWriteNothing) {
  const Wrong& w = GetParam();
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n3 2 2\nY1\nY2\nY2\nL1\nL2\nE1\nE2\n");
  dir.write("J.SEQ", "1 1 1 1\n1 2 1 2\n");
  dir.write("J.OCC", "an earlier report");
  std::vector<std::string> arguments = {
      "run", w.name == std::string("a job without its names file") ? "K" : "J"};
  if (w.arguments.front() != "--correlation") {
    arguments.push_back("--distance");
    arguments.push_back("centred");
  }
  arguments.insert(arguments.end(), w.arguments.begin(), w.arguments.end());
  const auto run = run_program(dir.path(), "", LOCPROX_EXE, arguments);
  EXPECT_EQ(run.exit_status, w.status);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(run.errors.substr(0, run.errors.find('\n')), w.message);
  EXPECT_EQ(dir.read("J.OCC"), "an earlier report");
  EXPECT_FALSE(dir.exists("J.PRX"));
}

INSTANTIATE_TEST_SUITE_P(Runs, WrongRuns, ::testing::ValuesIn(kWrong),
                         locprox::testing::NameOfCase());

TEST(RunCommand, NegativeCountsInTheNamesFileAreRefusedBeforeAnythingIsWritten) {
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n3 -2 2\n");
  dir.write("J.SEQ", "");
  const auto run = run_program(dir.path(), "", LOCPROX_EXE, {"run", "J", "--correlation", "plain"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.errors,
            "locprox: J.NAQ: the numbers of years, locations and entries (3 -2 2) cannot be "
            "negative\n");
  EXPECT_FALSE(dir.exists("J.OCC"));
  EXPECT_FALSE(dir.exists("J.PRX"));
}

TEST(RunCommand, AJobBeyondTheDialoguesArraysRunsInArraysOfItsSize) {
  // 1000 locations and 1000 entries: the dialogue refuses it (Z would need
  // 1000001 elements); sized, it runs, and the block shows the sizes used,
  // asterisks where six columns are too few.
  std::string names = "big\n2 1000 1000\n1\n2\n";
  for (const char* kind : {"L", "G"}) {
    for (int n = 1; n <= 1000; ++n) {
      names += kind;
      names += std::to_string(n);
      names += '\n';
    }
  }
  ScratchDirectory dir;
  dir.write("B.NAQ", names);
  dir.write("B.SEQ", "1 1 1 1.5\n1 2 1 2.5\n1 1 2 3.0\n1 2 2 1.0\n2 999 1000 4\n");
  const auto run = run_program(dir.path(), "", LOCPROX_EXE, {"run", "B", "--distance", "centred"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_NE(run.console.find(" PRESENT DIMENSIONS:  DZ=500501 Z=****** MZ=****** AZ=  2003\r\n"
                             " DIMENSIONS REQUIRED: DZ=500501 Z=****** MZ=****** AZ=  2003\r\n"),
            std::string::npos)
      << run.console.substr(0, 300);
  EXPECT_EQ(dir.read("B.PRX").substr(0, 44), "     2  1000  1000     1     2     2500500\r\n");
  // The dialogue itself refuses the same job.
  const auto dialogue = run_program(dir.path(), "y\nB\n2\n1000\n1000\n1\n2\n");
  EXPECT_EQ(dialogue.exit_status, 1);
  EXPECT_NE(dialogue.console.find(" INCREASE DIMENSION OF Z ARRAY TO 1000001"), std::string::npos);
}

TEST(RunCommand, WarnsOfRecordsOutOfYearOrderAndEqualNames) {
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n2 2 1\nY1\nY2\nL\nL\nG\n");
  dir.write("J.SEQ", "1 1 1 1\n2 1 1 2\n1 2 1 3\n2 2 1 4\n");
  const auto run = run_program(dir.path(), "", LOCPROX_EXE, {"run", "J", "--correlation", "plain"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.errors,
            "locprox: warning: J.SEQ: 1 record was skipped because its year is below the year "
            "being read (the file is not sorted by year); the first is line 3\n"
            "locprox: warning: J.NAQ: locations with equal names, which the report and the "
            "summary cannot tell apart: 1 and 2 (\"L\")\n"
            // One entry has no correlation: no pair is compared.
            "locprox: warning: J: no pair of distinct locations was compared in any year of the "
            "sequence, so there is nothing to group; check the year and location columns of "
            "the table: two locations are compared in a year in which both observed entries in "
            "common\n");
}

TEST(RunCommand, ABrokenTableOfNamesIsNamedAndTheRunGoesOnWithoutItsFullNames) {
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n2 2 1\nY1\nY2\nL1\nL2\nG\n");
  dir.write("J.SEQ", "1 1 1 1\n1 2 1 3\n2 1 1 2\n2 2 1 4\n");
  dir.write("J.names.csv", "kind,number,name,full_name\nyear,1,Y1,Season one\nyear,1,Y2,Two\n");
  // --from by a short name still works; the full names are not used.
  const auto run = run_program(dir.path(), "", LOCPROX_EXE,
                               {"run", "J", "--distance", "centred", "--from", "Y2"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.errors.rfind("locprox: warning: J.names.csv, line 3", 0), 0u) << run.errors;
  EXPECT_NE(run.errors.find("; the years' full names in it are not used\n"), std::string::npos)
      << run.errors;
  const auto by_full_name = run_program(
      dir.path(), "", LOCPROX_EXE, {"run", "J", "--distance", "centred", "--from", "Season one"});
  EXPECT_EQ(by_full_name.exit_status, 2);
}

TEST(MemorySize, ReadsSizesAsPeopleWriteThem) {
  const std::vector<std::pair<std::string, std::optional<std::uint64_t>>> cases = {
      {"2048", 2048},         {"512M", 512ull << 20},
      {"4G", 4ull << 30},     {"4g", 4ull << 30},
      {"1.5G", 3ull << 29},   {"64MiB", 64ull << 20},
      {"64MB", 64ull << 20},  {"10K", 10240},
      {"1T", 1ull << 40},     {"0.5K", 512},
      {"", std::nullopt},     {"0", std::nullopt},
      {"G", std::nullopt},    {"-1G", std::nullopt},
      {"4X", std::nullopt},   {"4 G", std::nullopt},
      {"4Gb2", std::nullopt}, {"99999999999T", std::nullopt},  // beyond 2^64 bytes
  };
  for (const auto& [text, bytes] : cases) EXPECT_EQ(parse_memory_size(text), bytes) << text;
}

TEST(MemorySize, TextsAndNeeds) {
  EXPECT_EQ(memory_text(100), "100 bytes");
  EXPECT_EQ(memory_text(10240), "10 KiB");
  EXPECT_EQ(memory_text(9728), "9.5 KiB");
  EXPECT_EQ(memory_text(512ull << 20), "512 MiB");
  EXPECT_EQ(memory_text((3ull << 29)), "1.5 GiB");
  // The worked example: DZREQ 11, ZREQ 21, MZREQ 98, AZREQ 13.
  const RunMemory m = run_memory({3, 10, 11, 21, 98, 13});
  EXPECT_EQ(m.work_arrays, 11u * 8 + 21 * 4 + 98 * 4 + 13 * 8);
  EXPECT_EQ(m.total, m.work_arrays + kRunOverhead);
  // Requirements that saturated stay at the top, never wrap.
  const std::int64_t top = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(run_memory({0, top, top, top, top, top}).total,
            std::numeric_limits<std::uint64_t>::max());
}

}  // namespace
}  // namespace locprox
