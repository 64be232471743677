#include "summary/averages.h"

#include <gtest/gtest.h>

#include <cmath>

namespace locprox::summary {
namespace {

// A proximity file of two locations held in memory: the diagonal elements and
// the one pair (1,2), with NGPAIR and NYPAIR as given.
ProximityFile two_locations(Measure options, std::vector<double> prox,
                            std::vector<std::int32_t> ngpair, std::vector<std::int32_t> nypair) {
  ProximityFile file;
  file.dims.maxl = 2;
  file.dims.ntm = 3;
  file.options = options;
  file.group.prox = std::move(prox);
  file.group.ngpair = std::move(ngpair);
  file.group.nypair = std::move(nypair);
  file.group.ngpair_known.assign(3, 1);
  file.group.nypair_known.assign(3, 1);
  return file;
}

constexpr Measure kSedWeighted{'W', 'S', 'C', '\0'};
constexpr Measure kSedUnweighted{'U', 'S', 'S', '\0'};
constexpr Measure kCorWeighted{'W', 'C', '\0', 'N'};
constexpr Measure kCorUnweighted{'N', 'C', '\0', 'N'};
constexpr Measure kZWeighted{'W', 'C', '\0', 'Z'};
constexpr Measure kZUnweighted{'N', 'C', '\0', 'Z'};

struct AverageCase {
  const char* what;
  Measure options;
  bool keep_z;
  std::vector<double> prox;
  std::vector<std::int32_t> ngpair, nypair;
  double pair_value;     // the average of pair (1,2)
  double pair_distance;  // what the clustering uses
};

TEST(FormAverages, DividesByTheCountTheWeightingCallsFor) {
  // Worked by hand. Squared Euclidean, weighted: two years of 4 and 6 entries
  // with squared differences summing to 8 and 18: 26 / 10 = 2.6. Unweighted:
  // yearly means 2 and 3 summed to 5 over 2 years = 2.5. Correlation,
  // weighted: 0.5 on 4 entries and 0.7 on 6: (2.0 + 4.2) / 10 = 0.62.
  // Unweighted: (0.5 + 0.7) / 2 = 0.6. Fisher z, weighted: z = 0.5493061443
  // (r = 0.5) on 5 - 3 = 2 and z = 0.5493061443 on 7 - 3 = 4 entries:
  // 3.2958368660 / 6 = 0.5493061443, back to r = 0.5. Unweighted: the same z
  // twice: 1.0986122887 / 2, again r = 0.5.
  const double z = 0.5 * std::log(3.0);  // z of r = 0.5
  const AverageCase cases[] = {
      {"SED weighted", kSedWeighted, false, {0, 26.0, 0}, {0, 10, 0}, {0, 2, 0}, 2.6, 2.6},
      {"SED unweighted", kSedUnweighted, false, {0, 5.0, 0}, {0, 10, 0}, {0, 2, 0}, 2.5, 2.5},
      {"r weighted", kCorWeighted, false, {10, 6.2, 10}, {10, 10, 10}, {2, 2, 2}, 0.62, 1 - 0.62},
      {"r unweighted", kCorUnweighted, false, {2, 1.2, 2}, {10, 10, 10}, {2, 2, 2}, 0.6, 1 - 0.6},
      {"z weighted", kZWeighted, false, {12, z * 6, 12}, {12, 6, 12}, {2, 2, 2}, 0.5, 0.5},
      {"z unweighted", kZUnweighted, false, {2, z * 2, 2}, {12, 6, 12}, {2, 2, 2}, 0.5, 0.5},
      {"z weighted kept as z", kZWeighted, true, {12, z * 6, 12}, {12, 6, 12}, {2, 2, 2}, z, 0.5},
  };
  for (const AverageCase& c : cases) {
    SCOPED_TRACE(c.what);
    ProximityFile file = two_locations(c.options, c.prox, c.ngpair, c.nypair);
    Averages a = form_averages(file, c.keep_z, 10);
    ASSERT_EQ(a.state[1], PairState::compared);
    // The quotient is formed exactly as written: the sum divided by the count.
    const double expected_quotient = c.prox[1] / (c.options.weighted() ? c.ngpair[1] : c.nypair[1]);
    if (c.options.fisher_z() && !c.keep_z) {
      EXPECT_EQ(a.value[1], std::tanh(expected_quotient));
    } else {
      EXPECT_EQ(a.value[1], expected_quotient);
    }
    EXPECT_NEAR(a.value[1], c.pair_value, 1e-12);
    EXPECT_NEAR(a.distance[1], c.pair_distance, 1e-12);
  }
}

TEST(FormAverages, TheDiagonalIsAnAverageOnlyWhereTheMeasureFillsIt) {
  // Distance: never filled. Correlation: r = 1 each year. Fisher z: the
  // diagonal holds plain correlations, never transformed, so it must not go
  // through tanh (tanh(1) = 0.76 would be wrong), and it has no z value.
  Averages sed =
      form_averages(two_locations(kSedWeighted, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}), false, 10);
  EXPECT_EQ(sed.state[0], PairState::no_value);
  EXPECT_EQ(sed.state[2], PairState::no_value);

