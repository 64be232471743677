// The names file, by running the program: the title, the three counts and
// their check, the names, and the early end when the counts disagree.
#include <gtest/gtest.h>

#include <string>

#include "input/job_run.h"

namespace locprox {
namespace {

using namespace locprox::testing;

// Three years, two locations, four entries; the sequence is all three years.
const std::string kSizes = "3\n2\n4\n1\n3\n";
const std::string kRequired = "DZ=     4 Z=     9 MZ=    43 AZ=    10";
const std::string kOptions = "w\ns\nc\n";
const std::string kNameLines = "Y1\nY2\nY3\nL1\nL2\nE1\nE2\nE3\nE4\n";

TEST(NamesFile, CountsInEveryLayoutPass) {
  struct Case {
    const char* name;
    std::string counts;  // the lines between the title and the year names
  } cases[] = {
      {"commas", "3,2,4\n"},
      {"blanks", "3 2 4\n"},
      {"blanks and commas", "  3 , 2,4  \n"},
      {"three lines: the years begin on line 5", "3\n2\n4\n"},
      {"a fourth value is ignored", "3 2 4 99\n"},
      {"whatever follows the third", "3 2 4 / and more\n"},
      {"an empty line before", "\n3 2 4\n"},
      {"a repeat count", "3 2 1*4\n"},
      {"CR LF", "3 2 4\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDirectory dir;
    ProgramRun run =
        run_job_files(dir, "Title\n" + c.counts + kNameLines, "", answers(kSizes, kOptions));
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    EXPECT_EQ(console_from_title(run.console),
              job_is("Title") + options_echo('W', 'S', 'C', '\0') + opening(1, 3) +
                  year_block("Y1      ", kEndOfData) + year_block("Y2      ", kEndOfData) +
                  year_block("Y3      ", kEndOfData));
  }
}

TEST(NamesFile, FirstDisagreementEndsTheAnalysis) {
  const std::string years = " No. years specified not the same as in *.NAQ file";
  const std::string locations = " No. locations specified not the same as in *.NAQ file";
  const std::string genotypes = " No. genotypes specified not the same as in *.NAQ file";
  struct Case {
    std::string counts;
    std::string message;
  } cases[] = {
      {"2 2 4", years},     {"3 3 4", locations},
      {"3 2 5", genotypes}, {"9 9 9", years},  // only the first disagreement is reported
      {"3 9 9", locations},                    // locations and entries both wrong
      {"3 2 /", genotypes},                    // entries left at 0 by the slash
      {"3,,4", locations},                     // a null value leaves locations at 0
      {"/", years},         {"-3 2 4", years},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.counts);
    ScratchDirectory dir;
    ProgramRun run = run_job_files(dir, "Title\n" + c.counts + "\n" + kNameLines, "1 1 1 1.0\n",
                                   answers(kSizes, kOptions));
    ASSERT_EQ(run.exit_status, 1) << run.errors;  // the run is refused
    const std::string echo = options_echo('W', 'S', 'C', '\0');
    EXPECT_EQ(console_from_title(run.console), job_is("Title") + echo + rec(c.message));
    EXPECT_EQ(after_summary(dir.read("T.OCC")),
              rec("") + job_is("Title") + echo + rec("") + rec(c.message));
    EXPECT_EQ(dir.read("T.PRX"), rec("     3     2     4     1     3     3     3") +
                                     rec(std::string("     W     S     C     \0", 24)));
  }
}

TEST(NamesFile, TitleAndNamesAreCutAndPadded) {
  ScratchDirectory dir;
  const std::string sixty = "ABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJABCDEFGHIJabcdefghij";
  ProgramRun run =
      run_job_files(dir,
                    sixty +
                        "\n3 2 4\n1995 main season\n  1996\n\nL1\nL2\nE1\nE1\nE1\nE4 entry name\n"
                        "lines after the last name are never read: 1 2 x\n",
                    "", answers(kSizes, kOptions));
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  const std::string title = sixty.substr(0, 50);
  EXPECT_EQ(console_from_title(run.console),
            job_is(title) + options_echo('W', 'S', 'C', '\0') + opening(1, 3) +
                year_block("1995 mai", kEndOfData) + year_block("  1996  ", kEndOfData) +
                year_block("        ", kEndOfData));
  const auto prx = records_of(dir.read("T.PRX"));
  std::string years;
  for (const std::string& r : prx) {
    const std::string name = r.size() == 18 ? r.substr(10) : "";
    if (name == "1995 mai" || name == "  1996  " || name == "        ") years += r + "|";
  }
  EXPECT_EQ(years, "     1    1995 mai|     2      1996  |     3            |");

  // An empty title line gives 50 blanks.
  ScratchDirectory empty_title;
  run = run_job_files(empty_title, "\n3 2 4\n" + kNameLines, "", answers(kSizes, kOptions));
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_TRUE(console_from_title(run.console).starts_with(job_is(""))) << run.console;
}

TEST(NamesFile, AFileThatEndsEarlyIsAnErrorStop) {
  struct Case {
    std::string naq;
    std::string error;
  } cases[] = {
      {"", "locprox: unit 21 (T.NAQ): end of file met during a read, after line 0\n"},
      {"Title\n", "locprox: unit 21 (T.NAQ): end of file met during a read, after line 1\n"},
      {"Title\n3 2\n\n", "locprox: unit 21 (T.NAQ): end of file met during a read, after line 3\n"},
      {"Title\n3 2 4\nY1\nY2\nY3\nL1\nL2\nE1\nE2\nE3",
       "locprox: unit 21 (T.NAQ): end of file met during a read, after line 10\n"},
      {"Title\n3 2 x\n",
       "locprox: unit 21 (T.NAQ), line 2: malformed number \"x\" where an integer is expected\n"},
      {"Title\n3 2 4.0\n",
       "locprox: unit 21 (T.NAQ), line 2: malformed number \"4.0\" where an integer is expected\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.naq);
    ScratchDirectory dir;
    ProgramRun run = run_job_files(dir, c.naq, "", answers(kSizes, kOptions));
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.errors, c.error);
  }
}

}  // namespace
}  // namespace locprox
