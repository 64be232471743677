// Honest exits and warnings of a dialogue run: a refused run ends with
// status 1 after its messages, and what the run computes that its answers or
// files may not have meant is said on standard error, one line each, while
// the console, the report and the proximity file stay as they are.
#include "job/run_warnings.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using testing::run_program;
using testing::ScratchDirectory;

TEST(OptionWarnings, SayWhatTheRunMakesOfEveryOtherLetter) {
  struct Case {
    Measure options;
    std::vector<std::string> warnings;
  } cases[] = {
      {{'W', 'S', 'C', '\0'}, {}},
      {{'U', 'S', 'S', '\0'}, {}},
      {{'W', 'R', '\0', 'N'}, {}},
      {{'U', 'R', '\0', 'Z'}, {}},
      {{'x', 'S', 'C', '\0'}, {"answer 'x' to WEIGHT is taken as unweighted"}},
      {{' ', 'S', 'C', '\0'}, {"answer ' ' to WEIGHT is taken as unweighted"}},
      {{'W', 'S', 'q', '\0'}, {"answer 'q' to SEDTYP is taken as standardised"}},
      // The echo label says "COR (C)": C is no letter of the prompt, and
      // gives correlations.
      {{'W', 'C', '\0', 'Z'}, {"answer 'C' to PRXTYP is taken as correlation"}},
      {{'x', 'q', '\0', 'q'},
       {"answer 'x' to WEIGHT is taken as unweighted", "answer 'q' to PRXTYP is taken as correlation",
        "answer 'q' to CORTYP: plain correlations are averaged although the console says Fisher z"}},
      {{'W', 'R', '\0', '\x01'},
       {"answer '\\x01' to CORTYP: plain correlations are averaged although the console says "
        "Fisher z"}},
  };
  for (const Case& c : cases) EXPECT_EQ(option_warnings(c.options), c.warnings);
}

// A small job: 3 years, 2 locations, 2 entries.
const std::string kNames = "Title\n3 2 2\nY1\nY2\nY3\nL1\nL2\nE1\nE2\n";
const std::string kObservations =
    "1 1 1 1.0\n1 2 1 2.0\n1 1 2 3.0\n1 2 2 5.0\n2 1 1 1.5\n2 2 1 2.5\n2 1 2 3.5\n"
    "2 2 2 4.0\n3 1 1 1.0\n3 2 2 2.0\n";

struct DialogueRun {
  const char* what;
  std::string names, observations, answers;
  int status;
  std::string errors;  // the whole of standard error
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const DialogueRun& c, std::ostream* os) { *os << c.what; }

