#include "analysis/proximity_accumulation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "analysis/measures.h"
#include "analysis/natural_log.h"
#include "analysis/whole_arrays.h"
#include "format/proximity_records.h"

namespace locprox {
namespace {

using I = std::vector<std::int32_t>;
using D = std::vector<double>;
using F = std::vector<float>;

// Running sums of a run over MAXL locations, packed, zeroed by the year loop.
struct Sums {
  explicit Sums(std::int32_t maxl)
      : ntm(static_cast<std::int32_t>(packed_size(maxl))),
        prox(ntm, 0.0),
        ngpair(ntm, 0),
        nypair(ntm, 0) {}
  std::int32_t ntm;
  D prox;
  I ngpair, nypair;
};

// Two locations, three entries, values as centring leaves them: location 1
// has 1.0 and -1.0 at entries 1 and 2 (entry 3 unobserved), location 2 has
// 2.0, -2.0 and 0.0 at all three. Packed: (1,1), (1,2), (2,2).
const F kYdata{1.0f, 2.0f, -1.0f, -2.0f, 0.0f, 0.0f};
const I kIncid{1, 1, 1, 1, 0, 1};

struct Expected {
  char weight;
  char cortyp;
  D prox;
  I ngpair;
  I nypair;
};

TEST(Sedacc, TwoLocationsThreeEntries) {
  const std::vector<Expected> cases{
      {'U', ' ', {0.0, 1.0, 0.0}, {0, 2, 0}, {0, 1, 0}},
      {'W', ' ', {0.0, 2.0, 0.0}, {0, 2, 0}, {0, 1, 0}},
      {'w', ' ', {0.0, 1.0, 0.0}, {0, 2, 0}, {0, 1, 0}},  // only a capital W weights
  };
  for (const Expected& c : cases) {
    Sums s(2);
    accumulate_distances(kYdata, kIncid, s.prox, s.ngpair, s.nypair, 2, 3,
                         testing::distances_with(c.weight));
    EXPECT_EQ(s.prox, c.prox) << c.weight;
    EXPECT_EQ(s.ngpair, c.ngpair) << c.weight;
    EXPECT_EQ(s.nypair, c.nypair) << c.weight;
  }
}

TEST(ProximityAccumulation, RunningCountOfEntriesStopsAtTheLargest32BitValue) {
  // Two entries in common a year on a count already near the 32-bit limit:
  // the count stops at the limit (asterisks in its field) and never wraps.
  const std::int32_t most = std::numeric_limits<std::int32_t>::max();
  Sums sed(2);
  sed.ngpair[1] = most - 1;
  accumulate_distances(kYdata, kIncid, sed.prox, sed.ngpair, sed.nypair, 2, 3,
                       testing::distances_with('W'));
  EXPECT_EQ(sed.ngpair[1], most);
  Sums cor(2);
  cor.ngpair = {most, most, most};
  accumulate_correlations(kYdata, kIncid, cor.prox, cor.ngpair, cor.nypair, 2, 3,
                          testing::correlations_with('W', 'N'));
  EXPECT_EQ(cor.ngpair, (I{most, most, most}));
  EXPECT_EQ(cor.nypair, (I{1, 1, 1}));
}

TEST(Sedacc, AddsToTheRunningSumsAndNeverTouchesTheDiagonal) {
  Sums s(2);
  s.prox = {5.5, 0.25, -3.0};
  s.ngpair = {7, 1, 9};
  s.nypair = {4, 1, 6};
  accumulate_distances(kYdata, kIncid, s.prox, s.ngpair, s.nypair, 2, 3,
                       testing::distances_with('U'));
  accumulate_distances(kYdata, kIncid, s.prox, s.ngpair, s.nypair, 2, 3,
                       testing::distances_with('U'));
  EXPECT_EQ(s.prox, (D{5.5, 2.25, -3.0}));
  EXPECT_EQ(s.ngpair, (I{7, 5, 9}));
  EXPECT_EQ(s.nypair, (I{4, 3, 6}));
}

TEST(Coracc, TwoLocationsThreeEntries) {
  // Pair: n = 2, a = 4, b = 8, e = 2, r = 1. Diagonal: r = 1 with 2 and 3
  // entries. Fisher z drops the pair (n - 3 < 0) but never the diagonal.
  const std::vector<Expected> cases{
      {'U', 'P', {1.0, 1.0, 1.0}, {2, 2, 3}, {1, 1, 1}},
      {'W', 'P', {2.0, 2.0, 3.0}, {2, 2, 3}, {1, 1, 1}},
      {'U', 'Z', {1.0, 0.0, 1.0}, {2, 0, 3}, {1, 0, 1}},
      {'W', 'Z', {2.0, 0.0, 3.0}, {2, 0, 3}, {1, 0, 1}},
      {'w', 'z', {1.0, 1.0, 1.0}, {2, 2, 3}, {1, 1, 1}},  // capitals only
  };
  for (const Expected& c : cases) {
    Sums s(2);
    accumulate_correlations(kYdata, kIncid, s.prox, s.ngpair, s.nypair, 2, 3,
                            testing::correlations_with(c.weight, c.cortyp));
    const std::string label{c.weight, c.cortyp};
    EXPECT_EQ(s.prox, c.prox) << label;
    EXPECT_EQ(s.ngpair, c.ngpair) << label;
    EXPECT_EQ(s.nypair, c.nypair) << label;
  }
}

TEST(ProximityAccumulation, PairWithoutEntriesInCommonAddsZeroAndNoCount) {
  const F ydata{1.0f, 0.0f, -1.0f, 0.0f, 0.0f, 3.0f, 0.0f, -3.0f};
  const I incid{1, 0, 1, 0, 0, 1, 0, 1};
  Sums sed(2);
  accumulate_distances(ydata, incid, sed.prox, sed.ngpair, sed.nypair, 2, 4,
                       testing::distances_with('W'));
  EXPECT_EQ(sed.prox, (D{0.0, 0.0, 0.0}));
  EXPECT_EQ(sed.ngpair, (I{0, 0, 0}));
  EXPECT_EQ(sed.nypair, (I{0, 0, 0}));
  Sums cor(2);
  accumulate_correlations(ydata, incid, cor.prox, cor.ngpair, cor.nypair, 2, 4,
                          testing::correlations_with('W', 'P'));
  EXPECT_EQ(cor.prox, (D{2.0, 0.0, 2.0}));
  EXPECT_EQ(cor.ngpair, (I{2, 0, 2}));
  EXPECT_EQ(cor.nypair, (I{1, 0, 1}));
}

TEST(Coracc, LocationWithOnlyZeroValuesInCommonContributesNothing) {
  // Location 1 had a single observed entry, centred to 0.0: its correlation
  // with location 2 and with itself is undefined, and that year adds nothing
  // to those elements. Location 2's diagonal still counts.
  const F ydata{0.0f, 1.5f, 0.0f, -1.5f};
  const I incid{1, 1, 0, 1};
  for (const char cortyp : {'P', 'Z'}) {
    Sums s(2);
    s.prox = {0.5, -0.25, 4.0};
    s.ngpair = {3, 2, 8};
    s.nypair = {1, 1, 2};
    accumulate_correlations(ydata, incid, s.prox, s.ngpair, s.nypair, 2, 2,
                            testing::correlations_with('W', cortyp));
    EXPECT_EQ(s.prox, (D{0.5, -0.25, 6.0})) << cortyp;
    EXPECT_EQ(s.ngpair, (I{3, 2, 10})) << cortyp;
    EXPECT_EQ(s.nypair, (I{1, 1, 3})) << cortyp;
  }
}

TEST(Coracc, SingleEntryInCommonGivesPlusOrMinusOne) {
  for (const float other : {2.0f, -2.0f}) {
    Sums s(2);
    const F ydata{3.0f, other};
    accumulate_correlations(ydata, I{1, 1}, s.prox, s.ngpair, s.nypair, 2, 1,
                            testing::correlations_with('U', 'P'));
    EXPECT_EQ(s.prox[1], other > 0.0f ? 1.0 : -1.0);
    EXPECT_EQ(s.ngpair[1], 1);
    EXPECT_EQ(s.nypair[1], 1);
  }
}

// Fisher's z of the pair (1, 2) over five entries: location 1 holds 1.0 at
// entry 1 and 0.0 elsewhere, location 2 the values given, so r is the first
// value over the length of location 2's vector. `common` entries (the first
// ones) are observed at both locations; the rest only at location 2.
struct FisherCase {
  const char* name;
  F second;
  int common;
  double z;          // the expected z, unweighted
  double tolerance;  // 0: exact
};

TEST(Coracc, FisherZ) {
  const std::vector<FisherCase> cases{
      {"r 0.5", {1.0f, 1.0f, 1.0f, 1.0f, 0.0f}, 5, 0.5493061, 5e-8},
      {"r 0.5 exactly ln 3 / 2", {1.0f, 1.0f, 1.0f, 1.0f, 0.0f}, 5, natural_log(3.0) * 0.5, 0.0},
      {"r 0.9", {0.9f, static_cast<float>(std::sqrt(0.19)), 0.0f, 0.0f, 0.0f}, 5, 1.4722195, 5e-7},
      {"r 0.9999995 capped", {1.0f, 0.001f, 0.0f, 0.0f, 0.0f}, 5, 7.25, 0.0},
      {"r 1 capped", {2.0f, 0.0f, 0.0f, 0.0f, 0.0f}, 5, 7.25, 0.0},
      {"r -0.9999995 capped", {-1.0f, 0.001f, 0.0f, 0.0f, 0.0f}, 5, -7.25, 0.0},
      {"r -1 capped", {-3.0f, 0.0f, 0.0f, 0.0f, 0.0f}, 5, -7.25, 0.0},
      // 1 - r just above the threshold: transformed, not capped.
      {"1 - r 1.125e-6", {1.0f, 0.0015f, 0.0f, 0.0f, 0.0f}, 5, 7.1954, 1e-3},
      {"r 0", {0.0f, 1.0f, 0.0f, 0.0f, 0.0f}, 5, 0.0, 0.0},
      {"four in common", {1.0f, 1.0f, 1.0f, 1.0f, 1.0f}, 4, 0.5493061, 5e-8},
      {"three in common: nothing", {1.0f, 1.0f, 1.0f, 1.0f, 1.0f}, 3, 0.0, 0.0},
  };
  for (const FisherCase& c : cases) {
    F ydata(10, 0.0f);
    I incid(10, 0);
    ydata[0] = 1.0f;
    for (int g = 0; g < 5; ++g) {
      ydata[2 * g + 1] = c.second[g];
      incid[2 * g] = g < c.common ? 1 : 0;
      incid[2 * g + 1] = 1;
    }
    const std::int32_t reduced = c.common - 3;
    for (const char weight : {'U', 'W'}) {
      Sums s(2);
      accumulate_correlations(ydata, incid, s.prox, s.ngpair, s.nypair, 2, 5,
                              testing::correlations_with(weight, 'Z'));
      const double expected = weight == 'W' ? c.z * reduced : c.z;
      if (c.tolerance == 0.0) {
        EXPECT_EQ(s.prox[1], expected) << c.name << ' ' << weight;
      } else {
        EXPECT_NEAR(s.prox[1], expected, c.tolerance * reduced) << c.name << ' ' << weight;
      }
      EXPECT_EQ(s.ngpair[1], reduced) << c.name;
      EXPECT_EQ(s.nypair[1], reduced > 0 ? 1 : 0) << c.name;
      EXPECT_EQ(s.prox[0], weight == 'W' ? c.common : 1.0) << c.name;  // never transformed
      EXPECT_EQ(s.ngpair[0], c.common) << c.name;
    }
  }
}

}  // namespace
}  // namespace locprox
