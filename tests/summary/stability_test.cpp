#include "summary/stability.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "summary/averages.h"
#include "support/case_names.h"

namespace locprox::summary {
namespace {

// Four locations, weighted plain correlations, 10 entries in common for every
// pair every year. Years 1 and 2: r(1,2) = r(3,4) = 0.8, the rest 0. Year 3:
// r(1,3) = r(2,4) = 0.9, the rest 0. All years: {1,2} and {3,4} (mean r
// 0.533 against 0.3). Without year 1 or 2, r(1,3) = r(2,4) = 0.45 beat
// r(1,2) = r(3,4) = 0.4: {1,3} and {2,4}. Without year 3: {1,2}, {3,4}.
struct Job {
  ProximityFile file;
  ProximityHistory history;
};

Job four_locations() {
  const std::vector<std::vector<double>> r_by_year = {
      // packed (1,1) (1,2) (2,2) (1,3) (2,3) (3,3) (1,4) (2,4) (3,4) (4,4)
      {1, 0.8, 1, 0, 0, 1, 0, 0, 0.8, 1},
      {1, 0.8, 1, 0, 0, 1, 0, 0, 0.8, 1},
      {1, 0, 1, 0.9, 0, 1, 0, 0.9, 0, 1},
  };
  Job job;
  Dimensions dims;
  dims.maxl = 4;
  dims.ntm = 10;
  dims.iys = 1;
  dims.iyf = 3;
  job.history.dims = dims;
  job.history.options = Measure::of(MeasureKind::kPlainCorrelation, true);
  YearGroup running;
  running.prox.assign(10, 0.0);
  running.ngpair.assign(10, 0);
  running.nypair.assign(10, 0);
  for (size_t k = 0; k < r_by_year.size(); ++k) {
    running.year = static_cast<std::int32_t>(k + 1);
    for (size_t p = 0; p < 10; ++p) {
      running.prox[p] += 10 * r_by_year[k][p];
      running.ngpair[p] += 10;
      running.nypair[p] += 1;
    }
    job.history.years.push_back(running);
  }
  job.file.dims = dims;
  job.file.options = job.history.options;
  job.file.group = running;
  job.file.group.ngpair_known.assign(10, 1);
  job.file.group.nypair_known.assign(10, 1);
  return job;
}

TEST(LeaveOneYearOut, CountsTogethernessWholeGroupsAndTheWorstYear) {
  const Job job = four_locations();
  const Stability s = leave_one_year_out(job.file, job.history, 2);
  EXPECT_EQ(s.full_group, (std::vector<std::int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(s.runs, (std::vector<size_t>{0, 1, 2}));
  auto together = [&s](std::int32_t i, std::int32_t j) { return s.together[packed_index(i, j)]; };
  EXPECT_EQ(together(1, 2), 1);
  EXPECT_EQ(together(3, 4), 1);
  EXPECT_EQ(together(1, 3), 2);
  EXPECT_EQ(together(2, 4), 2);
  EXPECT_EQ(together(1, 4), 0);
  EXPECT_EQ(together(2, 3), 0);
  EXPECT_EQ(s.stayed_whole, (std::vector<std::int32_t>{1, 1}));
  // Split evenly, a group's home is the run's group holding its lowest
  // location: 1 and 3 stay home in every run, 2 and 4 only without year 3.
  EXPECT_EQ(s.stayed_home, (std::vector<std::int32_t>{3, 1, 3, 1}));
  ASSERT_EQ(s.adjusted_rand.size(), 3u);
  EXPECT_NEAR(s.adjusted_rand[0], -0.5, 1e-15);
  EXPECT_NEAR(s.adjusted_rand[1], -0.5, 1e-15);
  EXPECT_EQ(s.adjusted_rand[2], 1.0);
}

// Leaving out the only year compared leaves nothing to group: no runs.
TEST(LeaveOneYearOut, NeedsTwoYearsCompared) {
  Job job = four_locations();
  job.history.years.resize(1);
  job.file.group.prox = job.history.years[0].prox;
  job.file.group.ngpair = job.history.years[0].ngpair;
  job.file.group.nypair = job.history.years[0].nypair;
  const Stability s = leave_one_year_out(job.file, job.history, 2);
  EXPECT_EQ(s.years_compared, 1);
  EXPECT_TRUE(s.runs.empty());
  EXPECT_TRUE(s.adjusted_rand.empty());
  EXPECT_EQ(s.together, std::vector<std::int32_t>(10, 0));
  EXPECT_EQ(s.full_group, (std::vector<std::int32_t>{1, 1, 2, 2}));
}

// The file less one year's sums and counts, made the plain way: every
// figure of the year taken out of a copy of the file.
ProximityFile file_without_year(const ProximityFile& file, const ProximityHistory& history,
                                size_t k) {
  ProximityFile out = file;
  YearGroup& g = out.group;
  const YearGroup& now = history.years[k];
  const YearGroup* before = k == 0 ? nullptr : &history.years[k - 1];
  for (size_t p = 0; p < g.prox.size(); ++p) {
    if (!now.ngpair_is_known(p) || !now.nypair_is_known(p) ||
        (before && (!before->ngpair_is_known(p) || !before->nypair_is_known(p)))) {
      g.ngpair_known[p] = 0;
      g.nypair_known[p] = 0;
      continue;
    }
    g.prox[p] -= now.prox[p] - (before ? before->prox[p] : 0.0);
    g.ngpair[p] -= now.ngpair[p] - (before ? before->ngpair[p] : 0);
    g.nypair[p] -= now.nypair[p] - (before ? before->nypair[p] : 0);
    if (g.nypair[p] <= 0) {
      g.prox[p] = 0.0;
      g.ngpair[p] = 0;
      g.nypair[p] = 0;
    }
  }
  return out;
}

// Random running sums over five years of seven locations, with pairs that
// only one year compared, counts that fall to 0 when a year goes, a count of
// one year written as asterisks and one of the final year's: under every
// measure, the distances the clustering is given for each year left out are
// bit for bit those of form_averages on the file less that year.
TEST(DistancesWithoutYear, AreTheAveragesOfTheFileLessTheYear) {
  constexpr std::int32_t maxl = 7;
  constexpr size_t ntm = 28;
  std::uint64_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return seed >> 33;
  };
  for (const MeasureKind kind :
       {MeasureKind::kCentredDistance, MeasureKind::kStandardisedDistance,
        MeasureKind::kPlainCorrelation, MeasureKind::kFisherZCorrelation}) {
    for (const bool weighted : {true, false}) {
      ProximityHistory history;
      history.dims.maxl = maxl;
      history.dims.ntm = ntm;
      history.dims.iys = 1;
      history.dims.iyf = 5;
      history.options = Measure::of(kind, weighted);
      YearGroup running;
      running.prox.assign(ntm, 0.0);
      running.ngpair.assign(ntm, 0);
      running.nypair.assign(ntm, 0);
      for (std::int32_t year = 1; year <= 5; ++year) {
        running.year = year;
        for (size_t p = 0; p < ntm; ++p) {
          if (p % 7 == 1 && year != 2) continue;  // compared in year 2 only
          if (next() % 3 == 0) continue;          // not compared this year
          const std::int32_t entries = static_cast<std::int32_t>(next() % 12);
          running.prox[p] += static_cast<double>(next() % 2000) / 1000.0 - 0.5;
          running.ngpair[p] += entries;
          running.nypair[p] += 1;
        }
        history.years.push_back(running);
      }
      // A count of year 2 and one of year 5 written as asterisks.
      history.years[1].ngpair_known.assign(ntm, 1);
      history.years[1].nypair_known.assign(ntm, 1);
      history.years[1].ngpair_known[packed_index(2, 5)] = 0;
      history.years[4].ngpair_known.assign(ntm, 1);
      history.years[4].nypair_known.assign(ntm, 1);
      history.years[4].nypair_known[packed_index(3, 6)] = 0;
      ProximityFile file;
      file.dims = history.dims;
      file.options = history.options;
      file.group = history.years[4];
      SCOPED_TRACE("measure " + std::to_string(static_cast<int>(kind)) +
                   (weighted ? ", weighted" : ", unweighted"));
      std::vector<double> distance;
      std::vector<std::uint8_t> compared;
      size_t compared_pairs = 0, never = 0;
      for (size_t k = 0; k < 5; ++k) {
        distances_without_year(file, history, k, distance, compared);
        const Averages expected = form_averages(file_without_year(file, history, k), false, 0);
        ASSERT_EQ(distance.size(), ntm);
        ASSERT_EQ(compared.size(), ntm);
        for (std::int32_t j = 2; j <= maxl; ++j) {
          for (std::int32_t i = 1; i < j; ++i) {
            const size_t p = packed_index(i, j);
            const bool is_compared = expected.state[p] == PairState::compared;
            EXPECT_EQ(compared[p] != 0, is_compared) << "year " << k + 1 << " pair " << i << "," << j;
            if (is_compared) {
              ++compared_pairs;
              EXPECT_EQ(std::bit_cast<std::uint64_t>(distance[p]),
                        std::bit_cast<std::uint64_t>(expected.distance[p]))
                  << "year " << k + 1 << " pair " << i << "," << j;
            } else {
              ++never;
            }
          }
        }
      }
      // Both kinds of pair occur.
      EXPECT_GT(compared_pairs, 50u);
      EXPECT_GT(never, 5u);
    }
  }
}

struct RandCase {
  const char* name;
  std::vector<std::int32_t> a, b;
  double index;
};

void PrintTo(const RandCase& c, std::ostream* os) {
  *os << c.name;
}

class AdjustedRand : public ::testing::TestWithParam<RandCase> {};

TEST_P(AdjustedRand, MatchesWorkedValues) {
  const RandCase& c = GetParam();
  EXPECT_NEAR(adjusted_rand_index(c.a, c.b), c.index, 1e-15);
  EXPECT_NEAR(adjusted_rand_index(c.b, c.a), c.index, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(
    Groupings, AdjustedRand,
    ::testing::Values(RandCase{"same_up_to_numbering", {1, 1, 2, 2, 3}, {2, 2, 3, 3, 1}, 1.0},
                      RandCase{"crossed", {1, 1, 2, 2}, {1, 2, 1, 2}, -0.5},
                      // 6 locations {1,2,3},{4,5,6} against {1,2},{3,4},{5,6}: index 2,
                      // rows 6, columns 3, expected 6*3/15 = 1.2, max 4.5: 0.8/3.3.
                      RandCase{"split_three", {1, 1, 1, 2, 2, 2}, {1, 1, 2, 2, 3, 3}, 0.8 / 3.3},
                      RandCase{"both_all_alone", {1, 2, 3}, {3, 2, 1}, 1.0},
                      RandCase{"one_location", {1}, {1}, 1.0}),
    ::locprox::testing::NameOfCase());

}  // namespace
}  // namespace locprox::summary
