// The problem-size step, by running the program: the dialogue, the dimension
// record, the summary, the work-space checks, the dimensions block and the
// refusals. The expected texts are written out record by record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/expected_console.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ProgramRun;
using locprox::testing::run_program;
using locprox::testing::ScratchDirectory;

std::string rec(const std::string& text) {
  return text + "\r\n";
}

// The console up to the last problem-size prompt, for "y", "T" and five
// answers.
const std::string& kDialogue = locprox::testing::kSizeDialogue;

// The seven summary records, each value given as its six columns.
std::string summary(const std::vector<std::string>& v) {
  return rec(" Maximum number of years in data set             (MAXY) = " + v[0]) +
         rec(" Maximum number of locations in data set         (MAXL) = " + v[1]) +
         rec(" Maximum number of genotypes in data set         (MAXG) = " + v[2]) +
         rec(" Year sequential analyses starts                  (IYS) = " + v[3]) +
         rec(" Year sequential analyses finishes                (IYF) = " + v[4]) +
         rec(" Number of years in analysis                      (NYA) = " + v[5]) +
         rec(" Number of elements in LxL upper triagular matrix (NTM) = " + v[6]);
}

std::string dimensions_block(const std::string& required) {
  return rec("") + rec(" DIMENSIONS OF ARRAYS:") +
         rec(" PRESENT DIMENSIONS:  DZ=250000 Z=300000 MZ=720000 AZ=  1100") +
         rec(" DIMENSIONS REQUIRED: " + required);
}

struct Refused {
  const char* name;
  std::string sizes;                // the five answers
  std::vector<std::string> values;  // the summary values, I6 each
  std::string messages;             // the messages, each on console and report
  std::string required;             // the required line of the dimensions block, if any
};

// A refused problem: the console, the report and the proximity file byte for
// byte, and exit status 1.
void expect_refused(const Refused& c) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "");
  ProgramRun run = run_program(dir.path(), "y\nT\n" + c.sizes);
  EXPECT_EQ(run.exit_status, 1) << c.name << ": " << run.errors;
  EXPECT_EQ(run.errors, "") << c.name;
  std::string block = c.required.empty() ? "" : dimensions_block(c.required);
  EXPECT_EQ(run.console, kDialogue + c.messages + block) << c.name;
  EXPECT_EQ(dir.read("T.OCC"), summary(c.values) + c.messages) << c.name;
  std::string dimension_record;
  for (int i = 0; i < 7; ++i) dimension_record += c.values[static_cast<std::size_t>(i)];
  EXPECT_EQ(dir.read("T.PRX"), rec(dimension_record)) << c.name;
}