  Averages r =
      form_averages(two_locations(kCorWeighted, {9, 1, 4}, {9, 2, 4}, {2, 1, 1}), false, 10);
  EXPECT_EQ(r.state[0], PairState::compared);
  EXPECT_EQ(r.value[0], 1.0);
  EXPECT_EQ(r.value[2], 1.0);

  Averages z = form_averages(two_locations(kZWeighted, {9, 1, 4}, {9, 2, 4}, {2, 1, 1}), false, 10);
  EXPECT_EQ(z.value[0], 1.0);
  EXPECT_EQ(z.value[2], 1.0);

  Averages kept =
      form_averages(two_locations(kZWeighted, {9, 1, 4}, {9, 2, 4}, {2, 1, 1}), true, 10);
  EXPECT_EQ(kept.state[0], PairState::no_value);
  EXPECT_EQ(kept.state[1], PairState::compared);
}

TEST(FormAverages, PairsWithoutAPositiveCountOrWithAsterisksHaveNoAverage) {
  // Never compared: a zero count, whatever the sum says.
  Averages never =
      form_averages(two_locations(kCorWeighted, {1, 0, 1}, {1, 0, 1}, {1, 0, 1}), false, 10);
  EXPECT_EQ(never.state[1], PairState::never_compared);

  // Weighted: NGPAIR is the divisor, so asterisks there make the pair unknown;
  // asterisks in NYPAIR leave the average alone.
  ProximityFile file = two_locations(kCorWeighted, {1, 6.0, 1}, {1, 0, 1}, {1, 2, 1});
  file.group.ngpair_known[1] = 0;
  EXPECT_EQ(form_averages(file, false, 10).state[1], PairState::unknown);
  file.options = kCorUnweighted;
  Averages unweighted = form_averages(file, false, 10);
  EXPECT_EQ(unweighted.state[1], PairState::compared);
  EXPECT_EQ(unweighted.value[1], 3.0);
  EXPECT_FALSE(unweighted.few_common[1]);  // asterisks: a million entries or more
  file.group.nypair_known[1] = 0;
  EXPECT_EQ(form_averages(file, false, 10).state[1], PairState::unknown);
}

TEST(FormAverages, FlagsPairsComparedOnFewerEntriesThanTheMinimum) {
  for (auto [ngpair, min_common, flagged] :
       {std::tuple{9, 10, true}, {10, 10, false}, {3, 0, false}, {3, 4, true}}) {
    Averages a = form_averages(
        two_locations(kCorUnweighted, {1, 0.5, 1}, {20, ngpair, 20}, {1, 1, 1}), false, min_common);
    EXPECT_EQ(a.few_common[1] != 0, flagged) << ngpair << " vs " << min_common;
  }
}

TEST(FormAverages, CountsTheEntriesOfAFisherZRunBeforeTheThreeTakenOffEachYear) {
  // Two years of 5 and 7 entries in common: NGPAIR = 2 + 4 = 6, NYPAIR = 2,
  // so 12 entries stand behind the average. The diagonal is never reduced.
  ProximityFile file = two_locations(kZWeighted, {12, 3.0, 12}, {12, 6, 12}, {2, 2, 2});
  Averages a = form_averages(file, false, 10);
  EXPECT_EQ(a.common, (std::vector<std::int64_t>{12, 12, 12}));
  EXPECT_FALSE(a.few_common[1]);  // 6 alone would be flagged
  EXPECT_TRUE(form_averages(file, false, 13).few_common[1]);
  // Other measures: NGPAIR as it stands.
  file.options = kCorWeighted;
  EXPECT_EQ(form_averages(file, false, 10).common[1], 6);
  // Asterisks in either count leave the number of entries unknown under z.
  file.options = kZUnweighted;
  file.group.ngpair_known[1] = 0;
  Averages unknown = form_averages(file, false, 10);
  EXPECT_EQ(unknown.state[1], PairState::compared);  // NYPAIR, the divisor, is known
  EXPECT_FALSE(unknown.common_known[1]);
  EXPECT_FALSE(unknown.few_common[1]);
}

TEST(CountPairs, CountsDistinctPairsOnly) {
  ProximityFile file;
  file.dims.maxl = 3;
  file.dims.ntm = 6;
  file.options = kCorWeighted;
  // (1,2) compared on 4 entries, (1,3) never, (2,3) unknown.
  file.group.prox = {1, 0.5, 1, 0, 0.2, 1};
  file.group.ngpair = {5, 4, 5, 0, 0, 5};
  file.group.nypair = {1, 1, 1, 0, 1, 1};
  file.group.ngpair_known = {1, 1, 1, 1, 0, 1};
  file.group.nypair_known.assign(6, 1);
  PairCounts counts = count_pairs(form_averages(file, false, 10));
  EXPECT_EQ(counts.pairs, 3);
  EXPECT_EQ(counts.compared, 1);
  EXPECT_EQ(counts.never_compared, 1);
  EXPECT_EQ(counts.unknown, 1);
  EXPECT_EQ(counts.few_common, 1);
}

}  // namespace
}  // namespace locprox::summary
