// The driver writes a year's kappa section and proximity blocks on a helper
// thread while it reads the next year, and holds back the records that open
// that year until the helper is done. Whatever the next year's reading does
// first (a message, an error stop, the end of the data, nothing), the three
// files must end exactly as when the steps run one after another.
#include <gtest/gtest.h>

#include <string>

#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::run_program;
using locprox::testing::ScratchDirectory;

bool ends_with(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

const std::string kYear1 = "1 1 1 1.0\n1 2 1 2.0\n1 1 2 3.0\n1 2 2 5.0\n";
// The end of year 1 in the report: its kappa section.
const std::string kKappa1 =
    "\r\n Kappa matrices Ki gives no of locations compared with location i\r\n"
    " Kii' indicates if locations i and i' have been compared in any year\r\n"
    "  Ki.  Kii'\r\n   1   1\r\n   1   1   1\r\n";
// The end of year 1 in the proximity file: its third count block.
const std::string kCounts1 = "     1     1\r\n     1     1     1\r\n";

TEST(YearOverlap, TheNextYearsRecordsFollowTheHelpersWhateverComesFirst) {
  struct Case {
    const char* what;
    std::string seq;
    int exit_status;
    std::string report_tail, proximity_tail, console_tail;
  } cases[] = {
      {"a message first", kYear1 + "2 1 1 1.5\n2 1 1 2.5\n2 2 1 x\n", 2,
       kKappa1 + "\r\n   For year Y2      \r\n   Read data\r\n"
                 " Duplicate observation in YR/Loc/En     2    1    1     2.500\r\n",
       kCounts1 + "     2    Y2      \r\n",
       "\r\n   For year Y2      \r\n   Read data\r\n"
       " Duplicate observation in YR/Loc/En     2    1    1     2.500\r\n"},
      {"an error stop first", kYear1 + "2 1 1 1.5\n2 2 1 x\n", 2,
       kKappa1 + "\r\n   For year Y2      \r\n   Read data\r\n",
       kCounts1 + "     2    Y2      \r\n", "\r\n   For year Y2      \r\n   Read data\r\n"},
      {"the end of the data first", kYear1, 0,
       "\r\n   For year Y3      \r\n   Read data\r\n End of data\r\n"
       "   Calculate delta & gamma matrices\r\n",
       "", ""},
  };
  for (const Case& c : cases) {
    ScratchDirectory dir;
    dir.write("T.NAQ", "Title\n3 2 2\nY1\nY2\nY3\nL1\nL2\nE1\nE2\n");
    dir.write("T.SEQ", c.seq);
    const auto run = run_program(dir.path(), "y\nT\n3\n2\n2\n1\n3\nw\nr\nn\n");
    EXPECT_EQ(run.exit_status, c.exit_status) << c.what << "\n" << run.errors;
    const std::string report = dir.read("T.OCC");
    const std::string proximity = dir.read("T.PRX");
    if (c.exit_status == 2) {
      EXPECT_TRUE(ends_with(report, c.report_tail)) << c.what << "\n" << report;
      EXPECT_TRUE(ends_with(proximity, c.proximity_tail)) << c.what << "\n" << proximity;
      EXPECT_TRUE(ends_with(run.console, c.console_tail)) << c.what << "\n" << run.console;
    } else {
      // Year 3 reads nothing: its opening records, then " End of data" (on
      // the console before the report, in the report after "Read data").
      EXPECT_NE(report.find(c.report_tail), std::string::npos) << c.what << "\n" << report;
      EXPECT_NE(run.console.find("   For year Y3      \r\n   Read data\r\n End of data\r\n"),
                std::string::npos)
          << run.console;
      EXPECT_NE(proximity.find("     3    Y3      \r\n"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace locprox
