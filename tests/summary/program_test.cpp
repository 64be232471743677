// The built locprox-summary as a user runs it: exit status, messages, files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "summary/command_line.h"
#include "summary/example_files.h"
#include "summary/prx_text.h"
#include "summary/scratch.h"
#include "support/case_names.h"

namespace locprox::summary {
namespace {

using testing::ProgramRun;
using testing::Scratch;

ProgramRun summary(const Scratch& dir, const std::vector<std::string>& arguments) {
  return testing::run(LOCPROX_SUMMARY_EXE, arguments, dir.path());
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Program, HelpDescribesTheProgramAndSucceeds) {
  Scratch dir;
  ProgramRun run = summary(dir, {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  for (const char* part : {"Usage: locprox-summary JOB.PRX [options]", "--names FILE", "--year N",
                           "--z", "--groups K", "--min-common N", "JOB.pairs.csv", "JOB.matrix.csv",
                           "JOB.svg", "PROX / NGPAIR", "Exit status"}) {
    EXPECT_TRUE(contains(run.out, part)) << part;
  }
}

TEST(Program, RefusesBadOptionsWithStatus2) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "no proximity file given"},
      {{"JOB.PRX", "--bogus"}, "unknown option --bogus"},
      {{"JOB.PRX", "--year"}, "--year: 1 required N missing"},
      {{"JOB.PRX", "--out="}, "--out: 1 required STEM missing"},
      {{"JOB.PRX", "--year", "two"}, "--year needs a whole number, not \"two\""},
      {{"JOB.PRX", "--groups", "0"}, "--groups 0 is out of range"},
      {{"JOB.PRX", "--min-common", "-1"}, "--min-common -1 is out of range"},
      {{"JOB.PRX", "--z=yes"}, "z was given a disallowed flag override"},
      {{"JOB.PRX", "--max-interval", "0"}, "--max-interval needs a positive number, not \"0\""},
      {{"JOB.PRX", "--max-interval", "wide"},
       "--max-interval needs a positive number, not \"wide\""},
      {{"A.PRX", "B.PRX"}, "one proximity file only"},
      {{"JOB.PRX", "--threads", "0"}, "--threads 0 is out of range (1 to 4096)"},
      {{"JOB.PRX", "--threads", "all"}, "--threads needs a whole number, not \"all\""},
  };
  Scratch dir;
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    ProgramRun run = summary(dir, arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(contains(run.err, "locprox-summary: " + message)) << run.err;
    // One line saying what is wrong, then the usage, as locprox's commands do.
    EXPECT_TRUE(contains(run.err, "\nUsage: locprox-summary JOB.PRX [--names FILE]")) << run.err;
    EXPECT_TRUE(contains(run.err, "Run 'locprox-summary --help' for more.\n")) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

// What each accepted argument list asks for: the spellings CLI11 takes
// (an inline value, a negative year, options before the file, -h) give the
// same options the hand-written parser gave.
TEST(Program, ParsesEachSpellingOfTheOptions) {
  struct Case {
    std::vector<const char*> arguments;
    std::optional<std::int32_t> year;
    std::optional<std::int32_t> groups;
    std::int64_t min_common;
    bool keep_z;
    std::optional<std::string> names, out;
  };
  const Case cases[] = {
      {{"JOB.PRX"}, {}, {}, 10, false, {}, {}},
      {{"JOB.PRX", "--year", "-3"}, -3, {}, 10, false, {}, {}},
      {{"JOB.PRX", "--year=2", "--groups=4"}, 2, 4, 10, false, {}, {}},
      {{"--z", "--min-common", "0", "JOB.PRX"}, {}, {}, 0, true, {}, {}},
      {{"JOB.PRX", "--names", "A.NAQ", "--out", "dir/x"}, {}, {}, 10, false, "A.NAQ", "dir/x"},
      {{"--out=s", "JOB.PRX", "--groups", "2147483647"}, {}, 2147483647, 10, false, {}, "s"},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"locprox-summary"};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    std::FILE* sink = std::tmpfile();
    const ParsedCommandLine parsed =
        parse_command_line(static_cast<int>(argv.size()), argv.data(), sink, sink);
    std::fclose(sink);
    SCOPED_TRACE(std::to_string(c.arguments.size()) + " arguments, first " + c.arguments.front());
    ASSERT_TRUE(parsed.command.has_value());
    EXPECT_EQ(parsed.command->proximity_file, "JOB.PRX");
    EXPECT_EQ(parsed.command->year, c.year);
    EXPECT_EQ(parsed.command->groups, c.groups);
    EXPECT_EQ(parsed.command->min_common, c.min_common);
    EXPECT_EQ(parsed.command->keep_z, c.keep_z);
    EXPECT_EQ(parsed.command->names, c.names);
    EXPECT_EQ(parsed.command->out, c.out);
  }
}

TEST(Program, HelpNeedsNothingElseAndWinsOverTheRest) {
  for (std::vector<const char*> argv : {std::vector<const char*>{"locprox-summary", "-h"},
                                        {"locprox-summary", "JOB.PRX", "--help"},
                                        {"locprox-summary", "--help", "A.PRX", "B.PRX"}}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const ParsedCommandLine parsed =
        parse_command_line(static_cast<int>(argv.size()), argv.data(), out, err);
    EXPECT_FALSE(parsed.command.has_value());
    EXPECT_EQ(parsed.exit_status, 0);
    EXPECT_EQ(std::ftell(out), static_cast<long>(std::string(kHelpText).size()));
    EXPECT_EQ(std::ftell(err), 0);
    std::fclose(out);
    std::fclose(err);
  }
}

TEST(Program, RefusesABadFileWithStatus2NamingFileAndLine) {
  Scratch dir;
  std::vector<std::string> records = testing::example_records();
  records[17] = "  0.40000000E+01  0.1100000?E+02";
  dir.write("JOB.PRX", testing::join_records(records));
  ProgramRun run = summary(dir, {"JOB.PRX"});
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(contains(run.err, "locprox-summary: JOB.PRX, line 18: bad field")) << run.err;
  EXPECT_FALSE(dir.read("JOB.pairs.csv").size() > 0);  // nothing written

  ProgramRun missing = summary(dir, {"NONE.PRX"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(contains(missing.err, "NONE.PRX: cannot be opened")) << missing.err;

  // Options that only the file can judge.
  dir.write("JOB.PRX", testing::example_prx());
  ProgramRun year = summary(dir, {"JOB.PRX", "--year", "5"});
  EXPECT_EQ(year.status, 2);
  EXPECT_TRUE(contains(year.err, "--year 5: JOB.PRX holds years 1 to 2")) << year.err;
  ProgramRun groups = summary(dir, {"JOB.PRX", "--groups", "4"});
  EXPECT_EQ(groups.status, 2);
  EXPECT_TRUE(contains(groups.err, "--groups 4 asks for more groups than the 3 locations"))
      << groups.err;
  dir.write("OTHER.NAQ", "T\n2 4 5\nY1\nY2\nA\nB\nC\nD\n");
  ProgramRun names = summary(dir, {"JOB.PRX", "--names", "OTHER.NAQ"});
  EXPECT_EQ(names.status, 2);
  EXPECT_TRUE(contains(names.err, "OTHER.NAQ, line 2: the names file counts 4 locations"))
      << names.err;
}

TEST(Program, SummarisesTheExampleJob) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  dir.write("JOB.NAQ", testing::example_naq());
  ProgramRun run = summary(dir, {"JOB.PRX", "--groups", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string expected =
      "locprox-summary: JOB.PRX\n"
      "  measure                           correlation\n"
      "  weighting                         weighted by entries in common: average = PROX / NGPAIR\n"
      "  years                             1995-1996, 2 years (numbers 1 to 2): the whole sequence\n"
      "  locations                         3 (names from JOB.NAQ)\n"
      "  pairs of locations                3\n"
      "    compared                        3\n"
      "    never compared                  0\n"
      "    fewer than 10 entries in common 3\n"
      "  written                           JOB.pairs.csv, JOB.matrix.csv, JOB.tree.csv, JOB.svg, "
      "JOB.years.csv, JOB.groups.csv, JOB.stability.csv, JOB.html\n"
      // 1 - r: (1,2) 0.5, (1,3) 0.4, (2,3) 1.5: {1,3} join first, then 2 at (0.5 + 1.5) / 2.
      "2 groups (average linkage on 1 - r, in the picture's order):\n"
      "  group 1 (2): 1 North, 3 East\n"
      "  group 2 (1): 2 S, far\n"
      // Without year 1: (1,2) 0.6, (1,3) 0.4, (2,3) never: the same groups. Without
      // year 2: (1,2) 0.4, (2,3) 1.5, (1,3) never: {1,2} and {3}; 3 leaves its group,
      // and the index of {1,3},{2} against {1,2},{3} is (0 - 1/3) / (1 - 1/3).
      "leave-one-year-out: 2 runs, each without one year, cut into 2 groups "
      "(JOB.stability.csv):\n"
      "  group 1 stayed whole in 1 of 2 runs\n"
      "  group 2 stayed whole in 2 of 2 runs\n"
      "  2 of 3 locations in their group in every run; the others:\n"
      "    3 East in group 1 in 1 of 2 runs\n"
      "  the year whose removal changes the groups most: 1996 (adjusted Rand index -0.500 "
      "against all years)\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_TRUE(contains(dir.read("JOB.pairs.csv"), "1,North,2,\"S, far\",0.5,4,8,2,"));
  EXPECT_TRUE(contains(dir.read("JOB.matrix.csv"), "East,0.6,-0.5,1\n"));
  EXPECT_TRUE(contains(dir.read("JOB.svg"), "<svg"));
  // A plain correlation run keeps the rule of entries in common.
  EXPECT_TRUE(contains(dir.read("JOB.svg"), "pale: fewer than 10 entries in common<"));
  EXPECT_TRUE(contains(dir.read("JOB.html"), "\"locations\":[\"North\",\"S, far\",\"East\"]"));
  EXPECT_TRUE(contains(dir.read("JOB.html"), ",\"groups\":2,")) << "opens with --groups K";
}

TEST(Program, NoHtmlWritesNoPage) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  ProgramRun run = summary(dir, {"JOB.PRX", "--no-html"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "  written  ")) << run.out;
  EXPECT_FALSE(contains(run.out, "JOB.html")) << run.out;
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "JOB.svg"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "JOB.html"));
}

