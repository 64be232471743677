#include "summary/pair_trust.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace locprox::summary {
namespace {

// Two locations; the pair (1,2) has the yearly values given, and the file's
// last group holds their running totals.
struct Fixture {
  ProximityFile file;
  std::vector<YearlyValue> values;
};

Fixture two_locations(Measure measure, const std::vector<std::pair<double, std::int64_t>>& years,
                      bool keep_z, std::int32_t nypair_extra = 0) {
  Fixture f;
  f.file.dims.maxl = 2;
  f.file.dims.ntm = 3;
  f.file.options = measure;
  YearGroup& g = f.file.group;
  g.prox.assign(3, 0.0);
  g.ngpair.assign(3, 0);
  g.nypair.assign(3, 0);
  g.ngpair_known.assign(3, 1);
  g.nypair_known.assign(3, 1);
  const size_t p = packed_index(1, 2);
  for (size_t k = 0; k < years.size(); ++k) {
    const auto [z, weight] = years[k];
    YearlyValue v;
    v.year_index = k;
    v.i = 1;
    v.j = 2;
    v.z = z;
    v.value = measure.fisher_z() && !keep_z ? std::tanh(z) : z;
    v.weight = weight;
    f.values.push_back(v);
    g.prox[p] += measure.weighted() ? z * static_cast<double>(weight) : z;
    g.ngpair[p] += static_cast<std::int32_t>(weight);
    g.nypair[p] += 1;
  }
  g.nypair[p] += nypair_extra;
  return f;
}

PairTrust trust_of(const Fixture& f, bool keep_z) {
  const Averages averages = form_averages(f.file, keep_z, 10);
  return pair_trust(f.file, averages, f.values, keep_z)[packed_index(1, 2)];
}

const Measure kFisherZ = Measure::of(MeasureKind::kFisherZCorrelation, true);

// Worked by hand: z = (0.5*7 + 0.2*5 + 0.9*10) / 22 = 0.61363636...,
// Q = 7 (0.5 - z)^2 + 5 (0.2 - z)^2 + 10 (0.9 - z)^2 = 1.7659090909...,
// on 2 df p = exp(-Q / 2); the interval tanh(z -+ 1.959964 / sqrt(22)).
TEST(PairTrust, WeightedFisherZHasIntervalHeterogeneityAndSpread) {
  const Fixture f = two_locations(kFisherZ, {{0.5, 7}, {0.2, 5}, {0.9, 10}}, false);
  const PairTrust t = trust_of(f, false);
  ASSERT_TRUE(t.ci_low && t.ci_high && t.q && t.df && t.p && t.sd_years);
  EXPECT_NEAR(*t.ci_low, 0.19330734690581736, 1e-14);
  EXPECT_NEAR(*t.ci_high, 0.7745100779332657, 1e-14);
  EXPECT_NEAR(*t.q, 1.765909090909091, 1e-13);
  EXPECT_EQ(*t.df, 2);
  EXPECT_NEAR(*t.p, 0.4135592253238966, 1e-13);
  // The r values around tanh(z), weighted 7, 5, 10.
  EXPECT_NEAR(*t.sd_years, 0.20756482014748134, 1e-13);
  // On the z scale the interval is z -+ 1.959964 / sqrt(22).
  const PairTrust zt =
      trust_of(two_locations(kFisherZ, {{0.5, 7}, {0.2, 5}, {0.9, 10}}, true), true);
  EXPECT_NEAR(*zt.ci_low, 0.195770634805156, 1e-14);
  EXPECT_NEAR(*zt.q, *t.q, 0.0);
}

TEST(PairTrust, OneYearHasAnIntervalButNoHeterogeneityOrSpread) {
  const PairTrust t = trust_of(two_locations(kFisherZ, {{0.4, 12}}, false), false);
  EXPECT_TRUE(t.ci_low && t.ci_high);
  ASSERT_TRUE(t.df);
  EXPECT_EQ(*t.df, 0);
  EXPECT_FALSE(t.q || t.p || t.sd_years);
}

TEST(PairTrust, UnweightedRunsHaveOnlyTheSpreadOverYearsEqually) {
  for (MeasureKind kind : {MeasureKind::kPlainCorrelation, MeasureKind::kFisherZCorrelation,
                           MeasureKind::kCentredDistance}) {
    SCOPED_TRACE(static_cast<int>(kind));
    // Weights 3 and 30 must not count: sqrt(((0.3 - 0.5)^2 + (0.7 - 0.5)^2) / 2) = 0.2,
    // on the z scale for Fisher z (with keep_z).
    const PairTrust t =
        trust_of(two_locations(Measure::of(kind, false), {{0.3, 3}, {0.7, 30}}, true), true);
    EXPECT_FALSE(t.ci_low || t.ci_high || t.q || t.df || t.p);
    ASSERT_TRUE(t.sd_years);
    EXPECT_NEAR(*t.sd_years, 0.2, 1e-14);
  }
}

TEST(PairTrust, WeightedDistanceSpreadIsWeightedByEntries) {
  // Values 1 (10 entries) and 4 (20 entries): average 3, sd sqrt((10*4 + 20*1) / 30) = sqrt(2).
  const PairTrust t = trust_of(two_locations(Measure::of(MeasureKind::kCentredDistance, true),
                                             {{1.0, 10}, {4.0, 20}}, false),
                               false);
  EXPECT_FALSE(t.ci_low || t.q);
  ASSERT_TRUE(t.sd_years);
  EXPECT_NEAR(*t.sd_years, std::sqrt(2.0), 1e-14);
}

// A year whose counts were written as asterisks has no yearly value: the
// figures over the years would leave it out silently, so they stay empty.
TEST(PairTrust, AYearMissingFromTheYearlyValuesEmptiesTheFiguresOverTheYears) {
  const PairTrust t =
      trust_of(two_locations(kFisherZ, {{0.5, 7}, {0.2, 5}}, false, /*nypair_extra=*/1), false);
  EXPECT_TRUE(t.ci_low);
  EXPECT_FALSE(t.q || t.df || t.p || t.sd_years);
}

}  // namespace
}  // namespace locprox::summary
