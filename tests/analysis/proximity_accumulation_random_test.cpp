// The blocked, vectorised accumulation against the definition: each pair's
// sums formed on their own, one entry after another in ascending entry order.
// Results must agree bit for bit, over many shapes and kinds of data.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "analysis/location_scaling.h"
#include "analysis/natural_log.h"
#include "analysis/proximity_accumulation.h"

namespace locprox {
namespace {

struct Year {
  int maxl = 0, maxg = 0;
  std::vector<float> y;
  std::vector<std::int32_t> inc;
  float Y(int i, int g) const { return y[(i - 1) + (g - 1) * maxl]; }
  std::int32_t INC(int i, int g) const { return inc[(i - 1) + (g - 1) * maxl]; }
};

struct Sums {
  explicit Sums(int maxl)
      : ntm(maxl * (maxl + 1) / 2), prox(ntm, 0.0), ngpair(ntm, 0), nypair(ntm, 0) {}
  int ntm;
  std::vector<double> prox;
  std::vector<std::int32_t> ngpair, nypair;
};

void reference_sedacc(const Year& d, Sums& out, char weight) {
  for (int j = 2; j <= d.maxl; ++j) {
    for (int i = 1; i < j; ++i) {
      double s = 0.0;
      std::int32_t c = 0;
      for (int g = 1; g <= d.maxg; ++g) {
        const std::int32_t w = d.INC(i, g) * d.INC(j, g);
        if (w > 0) {
          const double diff = static_cast<double>(d.Y(j, g)) - static_cast<double>(d.Y(i, g));
          s = s + w * (diff * diff);
          c = c + w;
        }
      }
      double v = 0.0;
      if (c != 0) v = weight == 'W' ? s : s / c;
      const int p = j * (j - 1) / 2 + i - 1;
      out.prox[p] = out.prox[p] + v;
      out.ngpair[p] += c;
      if (c != 0) out.nypair[p] += 1;
    }
  }
}

void reference_coracc(const Year& d, Sums& out, char weight, char cortyp) {
  const double threshold = static_cast<double>(1.0e-6f);
  for (int j = 1; j <= d.maxl; ++j) {
    for (int i = 1; i <= j; ++i) {
      double a = 0.0, b = 0.0, e = 0.0, v = 0.0;
      std::int32_t n = 0;
      for (int g = 1; g <= d.maxg; ++g) {
        const std::int32_t w = d.INC(i, g) * d.INC(j, g);
        const double yj = d.Y(j, g);
        const double yi = d.Y(i, g);
        n = n + w;
        a = a + (w * yj) * yi;
        b = b + w * (yj * yj);
        e = e + w * (yi * yi);
      }
      if (n > 0) {
        if (b == 0.0 || e == 0.0) continue;  // no correlation: nothing this year
        v = a / std::sqrt(b * e);
      }
      if (i != j && cortyp == 'Z') {
        n = n - 3;
        if (n <= 0) {
          v = 0.0;
          n = 0;
        } else if (1.0 - v < threshold) {
          v = 7.25;
        } else if (v + 1.0 < threshold) {
          v = -7.25;
        } else {
          v = natural_log((v + 1.0) / (1.0 - v)) * 0.5;
        }
      }
      if (n != 0 && weight == 'W') v = v * n;
      const int p = j * (j - 1) / 2 + i - 1;
      out.prox[p] = out.prox[p] + v;
      out.ngpair[p] += n;
      if (n > 0) out.nypair[p] += 1;
    }
  }
}

struct Shape {
  int maxl;
  int maxg;
  double density;  // share of observed cells
};

// A year of data with values of widely different magnitudes (so that any
// change in the order of a sum shows in the last bits), centred (and
// optionally standardised) as the driver does, plus locations that stress the
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
  LOCCEN(d.y, d.inc, d.maxl, d.maxg);
  if (standardise) LOCSTD(d.y, d.inc, d.maxl, d.maxg);
  return d;
}

void expect_identical(const Sums& fast, const Sums& reference, const std::string& label) {
  ASSERT_EQ(std::memcmp(fast.prox.data(), reference.prox.data(), sizeof(double) * fast.ntm), 0)
      << label;
  ASSERT_EQ(fast.ngpair, reference.ngpair) << label;
  ASSERT_EQ(fast.nypair, reference.nypair) << label;
  for (double v : fast.prox) ASSERT_TRUE(std::isfinite(v)) << label;
}

const std::vector<Shape> kShapes{
    {1, 5, 0.7},    {2, 1, 1.0},    {3, 9, 0.6},    {6, 13, 1.0},   {9, 40, 0.05},
    {17, 64, 0.6},  {31, 7, 0.9},   {255, 12, 0.6}, {256, 11, 0.3}, {257, 10, 1.0},
    {300, 23, 0.6}, {521, 9, 0.15}, {40, 0, 0.5},
};

TEST(ProximityAccumulationRandom, SedaccMatchesOnePairAtATime) {
  unsigned seed = 1;
  for (const Shape& shape : kShapes) {
    for (const char weight : {'W', 'U'}) {
      Sums fast(shape.maxl), reference(shape.maxl);
      // Two years into the same sums: the second adds to non-zero totals.
      for (int year = 0; year < 2; ++year) {
        const Year d = make_year(shape, ++seed, year == 1);
        SEDACC(d.y, d.inc, fast.prox, fast.ngpair, fast.nypair, d.maxl, d.maxg, fast.ntm, weight);
        reference_sedacc(d, reference, weight);
      }
      expect_identical(fast, reference,
                       std::to_string(shape.maxl) + "x" + std::to_string(shape.maxg) + weight);
    }
  }
}

TEST(ProximityAccumulationRandom, CoraccMatchesOnePairAtATime) {
  unsigned seed = 1000;
  for (const Shape& shape : kShapes) {
    for (const char weight : {'W', 'U'}) {
      for (const char cortyp : {'Z', 'P'}) {
        Sums fast(shape.maxl), reference(shape.maxl);
        for (int year = 0; year < 2; ++year) {
          const Year d = make_year(shape, ++seed, false);
          CORACC(d.y, d.inc, fast.prox, fast.ngpair, fast.nypair, d.maxl, d.maxg, fast.ntm, weight,
                 cortyp);
          reference_coracc(d, reference, weight, cortyp);
        }
        expect_identical(
            fast, reference,
            std::to_string(shape.maxl) + "x" + std::to_string(shape.maxg) + weight + cortyp);
      }
    }
  }
}

}  // namespace
}  // namespace locprox