TEST(Program, NumbersTheLocationsWithoutANamesFileAndWritesUnderAnotherStem) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  ProgramRun run = summary(dir, {"JOB.PRX", "--year", "1", "--out", "early", "--min-common", "4"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "3 (numbered: no names file JOB.NAQ)")) << run.out;
  EXPECT_TRUE(contains(run.out, "years                             1995, 1 year (number 1), of years 1 to 2"))
      << run.out;
  EXPECT_TRUE(contains(run.out, "    never compared                  1\n")) << run.out;
  EXPECT_TRUE(contains(run.out, "    fewer than 4 entries in common  1\n")) << run.out;
  EXPECT_TRUE(contains(dir.read("early.pairs.csv"), "1,1,3,3,,0,0,0,"));
  // One year: its values, and no spread over the years.
  EXPECT_TRUE(contains(dir.read("early.pairs.csv"), "1,1,2,2,0.6,2.4,4,1,,,,,,\n"));
  EXPECT_EQ(dir.read("early.years.csv"),
            "year,year_number,location_i,name_i,location_j,name_j,value,entries_in_common\n"
            "1995,1,1,1,2,2,0.6,4\n1995,1,2,2,3,3,-0.5,3\n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "JOB.pairs.csv"));
}

TEST(Program, WarnsAboutAsterisksAndStillSucceeds) {
  Scratch dir;
  std::vector<std::string> records = testing::example_records();
  records[20] = "     8******    11";  // NGPAIR(1,2), the divisor of a weighted run
  dir.write("JOB.PRX", testing::join_records(records));
  ProgramRun run = summary(dir, {"JOB.PRX"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(
      contains(run.err, "warning: JOB.PRX: 1 count field(s) of year 2 were written as asterisks"))
      << run.err;
  EXPECT_TRUE(contains(run.out, "    unknown (count too wide)        1\n")) << run.out;
  EXPECT_TRUE(contains(dir.read("JOB.pairs.csv"), "1,1,2,2,,4,,2,,,,,,\n"));
}

TEST(Program, AnOutputThatCannotBeWrittenGivesStatus1) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  ProgramRun run = summary(dir, {"JOB.PRX", "--out", "no-such-folder/JOB"});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(contains(run.err, "no-such-folder/JOB.pairs.csv: cannot be created")) << run.err;
}

// STEM.names.csv beside the proximity file gives the full names; the names
// file still gives the job's title, and must hold the table's short names.
TEST(Program, ShowsTheFullNamesOfTheTableOfNames) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  dir.write("JOB.NAQ", testing::example_naq());
  dir.write("JOB.names.csv",
            "kind,number,name,full_name\n"
            "year,1,1995,Season 1995\nyear,2,1996,Season 1996\n"
            "location,1,North,North Farm\nlocation,2,\"S, far\",\"South, far field\"\n"
            "location,3,East,East Valley\n"
            "entry,1,G1,G1\nentry,2,G2,G2\nentry,3,G3,G3\nentry,4,G4,G4\nentry,5,G5,G5\n");
  ProgramRun run = summary(dir, {"JOB.PRX", "--groups", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  for (const char* part :
       {"  years                             Season 1995-Season 1996, 2 years (numbers 1 to 2)",
        "  locations                         3 (full names from JOB.names.csv)\n",
        "  group 1 (2): 1 North Farm, 3 East Valley\n", "  group 2 (1): 2 South, far field\n"}) {
    EXPECT_TRUE(contains(run.out, part)) << part << "\n" << run.out;
  }
  EXPECT_TRUE(
      contains(dir.read("JOB.pairs.csv"), "1,North Farm,2,\"South, far field\",0.5,4,8,2,"));
  EXPECT_TRUE(
      contains(dir.read("JOB.matrix.csv"), ",North Farm,\"South, far field\",East Valley\n"));
  const std::string svg = dir.read("JOB.svg");
  EXPECT_TRUE(
      contains(svg, ">Example job: average correlation r, weighted, Season 1995-Season 1996, 2 years<"));
  EXPECT_TRUE(contains(svg, ">East Valley<"));

  // With --names only that names file counts.
  ProgramRun plain = summary(dir, {"JOB.PRX", "--names", "JOB.NAQ", "--out", "plain"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_TRUE(contains(plain.out, "3 (names from JOB.NAQ)")) << plain.out;
  EXPECT_TRUE(contains(dir.read("plain.pairs.csv"), "1,North,2,\"S, far\",0.5,4,8,2,"));

  // A table of another import: a warning, and the names file's names.
  dir.write("JOB.names.csv",
            "kind,number,name,full_name\nyear,1,1995,1995\nyear,2,1996,1996\n"
            "location,1,North,North Farm\nlocation,2,South,South Farm\nlocation,3,East,East\n"
            "entry,1,G1,G1\nentry,2,G2,G2\nentry,3,G3,G3\nentry,4,G4,G4\nentry,5,G5,G5\n");
  ProgramRun stale = summary(dir, {"JOB.PRX"});
  ASSERT_EQ(stale.status, 0) << stale.err;
  EXPECT_TRUE(contains(stale.err, "warning: JOB.names.csv is not the table of JOB.NAQ: location 2"))
      << stale.err;
  EXPECT_TRUE(contains(stale.out, "3 (names from JOB.NAQ)")) << stale.out;
}

TEST(Program, TitlesThePictureWithTheJobsTitleOrTheFileStem) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  dir.write("JOB.NAQ",
            "   A title longer than fifty characters, cut at the fiftieth: not this\n2 3 5\n"
            "1995\n1996\nNorth\nSouth\nEast\nG1\nG2\nG3\nG4\nG5\n");
  ASSERT_EQ(summary(dir, {"JOB.PRX"}).status, 0);
  // The first 50 characters, trimmed, then the measure and the year.
  EXPECT_TRUE(contains(dir.read("JOB.svg"),
                       ">A title longer than fifty characters, cut at th: average correlation r, "
                       "weighted, 1995-1996, 2 years<"))
      << dir.read("JOB.svg");
  std::filesystem::remove(dir.path() / "JOB.NAQ");
  ASSERT_EQ(summary(dir, {"JOB.PRX"}).status, 0);
  EXPECT_TRUE(
      contains(dir.read("JOB.svg"), ">JOB: average correlation r, weighted, 1995-1996, 2 years<"));
}

TEST(Program, WritesTheTreeAndCutsItIntoOneToAllGroups) {
  Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  ProgramRun one = summary(dir, {"JOB.PRX", "--groups", "1"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(contains(one.out,
                       "1 group (average linkage on 1 - r, in the picture's order):\n"
                       "  group 1 (3): 1, 3, 2\n"))
      << one.out;
  ProgramRun all = summary(dir, {"JOB.PRX", "--groups", "3"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_TRUE(contains(all.out, "  group 1 (1): 1\n  group 2 (1): 3\n  group 3 (1): 2\n"))
      << all.out;
  // 1 - r: (1,3) 0.4 joins first; 2 then at the mean of 0.5 and 1.5.
  EXPECT_EQ(dir.read("JOB.tree.csv"), "step,merge1,merge2,height\n1,-1,-3,0.4\n2,-2,1,1\n");
}

// The proximity file of a refused run holds only its first record or two:
// reported as refused, with the report's reason, and status 1 as the run's.
TEST(Program, ReportsARefusedRunWithTheReasonFromItsReport) {
  const struct {
    const char* what;
    const char* answers;  // the job has 2 years, 3 locations and 4 entries
    const char* prx;
    const char* reason;
  } cases[] = {
      {"names-file counts that disagree", "Y\nJOB\n2\n3\n5\n1\n2\nW\nR\nN\n",
       "JOB.PRX holds only the dimension and option records",
       "JOB.OCC gives the reason:\n  No. genotypes specified not the same as in *.NAQ file\n"},
      {"work arrays too small", "Y\nJOB\n2\n3000\n5000\n1\n2\nW\nR\nN\n",
       "JOB.PRX holds only the dimension record",
       "JOB.OCC gives the reason:\n  INCREASE DIMENSION OF DZ ARRAY TO 4501501\n"
       "  INCREASE DIMENSION OF Z ARRAY TO15000001\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Scratch dir;
    dir.write("JOB.NAQ", "Refused\n2 3 4\nY1\nY2\nL1\nL2\nL3\nG1\nG2\nG3\nG4\n");
    dir.write("JOB.SEQ", "1 1 1 1\n");
    testing::run(LOCPROX_MAIN_EXE, {}, dir.path(), c.answers);
    ProgramRun run = summary(dir, {"JOB.PRX"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(contains(run.err, std::string("locprox-summary: ") + c.prx)) << run.err;
    EXPECT_TRUE(contains(run.err, "was refused")) << run.err;
    EXPECT_TRUE(contains(run.err, c.reason)) << run.err;
    EXPECT_FALSE(contains(run.err, "truncated")) << run.err;
    EXPECT_FALSE(dir.exists("JOB.pairs.csv"));

    // The report of another run says nothing about this one; no report, no reason.
    dir.write("JOB.OCC", testing::example_prx());
    ProgramRun other = summary(dir, {"JOB.PRX"});
    EXPECT_EQ(other.status, 1);
    EXPECT_FALSE(contains(other.err, "gives the reason")) << other.err;
    std::filesystem::remove(dir.path() / "JOB.OCC");
    ProgramRun alone = summary(dir, {"JOB.PRX"});
    EXPECT_EQ(alone.status, 1);
    EXPECT_TRUE(contains(alone.err, "was refused")) << alone.err;
    EXPECT_FALSE(contains(alone.err, "gives the reason")) << alone.err;
  }
}

// The whole road: the main program analyses a small job, and the summary
// reads its proximity file. Worked by hand: after centring, year 1 has
// location 1 at (-1, 0, 1) on entries 1-3, location 2 at (-2, 0, 2) and
// location 3 at (2, -2, 0, 0) on entries 1-4; year 2 has locations 1 and 2
// only, at (-1, 1) and (1, -1) on entries 1-2. Correlations: year 1
// r12 = 4 / sqrt(8 * 2) = 1, r13 = -2 / sqrt(8 * 2) = -0.5,
// r23 = -4 / sqrt(8 * 8) = -0.5; year 2 r12 = -2 / sqrt(2 * 2) = -1.
// Weighted: (1,2) (1 * 3 - 1 * 2) / 5 = 0.2; (1,3) and (2,3) -1.5 / 3 = -0.5.
TEST(Program, SummarisesAProximityFileWrittenByTheMainProgram) {
  if (!std::filesystem::exists(LOCPROX_MAIN_EXE)) GTEST_SKIP() << "locprox is not built";
  Scratch dir;
  dir.write("JOB.NAQ", "Two years\n2 3 4\nY1\nY2\nL1\nL2\nL3\nG1\nG2\nG3\nG4\n");
  dir.write("JOB.SEQ",
            "1 1 1 1\n1 1 2 2\n1 1 3 3\n"
            "1 2 1 2\n1 2 2 4\n1 2 3 6\n"
            "1 3 1 5\n1 3 2 1\n1 3 3 3\n1 3 4 3\n"
            "2 1 1 0\n2 1 2 2\n2 2 1 5\n2 2 2 3\n");
  ProgramRun main_run =
      testing::run(LOCPROX_MAIN_EXE, {}, dir.path(), "Y\nJOB\n2\n3\n4\n1\n2\nW\nR\nN\n");
  ASSERT_EQ(main_run.status, 0) << main_run.out << main_run.err;
  ProgramRun run = summary(dir, {"JOB.PRX"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string pairs = dir.read("JOB.pairs.csv");
  // The trust columns: a plain correlation run has only the spread of the
  // years, for (1,2) sqrt((3 (1 - 0.2)^2 + 2 (-1 - 0.2)^2) / 5) = sqrt(0.96).
  for (const char* row : {"1,L1,1,L1,1,5,5,2,,,,,,\n", "1,L1,2,L2,0.2,1,5,2,,,,,,0.979795897\n",
                          "1,L1,3,L3,-0.5,-1.5,3,1,,,,,,\n", "2,L2,3,L3,-0.5,-1.5,3,1,,,,,,\n",
                          "3,L3,3,L3,1,4,4,1,,,,,,\n"}) {
    EXPECT_TRUE(contains(pairs, row)) << row << pairs;
  }
}

// A weighted Fisher z run: the trust columns are filled, and the picture's
// pale cells follow the interval's width, as its legend says. Three
// locations see the same six entries in two years; every pair is compared on
// 6 - 3 = 3 per year, NGPAIR 6, so its interval on the z scale is
// z -+ 1.959964 / sqrt(6), wider than 0.5 on the r scale for these pairs.
TEST(Program, AFisherZRunHasIntervalsAndPalesTheWideOnes) {
  if (!std::filesystem::exists(LOCPROX_MAIN_EXE)) GTEST_SKIP() << "locprox is not built";
  Scratch dir;
  dir.write("JOB.NAQ", "Fisher z\n2 3 6\nY1\nY2\nL1\nL2\nL3\nG1\nG2\nG3\nG4\nG5\nG6\n");
  std::string seq;
  const int values[2][3][6] = {{{1, 2, 3, 4, 5, 7}, {2, 1, 4, 3, 6, 5}, {6, 5, 4, 3, 1, 2}},
                               {{1, 3, 2, 5, 4, 6}, {1, 2, 3, 5, 4, 6}, {3, 1, 2, 6, 5, 4}}};
  for (int y = 0; y < 2; ++y)
    for (int l = 0; l < 3; ++l)
      for (int g = 0; g < 6; ++g)
        seq += std::to_string(y + 1) + " " + std::to_string(l + 1) + " " + std::to_string(g + 1) +
               " " + std::to_string(values[y][l][g]) + "\n";
  dir.write("JOB.SEQ", seq);
  ProgramRun main_run =
      testing::run(LOCPROX_MAIN_EXE, {}, dir.path(), "Y\nJOB\n2\n3\n6\n1\n2\nW\nR\nZ\n");
  ASSERT_EQ(main_run.status, 0) << main_run.out << main_run.err;

  ProgramRun run = summary(dir, {"JOB.PRX"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(contains(run.out, "pairs to act on (all pairs in JOB.pairs.csv):\n")) << run.out;
  EXPECT_TRUE(contains(dir.read("JOB.svg"), "pale: 95 % interval wider than 0.5<"));
  // Every pair: both ends of the interval, Q on 1 df with its p, a spread.
  const std::string pairs = dir.read("JOB.pairs.csv");
  size_t filled = 0;
  for (size_t at = pairs.find('\n'); at != std::string::npos && at + 1 < pairs.size();
       at = pairs.find('\n', at + 1)) {
    const std::string row = pairs.substr(at + 1, pairs.find('\n', at + 1) - at - 1);
    if (row.rfind("1,L1,1,", 0) == 0 || row.rfind("2,L2,2,", 0) == 0 ||
        row.rfind("3,L3,3,", 0) == 0) {
      EXPECT_TRUE(row.size() > 6 && row.substr(row.size() - 6) == ",,,,,,") << row;
      continue;
    }
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 13) << row;
    EXPECT_FALSE(contains(row, ",,")) << row;
    EXPECT_TRUE(contains(row, ",1,")) << row;  // heterogeneity_df
    ++filled;
  }
  EXPECT_EQ(filled, 3u) << pairs;

  ProgramRun wide = summary(dir, {"JOB.PRX", "--max-interval", "2", "--out", "wide"});
  ASSERT_EQ(wide.status, 0) << wide.err;
  EXPECT_TRUE(contains(dir.read("wide.svg"), "pale: 95 % interval wider than 2<"));
  EXPECT_FALSE(contains(dir.read("JOB.svg"), "pale: fewer than"));
}

}  // namespace
}  // namespace locprox::summary

namespace locprox::summary {
namespace {

struct NothingToGroup {
  const char* name;
  std::string prx;
  std::string message;  // the whole of standard error
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const NothingToGroup& c, std::ostream* os) { *os << c.name; }

const std::vector<NothingToGroup> kNothingToGroup = {
    {"one location",
     std::string("     1     1     2     1     1     1     1\r\n     W     S     C     ") + '\0' +
         "\r\n     1    2019    \r\n  0.00000000E+00\r\n     0     0\r\n     0     0\r\n"
         "     0     0\r\n",
     "locprox-summary: J.PRX: no pair compared: the job has 1 location; nothing to summarise "
     "(check the year and location columns of the table)\n"},
    // Two years of one location each: site-years given as the years.
    {"two locations never in one year",
     std::string("     2     2     2     1     2     2     3\r\n     W     S     C     ") + '\0' +
         "\r\n     1    77      \r\n  0.00000000E+00\r\n  0.00000000E+00  0.00000000E+00\r\n"
         "     0     0\r\n     0     0     0\r\n     0     0\r\n     0     0     0\r\n"
         "     0     0\r\n     0     0     0\r\n"
         "     2    78      \r\n  0.00000000E+00\r\n  0.00000000E+00  0.00000000E+00\r\n"
         "     0     0\r\n     0     0     0\r\n     0     0\r\n     0     0     0\r\n"
         "     0     0\r\n     0     0     0\r\n",
     "locprox-summary: J.PRX: no pair compared: no two of the 2 locations were compared in years "
     "1 to 2; nothing to summarise (check the year and location columns of the table)\n"},
};

class NothingToGroupFiles : public ::testing::TestWithParam<NothingToGroup> {};

// No tree of joins at an infinite height: the summary says there is nothing
// to group, writes nothing and ends with status 1.
TEST_P(NothingToGroupFiles, SayNoPairComparedAndWriteNothing) {
  const NothingToGroup& c = GetParam();
  Scratch dir;
  dir.write("J.PRX", c.prx);
  ProgramRun run = summary(dir, {"J.PRX", "--groups", "1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, c.message);
  for (const char* file : {"J.pairs.csv", "J.matrix.csv", "J.tree.csv", "J.svg", "J.years.csv",
                           "J.html"})
    EXPECT_FALSE(std::filesystem::exists(dir.path() / file)) << file;
}

INSTANTIATE_TEST_SUITE_P(Program, NothingToGroupFiles, ::testing::ValuesIn(kNothingToGroup),
                         locprox::testing::NameOfCase());

// The year groups are read, the leave-one-year-out runs clustered and the
// page's states (all eight years here) made on the threads asked for: every
// file and message the same on any number.
TEST(Program, WritesTheSameOnAnyNumberOfThreads) {
  // 40 locations over 8 years, a squared Euclidean run with sums that grow
  // year by year, so that every year is compared and the groups are chosen.
  testing::PrxText prx;
  prx.maxy = 8;
  prx.maxl = 40;
  prx.iyf = 8;
  prx.weight = 'U';
  prx.prxtyp = 'S';
  prx.sedtyp = 'C';
  prx.cortyp = '\0';
  const size_t ntm = 40 * 41 / 2;
  std::vector<double> prox(ntm, 0.0);
  std::vector<std::int64_t> ngpair(ntm, 0), nypair(ntm, 0);
  std::uint64_t seed = 5;
  auto next = [&seed](std::uint64_t bound) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    return (seed >> 33) % bound;
  };
  for (std::int32_t y = 1; y <= 8; ++y) {
    for (size_t p = 0; p < ntm; ++p) {
      if (next(4) == 0) continue;
      prox[p] += 0.01 * static_cast<double>(1 + next(1000));
      ngpair[p] += static_cast<std::int64_t>(5 + next(30));
      nypair[p] += 1;
    }
    testing::PrxGroup group;
    group.year = y;
    group.name = "Y" + std::to_string(y);
    group.prox = prox;
    group.ngpair = ngpair;
    group.nypair = nypair;
    prx.groups.push_back(group);
  }
  const std::string text = prx.text();
  const char* const outputs[] = {"JOB.pairs.csv", "JOB.matrix.csv", "JOB.tree.csv",
                                 "JOB.years.csv", "JOB.groups.csv", "JOB.stability.csv",
                                 "JOB.svg",       "JOB.html"};
  Scratch one;
  one.write("JOB.PRX", text);
  const ProgramRun first = summary(one, {"JOB.PRX", "--threads", "1"});
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_TRUE(contains(first.out, "JOB.stability.csv")) << first.out;
  for (const char* threads : {"2", "7"}) {
    SCOPED_TRACE(std::string(threads) + " threads");
    Scratch dir;
    dir.write("JOB.PRX", text);
    const ProgramRun run = summary(dir, {"JOB.PRX", "--threads", threads});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, first.out);
    EXPECT_EQ(run.err, first.err);
    for (const char* file : outputs) EXPECT_EQ(dir.read(file), one.read(file)) << file;
  }
}

}  // namespace
}  // namespace locprox::summary