TEST(ProblemSize, WorkArraysTooSmall) {
  const Refused cases[] = {
      {"MAXL 706 passes DZ; MZ is too small",
       "1\n706\n1\n1\n1\n",
       {"     1", "   706", "     1", "     1", "     1", "     1", "249571"},
       rec(" INCREASE DIMENSION OF MZ ARRAY TO  754363"),
       "DZ=249572 Z=   707 MZ=754363 AZ=   709"},
      {"MAXL 707 fails DZ",
       "1\n707\n1\n1\n1\n",
       {"     1", "   707", "     1", "     1", "     1", "     1", "250278"},
       rec(" INCREASE DIMENSION OF DZ ARRAY TO  250279") +
           rec(" INCREASE DIMENSION OF MZ ARRAY TO  756492"),
       "DZ=250279 Z=   708 MZ=756492 AZ=   710"},
      {"all four too small; seven digits are asterisks in I6",
       "1000\n1000\n1000\n1\n1000\n",
       {"  1000", "  1000", "  1000", "     1", "  1000", "  1000", "500500"},
       rec(" INCREASE DIMENSION OF DZ ARRAY TO  500501") +
           rec(" INCREASE DIMENSION OF Z ARRAY TO 1000001") +
           rec(" INCREASE DIMENSION OF MZ ARRAY TO 4507501") +
           rec(" INCREASE DIMENSION OF AZ ARRAY TO    3001"),
       "DZ=500501 Z=****** MZ=****** AZ=  3001"},
      {"requirements beyond 32 bits do not wrap",
       "1\n100000\n100000\n1\n1\n",
       {"     1", "100000", "100000", "     1", "     1", "     1", "******"},
       rec(" INCREASE DIMENSION OF DZ ARRAY TO********") +
           rec(" INCREASE DIMENSION OF Z ARRAY TO********") +
           rec(" INCREASE DIMENSION OF MZ ARRAY TO********") +
           rec(" INCREASE DIMENSION OF AZ ARRAY TO  200002"),
       "DZ=****** Z=****** MZ=****** AZ=200002"},
      {"largest counts",
       "2147483647\n2147483647\n2147483647\n1\n2147483647\n",
       {"******", "******", "******", "     1", "******", "******", "******"},
       rec(" INCREASE DIMENSION OF DZ ARRAY TO********") +
           rec(" INCREASE DIMENSION OF Z ARRAY TO********") +
           rec(" INCREASE DIMENSION OF MZ ARRAY TO********") +
           rec(" INCREASE DIMENSION OF AZ ARRAY TO********"),
       "DZ=****** Z=****** MZ=****** AZ=******"},
      {"AZ one over its capacity",
       "99\n1\n1000\n1\n1\n",
       {"    99", "     1", "  1000", "     1", "     1", "     1", "     1"},
       rec(" INCREASE DIMENSION OF AZ ARRAY TO    1101"),
       "DZ=     2 Z=  1001 MZ=  1012 AZ=  1101"},
      {"Z at its capacity passes, AZ fails",
       "1\n7\n42857\n1\n1\n",
       {"     1", "     7", " 42857", "     1", "     1", "     1", "    28"},
       rec(" INCREASE DIMENSION OF AZ ARRAY TO   42866"),
       "DZ=    29 Z=300000 MZ=300134 AZ= 42866"},
      {"Z one over its capacity",
       "1\n6\n50000\n1\n1\n",
       {"     1", "     6", " 50000", "     1", "     1", "     1", "    21"},
       rec(" INCREASE DIMENSION OF Z ARRAY TO  300001") +
           rec(" INCREASE DIMENSION OF AZ ARRAY TO   50008"),
       "DZ=    22 Z=300001 MZ=300107 AZ= 50008"},
  };
  for (const Refused& c : cases) expect_refused(c);
}

TEST(ProblemSize, MeaninglessSizesAreRefusedWithoutWorkSpaceChecks) {
  const std::string negative = rec(" Numbers of years, locations and entries must not be negative");
  const std::string backwards = rec(" Year sequential analysis finishes before it starts");
  const std::string outside = rec(" Years of the sequence must lie between 1 and MAXY");
  const Refused cases[] = {
      {"negative MAXY",
       "-1\n4\n5\n1\n3\n",
       {"    -1", "     4", "     5", "     1", "     3", "     3", "    10"},
       negative,
       ""},
      {"negative MAXL",
       "3\n-3\n5\n1\n3\n",
       {"     3", "    -3", "     5", "     1", "     3", "     3", "     3"},
       negative,
       ""},
      {"negative MAXG, and the sequence backwards too",
       "3\n4\n-5\n3\n1\n",
       {"     3", "     4", "    -5", "     3", "     1", "    -1", "    10"},
       negative,
       ""},
      {"IYF two years before IYS",
       "3\n4\n5\n3\n1\n",
       {"     3", "     4", "     5", "     3", "     1", "    -1", "    10"},
       backwards,
       ""},
      {"IYS 0",
       "3\n4\n5\n0\n3\n",
       {"     3", "     4", "     5", "     0", "     3", "     4", "    10"},
       outside,
       ""},
      {"IYF beyond MAXY",
       "3\n4\n5\n1\n4\n",
       {"     3", "     4", "     5", "     1", "     4", "     4", "    10"},
       outside,
       ""},
      {"a lone slash leaves MAXY at 0",
       "/\n4\n5\n1\n3\n",
       {"     0", "     4", "     5", "     1", "     3", "     3", "    10"},
       outside,
       ""},
      {"several numbers on a line, empty lines, commas",
       "3 9 9\n\n\n4,7\n  5  /\n1\n9\n",
       {"     3", "     4", "     5", "     1", "     9", "     9", "    10"},
       outside,
       ""},
  };
  for (const Refused& c : cases) expect_refused(c);
}