const std::vector<DialogueRun> kRuns = {
    {"completed", kNames, kObservations, "y\nT\n3\n2\n2\n1\n3\nw\nr\nz\n", 0, ""},
    {"lower-case letters are the letters offered", kNames, kObservations,
     "y\nT\n3\n2\n2\n1\n3\nu\ns\ns\n", 0, ""},
    {"negative sizes are refused", kNames, kObservations, "y\nT\n3\n-2\n2\n1\n3\n", 1, ""},
    {"a sequence from year 0 is refused", kNames, kObservations, "y\nT\n3\n2\n2\n0\n3\n", 1,
     ""},
    {"a sequence past MAXY is refused", kNames, kObservations, "y\nT\n3\n2\n2\n1\n4\n", 1, ""},
    {"a sequence that ends before it starts is refused", kNames, kObservations,
     "y\nT\n3\n2\n2\n3\n1\n", 1, ""},
    {"a work array too small is refused", kNames, kObservations,
     "y\nT\n3\n2\n2000\n1\n3\n", 1, ""},
    {"names-file counts that disagree are refused", kNames, kObservations,
     "y\nT\n3\n2\n3\n1\n3\nw\nr\nz\n", 1, ""},
    // Records of years before the sequence, at the start of the file, are
    // what a sequence from a later year expects.
    {"records before the sequence are not warned about", kNames, kObservations,
     "y\nT\n3\n2\n2\n2\n3\nw\nr\nz\n", 0, ""},
    {"records out of year order", kNames,
     "1 1 1 1.0\n2 1 1 1.5\n1 2 1 2.0\n1 1 2 3.0\n3 1 1 1.0\n2 2 2 4.0\n", "y\nT\n3\n2\n2\n1\n3\nw\nr\nz\n",
     0,
     "locprox: warning: T.SEQ: 3 records were skipped because their year is below the year "
     "being read (the file is not sorted by year); the first is line 3\n"},
    {"answers that are no letter offered", kNames, kObservations,
     "y\nT\n3\n2\n2\n1\n3\nx\nq\nq\n", 0,
     "locprox: warning: answer 'x' to WEIGHT is taken as unweighted\n"
     "locprox: warning: answer 'q' to PRXTYP is taken as correlation\n"
     "locprox: warning: answer 'q' to CORTYP: plain correlations are averaged although the "
     "console says Fisher z\n"},
    {"an option warning also on a refused run", kNames, kObservations,
     "y\nT\n3\n2\n3\n1\n3\nw\ns\nx\n", 1,
     "locprox: warning: answer 'x' to SEDTYP is taken as standardised\n"},
    {"equal names within a kind", "Title\n3 2 2\nY1\nY2\nY1\nL1\nL1\nE1\nE2\n", kObservations,
     "y\nT\n3\n2\n2\n1\n3\nw\nr\nz\n", 0,
     "locprox: warning: T.NAQ: years with equal names, which the report and the summary cannot "
     "tell apart: 1 and 3 (\"Y1\")\n"
     "locprox: warning: T.NAQ: locations with equal names, which the report and the summary "
     "cannot tell apart: 1 and 2 (\"L1\")\n"},
};

class DialogueExits : public ::testing::TestWithParam<DialogueRun> {};

TEST_P(DialogueExits, StatusAndWarnings) {
  const DialogueRun& r = GetParam();
  ScratchDirectory dir;
  dir.write("T.NAQ", r.names);
  dir.write("T.SEQ", r.observations);
  const auto run = run_program(dir.path(), r.answers);
  EXPECT_EQ(run.exit_status, r.status) << run.errors;
  EXPECT_EQ(run.errors, r.errors);
  EXPECT_TRUE(dir.exists("T.OCC"));
  EXPECT_TRUE(dir.exists("T.PRX"));
}

INSTANTIATE_TEST_SUITE_P(Runs, DialogueExits, ::testing::ValuesIn(kRuns),
                         [](const auto& info) {
                           return locprox::testing::test_name(info.param.what);
                         });

TEST(DialogueExits, WarningsLeaveTheOutputsAsTheyWere) {
  // The same job with "x" and with "u" for WEIGHT: one warning more, and
  // the same console, report and proximity file but for the echo of x.
  ScratchDirectory with_x, with_u;
  for (const ScratchDirectory* dir : {&with_x, &with_u}) {
    dir->write("T.NAQ", kNames);
    dir->write("T.SEQ", kObservations);
  }
  const auto x = run_program(with_x.path(), "y\nT\n3\n2\n2\n1\n3\nx\ns\nc\n");
  const auto u = run_program(with_u.path(), "y\nT\n3\n2\n2\n1\n3\nu\ns\nc\n");
  EXPECT_EQ(x.errors, "locprox: warning: answer 'x' to WEIGHT is taken as unweighted\n");
  EXPECT_EQ(u.errors, "");
  const auto echo_as_u = [](std::string text) {
    for (std::size_t at = 0; (at = text.find("(WEIGHT) x", at)) != std::string::npos;)
      text[at + 9] = 'U';
    const std::size_t option_record = text.find("     x     S");
    if (option_record != std::string::npos) text[option_record + 5] = 'U';
    return text;
  };
  EXPECT_EQ(echo_as_u(x.console), u.console);
  EXPECT_EQ(echo_as_u(with_x.read("T.OCC")), with_u.read("T.OCC"));
  EXPECT_EQ(echo_as_u(with_x.read("T.PRX")), with_u.read("T.PRX"));
}

}  // namespace
}  // namespace locprox
