// The year loop of the analysis driver, by running the program: which years
// are processed, their records in the proximity file and their messages.
#include <gtest/gtest.h>

#include <string>

#include "input/job_run.h"

namespace locprox {
namespace {

using namespace locprox::testing;

// Three years, two locations, two entries.
const std::string kNames = "Trial\n3 2 2\nY1995\nY1996\nY1997\nL1\nL2\nE1\nE2\n";
const std::string kObservations =
    "1 1 1 1.0\n1 2 2 2.0\n2 1 1 3.0\n2 2 1 4.0\n3 1 2 5.0\n3 2 2 6.0\n";
std::string required(const char* mz) {
  return "DZ=     4 Z=     5 MZ=" + std::string(mz) + " AZ=     8";
}

std::string run_prefix(const char* mz) {
  return console_to_options(required(mz)) + kWeightPrompt + kMeasurePrompt + kSedTypePrompt +
         job_is("Trial") + options_echo('W', 'S', 'C', '\0');
}

TEST(DriverYearLoop, EveryYearOfTheSequenceInTurn) {
  struct Case {
    const char* name;
    std::string sizes;
    const char* mz;  // MZREQ in I6
    std::string years;
    std::string prx_years;  // the year records, in order
  } cases[] = {
      {"the whole data set", "3\n2\n2\n1\n3\n", "    39",
       year_block("Y1995   ", "") + year_block("Y1996   ", "") + year_block("Y1997   ", kEndOfData),
       "     1    Y1995   |     2    Y1996   |     3    Y1997   |"},
      {"IYS equal to IYF: one pass", "3\n2\n2\n2\n2\n", "    29", year_block("Y1996   ", ""),
       "     2    Y1996   |"},
      {"the last two years", "3\n2\n2\n2\n3\n", "    34",
       year_block("Y1996   ", "") + year_block("Y1997   ", kEndOfData),
       "     2    Y1996   |     3    Y1997   |"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    ProgramRun run = run_job_files(dir, kNames, kObservations, answers(c.sizes, "w\ns\nc\n"));
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    const int IYS = c.sizes[6] - '0';
    const int IYF = c.sizes[8] - '0';
    EXPECT_EQ(run.console, run_prefix(c.mz) + opening(IYS, IYF) + c.years);
    EXPECT_EQ(shared_report_records(dir.read("T.OCC"), run.console), console_messages(run.console));
    // The year records of the proximity file, found in their order among the
    // blocks.
    std::string found;
    for (const std::string& r : records_of(dir.read("T.PRX"))) {
      if (r.size() == 18 && r.substr(10, 4) == "Y199") found += r + "|";
    }
    EXPECT_EQ(found, c.prx_years);
  }
}

TEST(DriverYearLoop, SequenceEndingBeforeItStartsReadsTheNamesAndNoYear) {
  // IYF one year before IYS: NYA 0.
  ScratchDirectory dir;
  ProgramRun run =
      run_job_files(dir, kNames, kObservations, answers("3\n2\n2\n3\n2\n", "w\ns\nc\n"));
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.console, run_prefix("    24") + opening(3, 2));
  EXPECT_EQ(
      after_summary(dir.read("T.OCC")),
      rec("") + job_is("Trial") + options_echo('W', 'S', 'C', '\0') + rec("") + opening(3, 2));
  EXPECT_EQ(dir.read("T.PRX"), rec("     3     2     2     3     2     0     3") +
                                   rec(std::string("     W     S     C     \0", 24)));

  // The names are read all the same: a names file one name short stops the
  // run at its end.
  ScratchDirectory short_names;
  run = run_job_files(short_names, "Trial\n3 2 2\nY1995\nY1996\nY1997\nL1\nL2\nE1\n", "",
                      answers("3\n2\n2\n3\n2\n", "w\ns\nc\n"));
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_TRUE(run.errors.starts_with("locprox: unit 21 (T.NAQ): end of file")) << run.errors;
  EXPECT_NE(run.errors.find("after line 8"), std::string::npos) << run.errors;
  EXPECT_TRUE(
      short_names.read("T.OCC").ends_with(rec(" Read names of years, locations & entries in job")));
}

}  // namespace
}  // namespace locprox
