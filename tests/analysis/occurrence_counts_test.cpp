#include "analysis/occurrence_counts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace locprox {
namespace {

// The counts of a run, zeroed as the year loop leaves them before the first year.
struct Counts {
  Counts(std::int32_t maxl, std::int32_t nya)
      : delta(maxl * nya, 0),
        deltot(maxl, 0),
        gamma(maxl * nya, 0),
        gamtot(maxl, 0),
        gamyr(nya, 0) {}
  std::vector<std::int32_t> delta, deltot, gamma, gamtot, gamyr;
  std::int32_t ndelta = 0, ngamma = 0;
};

void count_year(const std::vector<std::int32_t>& incid, Counts& c, std::int32_t maxl,
                std::int32_t maxg, std::int32_t nya, std::int32_t k) {
  count_occurrences(incid, c.delta, c.deltot, c.ndelta, c.gamma, c.gamtot, c.gamyr, c.ngamma, maxl,
                    maxg, nya, k);
}

using V = std::vector<std::int32_t>;

TEST(OccurrenceCounts, TwoLocationsThreeEntriesOverTwoYears) {
  Counts c(2, 2);
  // Year 1: entries 1 and 2 at location 1, nothing at location 2.
  count_year(V{1, 0, 1, 0, 0, 0}, c, 2, 3, 2, 1);
  EXPECT_EQ(c.delta, (V{2, 0, 0, 0}));  // column 2 still zero
  EXPECT_EQ(c.deltot, (V{2, 0}));
  EXPECT_EQ(c.ndelta, 2);
  EXPECT_EQ(c.gamma, (V{1, 0, 0, 0}));
  EXPECT_EQ(c.gamtot, (V{1, 0}));
  EXPECT_EQ(c.gamyr, (V{1, 0}));
  EXPECT_EQ(c.ngamma, 1);

  // Year 2: entry 3 at location 1, all three entries at location 2.
  count_year(V{0, 1, 0, 1, 1, 1}, c, 2, 3, 2, 2);
  EXPECT_EQ(c.delta, (V{2, 0, 1, 3}));
  EXPECT_EQ(c.deltot, (V{3, 3}));
  EXPECT_EQ(c.ndelta, 6);
  EXPECT_EQ(c.gamma, (V{1, 0, 1, 1}));
  EXPECT_EQ(c.gamtot, (V{2, 1}));  // location 1 used in every year: NYA
  EXPECT_EQ(c.gamyr, (V{1, 2}));
  EXPECT_EQ(c.ngamma, 3);
}

TEST(OccurrenceCounts, YearWithoutObservationsLeavesTotalsAndItsColumnZero) {
  Counts c(3, 3);
  count_year(V{1, 1, 0, 0, 1, 1}, c, 3, 2, 3, 1);
  const Counts before = c;
  count_year(V(6, 0), c, 3, 2, 3, 2);
  EXPECT_EQ(c.delta, before.delta);
  EXPECT_EQ(c.gamma, before.gamma);
  EXPECT_EQ(c.deltot, before.deltot);
  EXPECT_EQ(c.gamtot, before.gamtot);
  EXPECT_EQ(c.gamyr, before.gamyr);
  EXPECT_EQ(c.ndelta, before.ndelta);
  EXPECT_EQ(c.ngamma, before.ngamma);

  count_year(V{0, 0, 1, 0, 0, 1}, c, 3, 2, 3, 3);
  EXPECT_EQ(c.delta, (V{1, 2, 1, 0, 0, 0, 0, 0, 2}));
  EXPECT_EQ(c.gamma, (V{1, 1, 1, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(c.gamyr, (V{3, 0, 1}));
  // The totals agree with each other: NDELTA is the sum of DELTOT, NGAMMA the
  // sum of GAMTOT and of GAMYR.
  EXPECT_EQ(c.ndelta, std::accumulate(c.deltot.begin(), c.deltot.end(), 0));
  EXPECT_EQ(c.ngamma, std::accumulate(c.gamtot.begin(), c.gamtot.end(), 0));
  EXPECT_EQ(c.ngamma, std::accumulate(c.gamyr.begin(), c.gamyr.end(), 0));
  EXPECT_EQ(c.ndelta, 6);
  EXPECT_EQ(c.ngamma, 4);
}

}  // namespace
}  // namespace locprox
