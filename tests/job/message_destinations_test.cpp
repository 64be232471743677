// The order in which a message goes to its two destinations. The console
// (written as an interactive console: first character dropped, LF) and the
// report (CR LF) share one descriptor here, flushed after every record, so
// the bytes show which copy came first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "format/input_unit.h"
#include "format/output_unit.h"
#include "format/units.h"
#include "job/console_dialogue.h"
#include "job/work_arrays.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

// Runs the problem size step and the year loop on the given files and
// capacities;
// returns the console and the report interleaved.
std::string interleaved(const std::string& answers, const std::string& naq, const std::string& seq,
                        std::int32_t DZDIM_, std::int32_t ZDIM_, std::int32_t MZDIM_,
                        std::int32_t AZDIM_) {
  ScratchDirectory dir;
  dir.write("answers", answers);
  dir.write("T.NAQ", naq);
  dir.write("T.SEQ", seq);
  const auto path = [&dir](const char* name) { return (dir.path() / name).string(); };
  const int both = ::open(path("both").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  {
    OutputUnit console(0, "console", OutputUnit::Style::kConsole, true);
    console.adopt(both);
    OutputUnit report(22, "T.OCC", OutputUnit::Style::kFile, true);
    report.adopt(both);
    InputUnit console_input(0, path("answers"), &console);
    console_input.open();
    InputUnit observations(20, path("T.SEQ"));
    observations.open();
    InputUnit names(21, path("T.NAQ"));
    names.open();
    OutputUnit proximity(23, path("T.PRX"), OutputUnit::Style::kFile, false);
    proximity.open();
    Units units{console, console_input, observations, names, report, proximity};
    auto work = std::make_unique<WorkArrays>();
    WorkArrayViews views = work->views();
    views.DZDIM = DZDIM_;
    views.ZDIM = ZDIM_;
    views.MZDIM = MZDIM_;
    views.AZDIM = AZDIM_;
    run_problem(units, views);
    console.flush();
    report.flush();
    proximity.close();
  }
  ::close(both);
  return dir.read("both");
}

const std::string kNames = "Title\n3 2 2\nY1\nY2\nY3\nL1\nL2\nE1\nE2\n";
const std::string kAnswers = "3\n2\n2\n1\n3\nw\ns\ns\n";

TEST(DriverDestinations, EachMessageInItsOrder) {
  const std::string both = interleaved(
      kAnswers, kNames, "1 1 1 1.0\n1 1 1 2.0\n1 3 1 1.0\n2 1 1 1.0\n", DZDIM, ZDIM, MZDIM, AZDIM);
  const std::string title = "Job is Title" + std::string(45, ' ');
  const char* const report_first[] = {
      " Job is Title",
      " Sequence starts in year   1 & finishes in year   3",
      " Read names of years, locations & entries in job",
      " For each year",
      "   Read data",
      " Duplicate observation in YR/Loc/En     1    1    1     2.000",
      " Observation out of range in YR/Loc/En     1    3    1     1.000",
      "   Calculate delta & gamma matrices",
      "   Write delta and gamma matrices",
      "   Location centre the years data",
      " Calculate requested proximity measure",
      "   Using weighted averages",
      "   Of squared Euclidean distances",
      "   With location standardized data",
  };
  for (std::string message : report_first) {
    if (message == " Job is Title") message = " " + title;
    // The report's copy, then the console's without its first character.
    // (A prompt's open record may stand between them: the console is
    // written out at the end of each of its records.)
    const std::size_t report_copy = both.find(message + "\r\n");
    const std::size_t console_copy = both.find(message.substr(1) + "\n");
    EXPECT_NE(console_copy, std::string::npos) << message;
    EXPECT_LT(report_copy, console_copy) << message << "\n" << both;
  }
  // "   For year": an empty record and the year, in the report, then on the
  // console.
  EXPECT_NE(both.find("\r\n   For year Y1      \r\n\n  For year Y1      \n"), std::string::npos);
  // The options echo: the console's four records, then the report's.
  EXPECT_NE(both.find(title +
                      "\nWeighted (W) or unweighted (U) analysis (WEIGHT) W\n"
                      "SED (S) or COR (C) measure              (PRXTYP) S\n"
                      "Centered (C) or standardized (S) SED    (SEDTYP) S\n" +
                      std::string("Normal (N) or Z (Z) average correlation (CORTYP) \0\n", 51) +
                      " Weighted (W) or unweighted (U) analysis (WEIGHT) W\r\n"),
            std::string::npos)
      << both;
  // " End of data": the console first.
  EXPECT_NE(both.find("  Read data\nEnd of data\n End of data\r\n"), std::string::npos) << both;
}

TEST(DriverDestinations, RefusalsAndDisagreements) {
  struct Case {
    const char* name;
    std::string answers;
    std::string naq;
    std::int32_t capacities[4];
    std::string expected;  // both copies, in their order
  } cases[] = {
      {"counts disagree: report first, after an empty record",
       kAnswers,
       "Title\n3 2 5\n",
       {DZDIM, ZDIM, MZDIM, AZDIM},
       "\r\n No. genotypes specified not the same as in *.NAQ file\r\n"
       "No. genotypes specified not the same as in *.NAQ file\n"},
      {"an array too small: console first",
       kAnswers,
       kNames,
       {DZDIM, ZDIM, 30, AZDIM},
       "INCREASE DIMENSION OF MZ ARRAY TO      39\n INCREASE DIMENSION OF MZ ARRAY TO      39\r\n"},
      {"a refused problem: console first",
       "3\n2\n2\n3\n1\n",
       kNames,
       {DZDIM, ZDIM, MZDIM, AZDIM},
       "Year sequential analysis finishes before it starts\n"
       " Year sequential analysis finishes before it starts\r\n"},
  };
  for (const Case& c : cases) {
    const std::string both = interleaved(c.answers, c.naq, "", c.capacities[0], c.capacities[1],
                                         c.capacities[2], c.capacities[3]);
    EXPECT_NE(both.find(c.expected), std::string::npos) << c.name << "\n" << both;
  }
}

}  // namespace
}  // namespace locprox
