#include "report/proximity_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "format/proximity_records.h"
#include "report/written_records.h"

namespace locprox {
namespace {

using report_test::lines;
using report_test::records;
using report_test::written;
using V = std::vector<std::int32_t>;

// n right-aligned in six columns, as an I6 field shows it.
std::string i6(int n) {
  char field[16];
  std::snprintf(field, sizeof field, "%6d", n);
  return field;
}

std::string i6_run(int first, int last) {
  std::string text;
  for (int n = first; n <= last; ++n) text += i6(n);
  return text;
}

TEST(ProximityFile, ThreeLocationsGiveProximityColumnsAndThreeCountBlocks) {
  // Packed order: (1,1) (1,2) (2,2) (1,3) (2,3) (3,3). Squared Euclidean
  // distances: the diagonal is never added to.
  const std::vector<double> PROX = {0.0, 12.5, 0.0, -12.5, 0.00125, 0.0};
  const V NGPAIR = {0, 4, 0, 6, 3, 0}, NGLOC = {10, 7, 9};
  const V NYPAIR = {0, 1, 0, 2, 1, 0}, NYLOC = {3, 2, 3};
  const V KII = {0, 1, 0, 1, 1, 0}, KI = {2, 2, 2};
  std::string text = written([&](OutputUnit& out) {
    write_proximity_block(out, PROX, 3);
    write_count_blocks(out, NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, 3);
  });
  EXPECT_EQ(text, lines({
                      "  0.00000000E+00",
                      "  0.12500000E+02  0.00000000E+00",
                      " -0.12500000E+02  0.12500000E-02  0.00000000E+00",
                      "    10     0",
                      "     7     4     0",
                      "     9     6     3     0",
                      "     3     0",
                      "     2     1     0",
                      "     3     2     1     0",
                      "     2     0",
                      "     2     1     0",
                      "     2     1     1     0",
                  }));
}

TEST(ProximityFile, ColumnOfLocationElevenTakesTwoRecords) {
  // PROX holds its own packed index: column 11 is 56 to 66.
  std::vector<double> PROX;
  for (int p = 1; p <= static_cast<int>(packed_size(11)); ++p) PROX.push_back(p);
  std::vector<std::string> got =
      records(written([&](OutputUnit& out) { write_proximity_block(out, PROX, 11); }));
  ASSERT_EQ(got.size(), 12u);
  EXPECT_EQ(got[0], "  0.10000000E+01");
  EXPECT_EQ(got[9],  // column 10, ten values on one record
            "  0.46000000E+02  0.47000000E+02  0.48000000E+02  0.49000000E+02  0.50000000E+02"
            "  0.51000000E+02  0.52000000E+02  0.53000000E+02  0.54000000E+02  0.55000000E+02");
  EXPECT_EQ(got[10],
            "  0.56000000E+02  0.57000000E+02  0.58000000E+02  0.59000000E+02  0.60000000E+02"
            "  0.61000000E+02  0.62000000E+02  0.63000000E+02  0.64000000E+02  0.65000000E+02");
  EXPECT_EQ(got[11], "  0.66000000E+02");
}

TEST(ProximityFile, CountRowsWrapAfterThirtyValues) {
  // Column J of NGPAIR holds 1, 2, ..., J; NGLOC(J) is 100 J. NYPAIR is all
  // 2 with NYLOC(J) = J, KII all 1 with KI(J) = J - 1, so that each block
  // shows which arrays it was written from.
  for (std::int32_t maxl : {29, 30}) {
    SCOPED_TRACE(maxl);
    V NGPAIR, NGLOC, NYLOC, KI;
    for (int J = 1; J <= maxl; ++J) {
      for (int I = 1; I <= J; ++I) NGPAIR.push_back(I);
      NGLOC.push_back(100 * J);
      NYLOC.push_back(J);
      KI.push_back(J - 1);
    }
    const V NYPAIR(NGPAIR.size(), 2), KII(NGPAIR.size(), 1);
    std::vector<std::string> got = records(written([&](OutputUnit& out) {
      write_count_blocks(out, NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, maxl);
    }));
    // Location 29's rows hold exactly thirty values; location 30's thirty
    // and then the diagonal alone.
    const std::size_t per_block = maxl == 29 ? 29 : 31;
    ASSERT_EQ(got.size(), 3 * per_block);
    EXPECT_EQ(got[0], "   100     1");
    EXPECT_EQ(got[28], i6(2900) + i6_run(1, 29));
    if (maxl == 30) {
      EXPECT_EQ(got[29], i6(3000) + i6_run(1, 29));
      EXPECT_EQ(got[30], "    30");
    }
    EXPECT_EQ(got[per_block], "     1     2");
    EXPECT_EQ(got[2 * per_block], "     0     1");
    EXPECT_EQ(got[2 * per_block + 28].substr(0, 18), "    28     1     1");
  }
}

TEST(ProximityFile, CountsOfAMillionOrMoreShowAsSixAsterisks) {
  const V NGPAIR = {1000000}, NGLOC = {999999};
  const V NYPAIR = {0}, NYLOC = {0}, KII = {0}, KI = {0};
  EXPECT_EQ(written([&](OutputUnit& out) {
              write_count_blocks(out, NGPAIR, NGLOC, NYPAIR, NYLOC, KII, KI, 1);
            }),
            lines({"999999******", "     0     0", "     0     0"}));
}

}  // namespace
}  // namespace locprox
