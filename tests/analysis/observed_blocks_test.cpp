// The accumulation over a year's observed blocks against the accumulation
// over the whole arrays and against the reference (each pair's sums formed
// on their own, entry after entry, over every entry): bit for bit, on
// randomised unbalanced years in which locations and entries come and go,
// under every option.

#include "analysis/observed_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "analysis/accumulated_sums.h"
#include "analysis/location_scaling.h"
#include "analysis/measures.h"
#include "analysis/proximity_accumulation.h"
#include "analysis/reference_accumulation.h"
#include "analysis/whole_arrays.h"

namespace locprox {
namespace {

using testing::expect_identical;
using testing::Sums;

struct Year {
  int maxl = 0, maxg = 0;
  std::vector<float> y;
  std::vector<std::int32_t> inc;
  std::size_t cell(int i, int g) const {
    return static_cast<std::size_t>(i - 1) + static_cast<std::size_t>(g - 1) * maxl;
  }
  float Y(int i, int g) const { return y[cell(i, g)]; }
  std::int32_t INC(int i, int g) const { return inc[cell(i, g)]; }
};

// ---- randomised unbalanced years ----

struct Network {
  int maxl;
  int maxg;
  int active_locations;  // per year
  int active_entries;    // per year
  double density;        // share of the active cross observed
};

// A year of a network as the reader leaves it (not yet centred): only some
// locations and entries active, drawn afresh each year, so that they come and
// go. Values of widely different magnitudes (so that a change in the order of
// a sum shows in the last bits), observed zeros of both signs, and locations
// that stress the special cases: a single observation, all values equal, an
// exact copy and an exact negation of another location (r = +1 and -1), a
// pair with exactly 3 and 4 entries in common (Fisher z's reduced count).
Year make_year(const Network& net, std::mt19937& rng) {
  Year d;
  d.maxl = net.maxl;
  d.maxg = net.maxg;
  const std::size_t cells = static_cast<std::size_t>(d.maxl) * d.maxg;
  d.y.assign(cells, 0.0f);
  d.inc.assign(cells, 0);
  auto draw = [&](int total, int count) {
    std::vector<int> all(static_cast<std::size_t>(total));
    for (int k = 0; k < total; ++k) all[static_cast<std::size_t>(k)] = k + 1;
    std::shuffle(all.begin(), all.end(), rng);
    all.resize(static_cast<std::size_t>(std::min(count, total)));
    return all;
  };
  const std::vector<int> locations = draw(d.maxl, net.active_locations);
  const std::vector<int> entries = draw(d.maxg, net.active_entries);
  std::bernoulli_distribution observed(net.density);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-8, 12);
  std::uniform_int_distribution<int> special(0, 40);
  for (int l : locations) {
    for (int g : entries) {
      if (!observed(rng)) continue;
      d.inc[d.cell(l, g)] = 1;
      const int kind = special(rng);
      d.y[d.cell(l, g)] = kind == 0   ? 0.0f
                          : kind == 1 ? -0.0f
                                      : std::ldexp(mantissa(rng), exponent(rng));
    }
  }
  if (locations.size() >= 7 && !entries.empty()) {
    const int single = locations[0], equal = locations[1], source = locations[2];
    const int copy = locations[3], negated = locations[4], three = locations[5],
              four = locations[6];
    for (int g = 1; g <= d.maxg; ++g) {
      d.inc[d.cell(single, g)] = g == entries[0] ? 1 : 0;
      d.y[d.cell(single, g)] = g == entries[0] ? 4.5f : 0.0f;
      if (d.INC(equal, g) != 0) d.y[d.cell(equal, g)] = -2.25f;
      d.inc[d.cell(copy, g)] = d.INC(source, g);
      d.y[d.cell(copy, g)] = d.Y(source, g);
      d.inc[d.cell(negated, g)] = d.INC(source, g);
      d.y[d.cell(negated, g)] = -d.Y(source, g);
    }
    // Locations `three` and `four` share exactly 3 and 4 observed entries
    // with `source` (if it observed that many).
    int shared = 0;
    for (int g = 1; g <= d.maxg; ++g) {
      const bool with_source = d.INC(source, g) != 0;
      const bool keep3 = with_source && shared < 3;
      const bool keep4 = with_source && shared < 4;
      if (with_source) ++shared;
      d.inc[d.cell(three, g)] = keep3 ? 1 : 0;
      d.y[d.cell(three, g)] = keep3 ? static_cast<float>(g % 7) - 2.5f : 0.0f;
      d.inc[d.cell(four, g)] = keep4 ? 1 : 0;
      d.y[d.cell(four, g)] = keep4 ? static_cast<float>(g % 5) * 1.5f : 0.0f;
    }
  }
  return d;
}

struct Blocks {
  std::vector<std::int32_t> locobs, entobs, iobs;
  std::vector<float> yobs;
  ObservedCounts counts;
  ObservedBlock view() const {
    return {yobs, iobs, std::span<const std::int32_t>(locobs).first(counts.observed_location_count),
            counts.observed_location_count, counts.observed_entry_count};
  }
};

// The restricted road: list what was observed, gather, centre (and
// standardise) the block.
Blocks gather_and_centre(const Year& raw, bool standardise) {
  Blocks b;
  b.locobs.assign(static_cast<std::size_t>(raw.maxl), -1);
  b.entobs.assign(static_cast<std::size_t>(raw.maxg), -1);
  b.counts = find_observed(b.locobs, b.entobs, raw.inc, raw.maxl, raw.maxg);
  const std::size_t cells =
      static_cast<std::size_t>(b.counts.observed_location_count) * b.counts.observed_entry_count;
  b.yobs.assign(cells, 99.0f);
  b.iobs.assign(cells, 7);
  gather_observed(b.yobs, b.iobs, raw.y, raw.inc, b.locobs, b.entobs, raw.maxl,
                  b.counts.observed_location_count, b.counts.observed_entry_count);
  centre_locations(b.yobs, b.iobs, b.counts.observed_location_count, b.counts.observed_entry_count);
  if (standardise)
    standardise_locations(b.yobs, b.iobs, b.counts.observed_location_count,
                          b.counts.observed_entry_count);
  return b;
}

// The whole road: centre (and standardise) the whole arrays.
Year centre_whole(Year d, bool standardise) {
  centre_locations(d.y, d.inc, d.maxl, d.maxg);
  if (standardise) standardise_locations(d.y, d.inc, d.maxl, d.maxg);
  return d;
}

// Runs `accumulate(columns)` on `threads` threads sharing one queue.
template <class Accumulate>
void on_threads(int threads, std::int32_t columns_in_all, Accumulate accumulate) {
  ColumnQueue columns(columns_in_all);
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back([&] { accumulate(columns); });
  accumulate(columns);
  for (auto& helper : helpers) helper.join();
}

const std::vector<Network> kNetworks{
    // maxl, maxg, active locations, active entries, density
    {1, 4, 1, 4, 0.8},        {2, 3, 2, 3, 1.0},     {7, 20, 7, 20, 0.5},   {12, 30, 9, 6, 0.7},
    {40, 200, 11, 25, 0.5},   {60, 90, 30, 40, 0.2}, {90, 50, 80, 12, 0.9}, {300, 400, 40, 60, 0.5},
    {600, 120, 270, 30, 0.6}, {50, 40, 0, 10, 0.5},  {30, 5, 25, 5, 0.02},
};

TEST(ObservedBlocks, ListsTheObservedLocationsAndEntriesInOrder) {
  // 4 locations, 5 entries; observed: (2,1) (4,1) (2,4) (4,5).
  const std::int32_t MAXL = 4, MAXG = 5;
  std::vector<std::int32_t> INCID(20, 0);
  std::vector<float> YDATA(20, 0.0f);
  for (auto [l, g, v] : {std::tuple{2, 1, 1.5f}, {4, 1, -2.0f}, {2, 4, 3.0f}, {4, 5, 8.0f}}) {
    INCID[static_cast<std::size_t>((l - 1) + (g - 1) * MAXL)] = 1;
    YDATA[static_cast<std::size_t>((l - 1) + (g - 1) * MAXL)] = v;
  }
  YDATA[2] = 77.0f;  // an unobserved cell with a stale value: not copied
  std::vector<std::int32_t> observed_locations(4, -1), observed_entries(5, -1);
  const ObservedCounts counts =
      find_observed(observed_locations, observed_entries, INCID, MAXL, MAXG);
  EXPECT_EQ(counts.observed_location_count, 2);
  EXPECT_EQ(counts.observed_entry_count, 3);
  EXPECT_EQ(std::vector<std::int32_t>(observed_locations.begin(), observed_locations.begin() + 2),
            (std::vector<std::int32_t>{1, 3}));
  EXPECT_EQ(std::vector<std::int32_t>(observed_entries.begin(), observed_entries.begin() + 3),
            (std::vector<std::int32_t>{0, 3, 4}));
  std::vector<float> observed_values(6, 99.0f);
  std::vector<std::int32_t> observed_incidence(6, 7);
  gather_observed(observed_values, observed_incidence, YDATA, INCID, observed_locations,
                  observed_entries, MAXL, 2, 3);
  EXPECT_EQ(observed_incidence, (std::vector<std::int32_t>{1, 1, 1, 0, 0, 1}));
  EXPECT_EQ(observed_values, (std::vector<float>{1.5f, -2.0f, 3.0f, 0.0f, 0.0f, 8.0f}));
}

TEST(ObservedBlocks, CentringTheBlockGivesTheValuesOfCentringEverything) {
  std::mt19937 rng(11);
  for (const Network& net : kNetworks) {
    for (const bool standardise : {false, true}) {
      const Year raw = make_year(net, rng);
      const Year whole = centre_whole(raw, standardise);
      const Blocks b = gather_and_centre(raw, standardise);
      for (std::int32_t m = 0; m < b.counts.observed_entry_count; ++m) {
        for (std::int32_t k = 0; k < b.counts.observed_location_count; ++k) {
          const std::size_t in_block =
              static_cast<std::size_t>(k + m * b.counts.observed_location_count);
          const float want = whole.Y(b.locobs[static_cast<std::size_t>(k)] + 1,
                                     b.entobs[static_cast<std::size_t>(m)] + 1);
          const float got = b.iobs[in_block] != 0 ? b.yobs[in_block] : want;
          ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0)
              << net.maxl << "x" << net.maxg << " location " << k << " entry " << m;
        }
      }
    }
  }
}

