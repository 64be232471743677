// The blocked, vectorised accumulation against the definition (the reference
// accumulation): each pair's sums formed on their own, one entry after
// another in ascending entry order.
// Results must agree bit for bit, over many shapes and kinds of data.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "analysis/accumulated_sums.h"
#include "analysis/location_scaling.h"
#include "analysis/measures.h"
#include "analysis/proximity_accumulation.h"
#include "analysis/reference_accumulation.h"
#include "analysis/whole_arrays.h"
#include "format/proximity_records.h"

namespace locprox {
namespace {

using testing::Sums;

struct Year {
  int maxl = 0, maxg = 0;
  std::vector<float> y;
  std::vector<std::int32_t> inc;
  float Y(int i, int g) const { return y[(i - 1) + (g - 1) * maxl]; }
  std::int32_t INC(int i, int g) const { return inc[(i - 1) + (g - 1) * maxl]; }
};

struct Shape {
  int maxl;
  int maxg;
  double density;  // share of observed cells
};

// A year of data with values of widely different magnitudes (so that any
// change in the order of a sum shows in the last bits), centred (and
// optionally standardised) as the year loop does, plus locations that stress the
// special cases: an empty one, a single observation, all values equal, and an
// exact copy and an exact negation of another location (r = +1 and -1).
Year make_year(const Shape& shape, unsigned seed, bool standardise) {
  Year d;
  d.maxl = shape.maxl;
  d.maxg = shape.maxg;
  const std::size_t cells = static_cast<std::size_t>(d.maxl) * d.maxg;
  d.y.assign(cells, 0.0f);
  d.inc.assign(cells, 0);
  std::mt19937 rng(seed);
  std::bernoulli_distribution observed(shape.density);
  std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
  std::uniform_int_distribution<int> exponent(-8, 12);
  for (std::size_t c = 0; c < cells; ++c) {
    if (observed(rng)) {
      d.inc[c] = 1;
      d.y[c] = std::ldexp(mantissa(rng), exponent(rng));
    }
  }
  auto cell = [&](int i, int g) { return static_cast<std::size_t>(i - 1) + (g - 1) * d.maxl; };
  std::uniform_int_distribution<int> location(1, d.maxl);
  if (d.maxl >= 6 && d.maxg >= 1) {
    const int empty = location(rng), single = location(rng), equal = location(rng);
    const int source = location(rng), copy = location(rng), negated = location(rng);
    for (int g = 1; g <= d.maxg; ++g) {
      d.inc[cell(empty, g)] = 0;
      d.y[cell(empty, g)] = 0.0f;
      d.inc[cell(single, g)] = g == 1 ? 1 : 0;
      d.y[cell(single, g)] = g == 1 ? 4.5f : 0.0f;
      if (d.inc[cell(equal, g)] != 0) d.y[cell(equal, g)] = -2.25f;
      for (const int to : {copy, negated}) {
        if (to == source) continue;
        d.inc[cell(to, g)] = d.inc[cell(source, g)];
        d.y[cell(to, g)] = to == copy ? d.y[cell(source, g)] : -d.y[cell(source, g)];
      }
    }
  }
  centre_locations(d.y, d.inc, d.maxl, d.maxg);
  if (standardise) standardise_locations(d.y, d.inc, d.maxl, d.maxg);
  return d;
}

// The same bits as the reference, and every sum finite.
void expect_identical_and_finite(const Sums& fast, const Sums& reference,
                                 const std::string& label) {
  testing::expect_identical(fast, reference, label);
  for (double v : fast.prox) ASSERT_TRUE(std::isfinite(v)) << label;
}

const std::vector<Shape> kShapes{
    {1, 5, 0.7},    {2, 1, 1.0},    {3, 9, 0.6},    {6, 13, 1.0},   {9, 40, 0.05},
    {17, 64, 0.6},  {31, 7, 0.9},   {255, 12, 0.6}, {256, 11, 0.3}, {257, 10, 1.0},
    {300, 23, 0.6}, {521, 9, 0.15}, {40, 0, 0.5},
};

// The widest loops this processor has and the portable ones, each against
// the reference.
const std::vector<std::pair<AccumulationLoops, std::string>> kLoops{
    {AccumulationLoops::kWidest, " widest"}, {AccumulationLoops::kPortable, " portable"}};

// Restores the default loops when a test ends.
struct LoopsInUse {
  explicit LoopsInUse(AccumulationLoops loops) { use_accumulation_loops(loops); }
  ~LoopsInUse() { use_accumulation_loops(AccumulationLoops::kWidest); }
};

TEST(ProximityAccumulationRandom, SedaccMatchesOnePairAtATime) {
  for (const auto& [loops, loops_name] : kLoops) {
    const LoopsInUse in_use(loops);
    unsigned seed = 1;
    for (const Shape& shape : kShapes) {
      for (const char weight : {'W', 'U'}) {
        Sums fast(shape.maxl), reference(shape.maxl);
        // Two years into the same sums: the second adds to non-zero totals.
        for (int year = 0; year < 2; ++year) {
          const Year d = make_year(shape, ++seed, year == 1);
          accumulate_distances(d.y, d.inc, fast.prox, fast.ngpair, fast.nypair, d.maxl, d.maxg,
                               testing::distances_with(weight));
          reference::accumulate_distances(d.y, d.inc, reference.prox, reference.ngpair,
                                          reference.nypair, d.maxl, d.maxg, weight);
        }
        expect_identical_and_finite(
            fast, reference,
            std::to_string(shape.maxl) + "x" + std::to_string(shape.maxg) + weight + loops_name);
      }
    }
  }
}

TEST(ProximityAccumulationRandom, CoraccMatchesOnePairAtATime) {
  for (const auto& [loops, loops_name] : kLoops) {
    const LoopsInUse in_use(loops);
    unsigned seed = 1000;
    for (const Shape& shape : kShapes) {
      for (const char weight : {'W', 'U'}) {
        for (const char cortyp : {'Z', 'P'}) {
          Sums fast(shape.maxl), reference(shape.maxl);
          for (int year = 0; year < 2; ++year) {
            const Year d = make_year(shape, ++seed, false);
            accumulate_correlations(d.y, d.inc, fast.prox, fast.ngpair, fast.nypair, d.maxl, d.maxg,
                                    testing::correlations_with(weight, cortyp));
            reference::accumulate_correlations(d.y, d.inc, reference.prox, reference.ngpair,
                                               reference.nypair, d.maxl, d.maxg, weight, cortyp);
          }
          expect_identical_and_finite(fast, reference,
                                      std::to_string(shape.maxl) + "x" +
                                          std::to_string(shape.maxg) + weight + cortyp +
                                          loops_name);
        }
      }
    }
  }
}

}  // namespace
}  // namespace locprox
