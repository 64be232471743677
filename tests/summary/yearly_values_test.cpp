#include "summary/yearly_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "summary/example_files.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

ProximityHistory example_history() {
  testing::Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  return read_proximity_history(dir.file("JOB.PRX"));
}

// The example job, weighted plain correlations: (1,2) compared in both years
// (sums 2.4 then 4.0 over counts 4 then 8), (1,3) only in year 2 (1.2 over
// 2), (2,3) only in year 1 (-1.5 over 3; year 2 adds nothing).
TEST(YearlyValues, AreTheDifferencesOfConsecutiveGroups) {
  const std::vector<YearlyValue> got = yearly_values(example_history(), false);
  const struct {
    size_t year_index;
    std::int32_t i, j;
    double value;
    std::int64_t entries;
  } want[] = {
      {0, 1, 2, 0.6, 4},
      {0, 2, 3, -0.5, 3},
      {1, 1, 2, 0.4, 4},
      {1, 1, 3, 0.6, 2},
  };
  ASSERT_EQ(got.size(), std::size(want));
  for (size_t n = 0; n < got.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(got[n].year_index, want[n].year_index);
    EXPECT_EQ(got[n].i, want[n].i);
    EXPECT_EQ(got[n].j, want[n].j);
    EXPECT_NEAR(got[n].value, want[n].value, 1e-12);
    EXPECT_EQ(got[n].entries_in_common, want[n].entries);
  }
}

TEST(YearlyValues, FisherZGivesTanhOfTheYearsZAndCountsThreeMoreEntries) {
  ProximityHistory history = example_history();
  history.options.CORTYP = 'Z';
  const std::vector<YearlyValue> r = yearly_values(history, false);
  const std::vector<YearlyValue> z = yearly_values(history, true);
  ASSERT_EQ(r.size(), 4u);
  EXPECT_NEAR(z[2].value, 0.4, 1e-12);
  EXPECT_EQ(r[2].value, std::tanh(z[2].value));
  EXPECT_EQ(r[2].entries_in_common, 7);
  // Unweighted: the year's sum is its value.
  history.options.WEIGHT = 'U';
  EXPECT_NEAR(yearly_values(history, true)[2].value, 1.6, 1e-12);
}

}  // namespace
}  // namespace locprox::summary
