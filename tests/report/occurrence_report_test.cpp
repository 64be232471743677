#include "report/occurrence_report.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "report/written_records.h"

namespace locprox {
namespace {

using report_test::lines;
using report_test::records;
using report_test::repeated;
using report_test::written;
using V = std::vector<std::int32_t>;

// n right-aligned in five columns, as an I5 field shows it.
std::string i5(int n) {
  char field[16];
  std::snprintf(field, sizeof field, "%5d", n);
  return field;
}

// I5 fields for first, first + 1, ..., last, each plus `offset`.
std::string i5_run(int first, int last, int offset = 0) {
  std::string text;
  for (int n = first; n <= last; ++n) text += i5(n + offset);
  return text;
}

// The arguments of write_occurrences for one year, named as the year loop names them.
struct YearCounts {
  V INCID, DELTA, DELTOT;
  std::int32_t NDELTA = 0;
  V GAMMA, GAMTOT, GAMYR;
  std::int32_t NGAMMA = 0;
  std::int32_t MAXL = 0, NYA = 0, MAXG = 0, IYS = 0, IY = 0, K = 0;

  std::string report() const {
    return written([&](OutputUnit& out) {
      write_occurrences(out, INCID, DELTA, DELTOT, NDELTA, GAMMA, GAMTOT, GAMYR, NGAMMA, MAXL, MAXG,
                        IYS, IY, K);
    });
  }
};

TEST(OccurrenceReport, FirstYearOfASequenceStartingAtYearThree) {
  // One location with all seven entries observed in year number 3, the
  // first of the sequence.
  YearCounts c;
  c.MAXL = 1, c.MAXG = 7, c.NYA = 4, c.IYS = 3, c.IY = 3, c.K = 1;
  c.INCID = V(7, 1);
  c.DELTA = {7, 0, 0, 0}, c.DELTOT = {7}, c.NDELTA = 7;
  c.GAMMA = {1, 0, 0, 0}, c.GAMTOT = {1}, c.GAMYR = {1, 0, 0, 0}, c.NGAMMA = 1;
  EXPECT_EQ(c.report(), lines({
                            "",
                            " Incidence array for each year",
                            " Loc Genotype(  1) to Genotype(  7)",
                            "    1 1111111",
                            "",
                            " Delta matrices. Counts of no. of entries at each level",
                            " Loc  Total Year(  3) to Year(  3)",
                            "               3",
                            "    1     7    7",
                            " Total    7",
                            "",
                            " Gamma matrices. Counts of no. of years at each level",
                            " Loc  Total Year(  3) to Year(  3)",
                            "               3",
                            "    1     1    1",
                            " Total    1    1",
                        }));
}

TEST(OccurrenceReport, SecondYearShowsTwoYearColumnsAndOnlyTheGammaYearTotals) {
  // Year 1: location 1 had entries 1, 2, 3; location 2 nothing.
  // Year 2: location 1 had entries 1 and 3, location 2 entry 2.
  // The third column of the matrices (NYA 3) is not reached yet and must
  // not show, whatever it holds.
  YearCounts c;
  c.MAXL = 2, c.MAXG = 3, c.NYA = 3, c.IYS = 1, c.IY = 2, c.K = 2;
  c.INCID = {1, 0, 0, 1, 1, 0};
  c.DELTA = {3, 0, 2, 1, 99, 99}, c.DELTOT = {5, 1}, c.NDELTA = 6;
  c.GAMMA = {1, 0, 1, 1, 99, 99}, c.GAMTOT = {2, 1}, c.GAMYR = {1, 2, 99}, c.NGAMMA = 3;
  EXPECT_EQ(c.report(), lines({
                            "",
                            " Incidence array for each year",
                            " Loc Genotype(  1) to Genotype(  3)",
                            "    1 101",
                            "    2 010",
                            "",
                            " Delta matrices. Counts of no. of entries at each level",
                            " Loc  Total Year(  1) to Year(  2)",
                            "               1    2",
                            "    1     5    3    2",
                            "    2     1    0    1",
                            " Total    6",
                            "",
                            " Gamma matrices. Counts of no. of years at each level",
                            " Loc  Total Year(  1) to Year(  2)",
                            "               1    2",
                            "    1     2    1    1",
                            "    2     1    0    1",
                            " Total    3    1    2",
                        }));
}

// A year of two locations with `maxg` entries: location 1 observed entries
// 1, 200 and 201 (where they exist), location 2 entry 2 only.
YearCounts two_locations_with_entries(std::int32_t maxg) {
  YearCounts c;
  c.MAXL = 2, c.MAXG = maxg, c.NYA = 1, c.IYS = 1, c.IY = 1, c.K = 1;
  c.INCID = V(2 * static_cast<std::size_t>(maxg), 0);
  for (std::int32_t g : {1, 200, 201}) {
    if (g <= maxg) c.INCID[2 * static_cast<std::size_t>(g - 1)] = 1;
  }
  c.INCID[2 * 1 + 1] = 1;
  c.DELTA = {3, 1}, c.DELTOT = {3, 1}, c.NDELTA = 4;
  c.GAMMA = {1, 1}, c.GAMTOT = {1, 1}, c.GAMYR = {2}, c.NGAMMA = 2;
  return c;
}

TEST(OccurrenceReport, IncidenceIsShownInBlocksOfTwoHundredEntries) {
  struct Case {
    std::int32_t maxg;
    std::vector<std::string> incidence;  // the records of the incidence section
  };
  const std::string loc1 = "    1 1" + std::string(198, '0') + "1";
  const std::string loc2 = "    2 01" + std::string(198, '0');
  const std::vector<Case> cases = {
      {200,
       {"", " Incidence array for each year", " Loc Genotype(  1) to Genotype(200)", loc1, loc2}},
      {201,
       {"", " Incidence array for each year", " Loc Genotype(  1) to Genotype(200)", loc1, loc2,
        " Loc Genotype(201) to Genotype(201)", "    1 1", "    2 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maxg);
    std::vector<std::string> got = records(two_locations_with_entries(c.maxg).report());
    ASSERT_GT(got.size(), c.incidence.size());
    EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + c.incidence.size()), c.incidence);
    EXPECT_EQ(got[c.incidence.size()], "") << "the delta section follows";
    EXPECT_EQ(got[c.incidence.size() + 1],
              " Delta matrices. Counts of no. of entries at each level");
  }
}

TEST(OccurrenceReport, EntryNumbersBeyondThreeDigitsInTheBlockHeadingShowAsAsterisks) {
  std::vector<std::string> got = records(two_locations_with_entries(1001).report());
  std::vector<std::string> headings;
  for (const std::string& record : got) {
    if (record.rfind(" Loc Genotype(", 0) == 0) headings.push_back(record);
  }
  EXPECT_EQ(headings, (std::vector<std::string>{
                          " Loc Genotype(  1) to Genotype(200)",
                          " Loc Genotype(201) to Genotype(400)",
                          " Loc Genotype(401) to Genotype(600)",
                          " Loc Genotype(601) to Genotype(800)",
                          " Loc Genotype(801) to Genotype(***)",
                          " Loc Genotype(***) to Genotype(***)",
                      }));
}

TEST(OccurrenceReport, FiftyYearsContinueOnSecondRecords) {
  // One location over the years 1 to 50: DELTA of year k is k, GAMYR of
  // year k is 100 + k.
  YearCounts c;
  c.MAXL = 1, c.MAXG = 1, c.NYA = 50, c.IYS = 1, c.IY = 50, c.K = 50;
  c.INCID = {1};
  for (int k = 1; k <= 50; ++k) {
    c.DELTA.push_back(k);
    c.GAMMA.push_back(1);
    c.GAMYR.push_back(100 + k);
  }
  c.DELTOT = {1275}, c.NDELTA = 1275;  // 1 + 2 + ... + 50
  c.GAMTOT = {50}, c.NGAMMA = 50;
  const std::string year_line1 = std::string(11, ' ') + i5_run(1, 48);
  const std::string year_line2 = std::string(11, ' ') + "   49   50";
  EXPECT_EQ(c.report(), lines({
                            "",
                            " Incidence array for each year",
                            " Loc Genotype(  1) to Genotype(  1)",
                            "    1 1",
                            "",
                            " Delta matrices. Counts of no. of entries at each level",
                            " Loc  Total Year(  1) to Year( 50)",
                            year_line1,
                            year_line2,
                            "    1  1275" + i5_run(1, 48),
                            "   49    50",
                            " Total 1275",
                            "",
                            " Gamma matrices. Counts of no. of years at each level",
                            " Loc  Total Year(  1) to Year( 50)",
                            year_line1,
                            year_line2,
                            "    1    50" + repeated("    1", 48),
                            "    1     1",
                            " Total   50" + i5_run(1, 48, 100),
                            " Total  149  150",
                        }));
}

// The arguments of write_kappa, its outputs filled with rubbish first so that a
// value left over from before would show.
struct PairCounts {
  V NGPAIR, NYPAIR;
  std::int32_t MAXL = 0;
  V NGLOC, NYLOC, KII, KI;

