// The two writers in a whole run of the program: three locations, two
// entries, two years, squared Euclidean distance of centred data, weighted.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "report/written_records.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using report_test::lines;
using report_test::records;

// Year 1: location 1 has entries 1 and 2 (1.0, 3.0: centred -1, 1), location
// 2 both (5.0, 5.0: centred 0, 0), location 3 entry 1 only (centred 0).
// Year 2: location 1 both (2.0, 4.0: centred -1, 1), location 3 both (0.0,
// 4.0: centred -2, 2), location 2 nothing.
//
// Pairs, year 1: (1,2) differences 1 and -1, s = 2, c = 2; (1,3) entry 1,
// difference 1, s = 1, c = 1; (2,3) entry 1, difference 0, s = 0, c = 1.
// Year 2: (1,3) differences -1 and 1, s = 2, c = 2; the others nothing.
// Weighted, PROX adds s: after year 1 (2, 1, 0), after year 2 (2, 3, 0) for
// the pairs (1,2), (1,3), (2,3); the diagonal stays 0 throughout.
class WholeRun : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_.write("T.NAQ", "Three locations\n2 3 2\n1991\n1992\nA\nB\nC\nG1\nG2\n");
    directory_.write("T.SEQ",
                     "1 1 1 1.0\n1 1 2 3.0\n1 2 1 5.0\n1 2 2 5.0\n1 3 1 4.0\n"
                     "2 1 1 2.0\n2 1 2 4.0\n2 3 1 0.0\n2 3 2 4.0\n");
    // Default names, job T, MAXY 2, MAXL 3, MAXG 2, years 1 to 2, weighted,
    // distance, centred.
    run_ = testing::run_program(directory_.path(), "Y\nT\n2\n3\n2\n1\n2\nW\nS\nC\n");
    ASSERT_EQ(run_.exit_status, 0) << run_.errors;
  }

  testing::ScratchDirectory directory_;
  testing::ProgramRun run_;
};

TEST_F(WholeRun, ProximityFileHoldsTwentyEightRecords) {
  // Dimension and option records, then per year a year record, 1 + 1 + 1
  // proximity records and 3 x 3 count records: 2 + 2 x 13 = 28.
  const std::string no_cortyp(1, '\0');  // CORTYP is not asked for a distance
  EXPECT_EQ(directory_.read("T.PRX"), lines({
                                          "     2     3     2     1     2     2     6",
                                          "     W     S     C     " + no_cortyp,
                                          "     1    1991    ",
                                          "  0.00000000E+00",
                                          "  0.20000000E+01  0.00000000E+00",
                                          "  0.10000000E+01  0.00000000E+00  0.00000000E+00",
                                          "     3     0",
                                          "     3     2     0",
                                          "     2     1     1     0",
                                          "     2     0",
                                          "     2     1     0",
                                          "     2     1     1     0",
                                          "     2     0",
                                          "     2     1     0",
                                          "     2     1     1     0",
                                          "     2    1992    ",
                                          "  0.00000000E+00",
                                          "  0.20000000E+01  0.00000000E+00",
                                          "  0.30000000E+01  0.00000000E+00  0.00000000E+00",
                                          "     5     0",
                                          "     3     2     0",
                                          "     4     3     1     0",
                                          "     3     0",
                                          "     2     1     0",
                                          "     3     2     1     0",
                                          "     2     0",
                                          "     2     1     0",
                                          "     2     1     1     0",
                                      }));
}

TEST_F(WholeRun, ReportShowsTheSecondYearsSections) {
  std::vector<std::string> got = records(directory_.read("T.OCC"));
  // The matrix sections of the last year, from the last incidence heading.
  std::size_t start = got.size();
  for (std::size_t i = 0; i < got.size(); ++i) {
    if (got[i] == " Incidence array for each year") start = i;
  }
  ASSERT_LT(start + 19, got.size());
  const std::vector<std::string> sections = {
      " Incidence array for each year",
      " Loc Genotype(  1) to Genotype(  2)",
      "    1 11",
      "    2 00",
      "    3 11",
      "",
      " Delta matrices. Counts of no. of entries at each level",
      " Loc  Total Year(  1) to Year(  2)",
      "               1    2",
      "    1     4    2    2",
      "    2     2    2    0",
      "    3     3    1    2",
      " Total    9",
      "",
      " Gamma matrices. Counts of no. of years at each level",
      " Loc  Total Year(  1) to Year(  2)",
      "               1    2",
      "    1     2    1    1",
      "    2     1    1    0",
      "    3     2    1    1",
      " Total    5    3    2",
  };
  EXPECT_EQ(std::vector<std::string>(got.begin() + static_cast<std::ptrdiff_t>(start),
                                     got.begin() + static_cast<std::ptrdiff_t>(start) +
                                         static_cast<std::ptrdiff_t>(sections.size())),
            sections);
  // The kappa section ends the report: every pair compared, no diagonal.
  const std::vector<std::string> kappa = {
      "",
      " Kappa matrices Ki gives no of locations compared with location i",
      " Kii' indicates if locations i and i' have been compared in any year",
      "  Ki.  Kii'",
      "   2   0",
      "   2   1   0",
      "   2   1   1   0",
  };
  ASSERT_GE(got.size(), kappa.size());
  EXPECT_EQ(
      std::vector<std::string>(got.end() - static_cast<std::ptrdiff_t>(kappa.size()), got.end()),
      kappa);
}

}  // namespace
}  // namespace locprox