// A problem that fits: the year loop starts. The names file disagrees with the
// problem size, so the year loop stops right after its first checks, and the
// run ends as refused (status 1).
ProgramRun run_fitting(ScratchDirectory& dir, const std::string& sizes) {
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "title\n9 9 9\n");
  return run_program(dir.path(), "y\nT\n" + sizes + "w\ns\nc\n");
}

TEST(ProblemSize, WorkedExampleFitsAndStartsTheAnalysis) {
  ScratchDirectory dir;
  ProgramRun run = run_fitting(dir, "3\n4\n5\n1\n3\n");
  EXPECT_EQ(run.exit_status, 1) << run.errors;
  EXPECT_TRUE(run.console.starts_with(kDialogue +
                                      dimensions_block("DZ=    11 Z=    21 MZ=    98 AZ=    13") +
                                      " Weighted or unweighted averages (W or U) - "))
      << run.console;
  EXPECT_TRUE(dir.read("T.OCC").starts_with(
      summary({"     3", "     4", "     5", "     1", "     3", "     3", "    10"}) + rec("")))
      << dir.read("T.OCC");
  EXPECT_TRUE(dir.read("T.PRX").starts_with(rec("     3     4     5     1     3     3    10")));
}

TEST(ProblemSize, ProblemsThatFitReachTheDriver) {
  struct Case {
    const char* name;
    std::string sizes;
    std::string required;
  } cases[] = {
      {"AZ at its capacity", "98\n1\n1000\n1\n1\n", "DZ=     2 Z=  1001 MZ=  1012 AZ=  1100"},
      {"MAXL 0: NTM 0 and DZREQ 1", "1\n0\n0\n1\n1\n", "DZ=     1 Z=     1 MZ=     2 AZ=     2"},
      {"IYF one before IYS: NYA 0 is not refused", "3\n4\n5\n2\n1\n",
       "DZ=    11 Z=    21 MZ=    71 AZ=    13"},
      {"NYA 0 with years outside the data set", "3\n4\n5\n9\n8\n",
       "DZ=    11 Z=    21 MZ=    71 AZ=    13"},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    ProgramRun run = run_fitting(dir, c.sizes);
    EXPECT_EQ(run.exit_status, 1) << c.name << ": " << run.errors;
    EXPECT_NE(run.console.find(kDialogue + dimensions_block(c.required) +
                               " Weighted or unweighted averages (W or U) - "),
              std::string::npos)
        << c.name << ": " << run.console;
    EXPECT_EQ(run.console.find("INCREASE"), std::string::npos) << c.name;
    EXPECT_NE(dir.read("T.OCC").find(" Job is title"), std::string::npos) << c.name;
  }
}

TEST(ProblemSize, BadAnswersAreErrorStops) {
  struct Case {
    const char* name;
    std::string sizes;
    std::string error;
  } cases[] = {
      {"a word", "3\nabc\n",
       "locprox: the console, line 4: malformed number \"abc\" where an integer is expected\n"},
      {"a fraction", "3\n4\n5.5\n", "locprox: the console, line 5: malformed number \"5.5\""},
      {"beyond 32 bits", "3000000000\n", "locprox: the console, line 3: malformed number"},
      {"end of input", "3\n4\n", "locprox: the console: end of file"},
      {"end of input after empty lines", "3\n4\n\n\n", "locprox: the console: end of file"},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    dir.write("T.SEQ", "");
    dir.write("T.NAQ", "");
    ProgramRun run = run_program(dir.path(), "y\nT\n" + c.sizes);
    EXPECT_EQ(run.exit_status, 2) << c.name;
    EXPECT_TRUE(run.errors.starts_with(c.error)) << c.name << ": " << run.errors;
    EXPECT_EQ(dir.read("T.PRX"), "") << c.name;  // nothing was written yet
  }
}

}  // namespace
}  // namespace locprox