TEST(ObservedBlocks, DistancesMatchTheWholeArraysAndTheDefinition) {
  unsigned seed = 1;
  for (const Network& net : kNetworks) {
    for (const char weight : {'W', 'U'}) {
      for (const bool standardise : {false, true}) {
        std::mt19937 rng(++seed);
        Sums restricted(net.maxl), whole(net.maxl), reference(net.maxl);
        // Several years into the same sums: later years add to non-zero
        // totals, and pairs a year leaves out must keep theirs exactly.
        for (int year = 0; year < 4; ++year) {
          const Year raw = make_year(net, rng);
          const Year centred = centre_whole(raw, standardise);
          const Blocks b = gather_and_centre(raw, standardise);
          on_threads(1 + year % 3, b.counts.observed_location_count, [&](ColumnQueue& columns) {
            accumulate_distances(b.view(), restricted.prox, restricted.ngpair, restricted.nypair,
                                 testing::distances_with(weight), columns);
          });
          accumulate_distances(centred.y, centred.inc, whole.prox, whole.ngpair, whole.nypair,
                               net.maxl, net.maxg, testing::distances_with(weight));
          reference::accumulate_distances(centred.y, centred.inc, reference.prox, reference.ngpair,
                                          reference.nypair, net.maxl, net.maxg, weight);
        }
        const std::string label = std::to_string(net.maxl) + "x" + std::to_string(net.maxg) +
                                  weight + (standardise ? " standardised" : " centred");
        expect_identical(restricted, whole, label + " against the whole arrays");
        expect_identical(restricted, reference, label + " against the definition");
      }
    }
  }
}