  std::string kappa() {
    const std::size_t ntm = NGPAIR.size();
    NGLOC.assign(static_cast<std::size_t>(MAXL), -7);
    NYLOC.assign(static_cast<std::size_t>(MAXL), -7);
    KI.assign(static_cast<std::size_t>(MAXL), -7);
    KII.assign(ntm, -7);
    return written([&](OutputUnit& out) {
      write_kappa(out, NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, static_cast<std::int32_t>(ntm), MAXL);
    });
  }
};

const std::vector<std::string> kKappaHeadings = {
    "",
    " Kappa matrices Ki gives no of locations compared with location i",
    " Kii' indicates if locations i and i' have been compared in any year",
    "  Ki.  Kii'",
};

std::vector<std::string> with_headings(const std::vector<std::string>& rows) {
  std::vector<std::string> all = kKappaHeadings;
  all.insert(all.end(), rows.begin(), rows.end());
  return all;
}

TEST(Kappa, ThreeLocationsWithOnlyLocationsOneAndThreeCompared) {
  struct Case {
    const char* measure;
    V NGPAIR, NYPAIR;  // packed: (1,1) (1,2) (2,2) (1,3) (2,3) (3,3)
    V KII;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      // Squared Euclidean distance: the diagonal counts stay 0.
      {"distance",
       {0, 0, 0, 5, 0, 0},
       {0, 0, 0, 2, 0, 0},
       {0, 0, 0, 1, 0, 0},
       {"   1   0", "   0   0   0", "   1   1   0   0"}},
      // Correlation: the diagonal counts the years a location was observed;
      // the diagonal KII is 1 and never enters KI.
      {"correlation",
       {7, 0, 4, 5, 0, 6},
       {2, 0, 1, 2, 0, 2},
       {1, 0, 1, 1, 0, 1},
       {"   1   1", "   0   0   1", "   1   1   0   1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.measure);
    PairCounts p;
    p.MAXL = 3, p.NGPAIR = c.NGPAIR, p.NYPAIR = c.NYPAIR;
    EXPECT_EQ(p.kappa(), lines(with_headings(c.rows)));
    EXPECT_EQ(p.KII, c.KII);
    EXPECT_EQ(p.KI, (V{1, 0, 1}));
    EXPECT_EQ(p.NGLOC, (V{5, 0, 5}));
    EXPECT_EQ(p.NYLOC, (V{2, 0, 2}));
  }
}

TEST(Kappa, LocationTotalsAddEveryPairOfDifferentLocations) {
  // Four locations, every pair compared; pair (I,J) has NGPAIR 10I + J and
  // NYPAIR I + J; the diagonal is large and must not count.
  PairCounts p;
  p.MAXL = 4;
  for (int J = 1; J <= 4; ++J) {
    for (int I = 1; I <= J; ++I) {
      p.NGPAIR.push_back(I == J ? 1000 : 10 * I + J);
      p.NYPAIR.push_back(I == J ? 1000 : I + J);
    }
  }
  p.kappa();
  // Location 1: 12 + 13 + 14; 2: 12 + 23 + 24; 3: 13 + 23 + 34; 4: 14 + 24 + 34.
  EXPECT_EQ(p.NGLOC, (V{39, 59, 70, 72}));
  // Location 1: 3 + 4 + 5; 2: 3 + 5 + 6; 3: 4 + 5 + 7; 4: 5 + 6 + 7.
  EXPECT_EQ(p.NYLOC, (V{12, 14, 16, 18}));
  EXPECT_EQ(p.KI, (V{3, 3, 3, 3}));
  EXPECT_EQ(p.KII, V(10, 1));
}

TEST(Kappa, LocationTotalsTooLargeForThirtyTwoBitsStayAtTheLargestValue) {
  // Two pairs of two thousand million each would wrap round to a negative
  // total; the total holds at the largest 32-bit value instead.
  PairCounts p;
  p.MAXL = 3;
  p.NGPAIR = {0, 0, 0, 2000000000, 2000000000, 0};  // (1,3) and (2,3)
  p.NYPAIR = {0, 0, 0, 1, 1, 0};
  p.kappa();
  EXPECT_EQ(p.NGLOC, (V{2000000000, 2000000000, 2147483647}));
}

TEST(Kappa, RowsOfLocationTwentyAndLaterContinueOnFurtherRecords) {
  // Twenty-one locations, all compared with one another and all observed
  // (correlation): KI is 20 and every KII is 1.
  PairCounts p;
  p.MAXL = 21;
  p.NGPAIR = V(21 * 22 / 2, 1);
  p.NYPAIR = V(21 * 22 / 2, 1);
  std::vector<std::string> got = records(p.kappa());
  ASSERT_EQ(got.size(), kKappaHeadings.size() + 19 + 2 * 2);
  // Location 19: KI and 19 values fill exactly one record of twenty.
  EXPECT_EQ(got[4 + 18], "  20" + repeated("   1", 19));
  // Location 20: twenty values, then the diagonal alone.
  EXPECT_EQ(got[4 + 19], "  20" + repeated("   1", 19));
  EXPECT_EQ(got[4 + 20], "   1");
  // Location 21: twenty values, then KII(20,21) and the diagonal.
  EXPECT_EQ(got[4 + 21], "  20" + repeated("   1", 19));
  EXPECT_EQ(got[4 + 22], "   1   1");
}

}  // namespace
}  // namespace locprox