TEST(ObservedBlocks, CorrelationsMatchTheWholeArraysAndTheDefinition) {
  unsigned seed = 1000;
  for (const Network& net : kNetworks) {
    for (const char weight : {'W', 'U'}) {
      for (const char cortyp : {'Z', 'N'}) {
        std::mt19937 rng(++seed);
        Sums restricted(net.maxl), whole(net.maxl), reference(net.maxl);
        for (int year = 0; year < 4; ++year) {
          const Year raw = make_year(net, rng);
          const Year centred = centre_whole(raw, false);
          const Blocks b = gather_and_centre(raw, false);
          on_threads(1 + year % 3, b.counts.observed_location_count, [&](ColumnQueue& columns) {
            accumulate_correlations(b.view(), restricted.prox, restricted.ngpair, restricted.nypair,
                                    testing::correlations_with(weight, cortyp), columns);
          });
          accumulate_correlations(centred.y, centred.inc, whole.prox, whole.ngpair, whole.nypair,
                                  net.maxl, net.maxg, testing::correlations_with(weight, cortyp));
          reference::accumulate_correlations(centred.y, centred.inc, reference.prox,
                                             reference.ngpair, reference.nypair, net.maxl, net.maxg,
                                             weight, cortyp);
        }
        const std::string label =
            std::to_string(net.maxl) + "x" + std::to_string(net.maxg) + weight + cortyp;
        expect_identical(restricted, whole, label + " against the whole arrays");
        expect_identical(restricted, reference, label + " against the definition");
      }
    }
  }
}

// An empty `locations` reads the blocks as the year's whole arrays.
TEST(ObservedBlocks, WithoutALocationListTheBlockIsTheWholeYear) {
  std::mt19937 rng(77);
  const Network net{45, 70, 30, 50, 0.6};
  Sums direct(net.maxl), reference(net.maxl);
  for (int year = 0; year < 3; ++year) {
    const Year centred = centre_whole(make_year(net, rng), false);
    const ObservedBlock block{centred.y, centred.inc, {}, net.maxl, net.maxg};
    ColumnQueue columns(net.maxl);
    accumulate_correlations(block, direct.prox, direct.ngpair, direct.nypair,
                            testing::correlations_with('W', 'Z'), columns);
    reference::accumulate_correlations(centred.y, centred.inc, reference.prox, reference.ngpair,
                                       reference.nypair, net.maxl, net.maxg, 'W', 'Z');
  }
  expect_identical(direct, reference, "whole year as a block");
}

}  // namespace
}  // namespace locprox
