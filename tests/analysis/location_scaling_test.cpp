#include "analysis/location_scaling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace locprox {
namespace {

using I = std::vector<std::int32_t>;
using F = std::vector<float>;

// Three locations by four entries, column-major: location 1 has 2, 4, 6 at
// entries 1, 2, 4; location 2 has 2 and 4 at entries 1 and 3 (entry 2 is
// unobserved there and holds a marker that must neither count nor change);
// location 3 has no observation.
struct Year {
  F ydata{2.0f, 2.0f, 0.0f,  //
          4.0f, 9.0f, 0.0f,  //
          0.0f, 4.0f, 0.0f,  //
          6.0f, 0.0f, 0.0f};
  I incid{1, 1, 0,  //
          1, 0, 0,  //
          0, 1, 0,  //
          1, 0, 0};
};

TEST(LocationScaling, CentresOnTheMeanOfObservedCellsOnly) {
  Year y;
  const I incid = y.incid;
  centre_locations(y.ydata, y.incid, 3, 4);
  EXPECT_EQ(y.ydata, (F{-2.0f, -1.0f, 0.0f,  //
                        0.0f, 9.0f, 0.0f,    //
                        0.0f, 1.0f, 0.0f,    //
                        2.0f, 0.0f, 0.0f}));
  EXPECT_EQ(y.incid, incid);
}

TEST(LocationScaling, StandardisesCentredValuesBySampleStandardDeviation) {
  Year y;
  centre_locations(y.ydata, y.incid, 3, 4);
  standardise_locations(y.ydata, y.incid, 3, 4);
  // Location 1: Q = 8, N - 1 = 2, SD = 2. Location 2: Q = 2, SD = sqrt(2).
  const float r = static_cast<float>(1.0 / std::sqrt(2.0));
  EXPECT_EQ(y.ydata, (F{-1.0f, -r, 0.0f,   //
                        0.0f, 9.0f, 0.0f,  //
                        0.0f, r, 0.0f,     //
                        1.0f, 0.0f, 0.0f}));
}

TEST(LocationScaling, OneObservationOrEqualValuesEndAtZeroAndStayFinite) {
  // Location 1 has a single observation, location 2 three equal ones.
  F ydata{5.0f, 3.5f, 0.0f, 3.5f, 0.0f, 3.5f};
  const I incid{1, 1, 0, 1, 0, 1};
  centre_locations(ydata, incid, 2, 3);
  EXPECT_EQ(ydata, F(6, 0.0f));
  standardise_locations(ydata, incid, 2, 3);
  EXPECT_EQ(ydata, F(6, 0.0f));
  for (float v : ydata) EXPECT_FALSE(std::signbit(v));
}

TEST(LocationScaling, SumsInDoubleAndRoundsOnlyWhenStoring) {
  // In single precision 2^24 + 1 + 1 would stay 2^24; in double the mean is
  // 16777218 / 3 = 5592406 exactly.
  F ydata{16777216.0f, 1.0f, 1.0f};
  centre_locations(ydata, I{1, 1, 1}, 1, 3);
  EXPECT_EQ(ydata, (F{11184810.0f, -5592405.0f, -5592405.0f}));
}

// Each location on its own, entry after entry, exactly as defined.
void reference_loccen(F& y, const I& inc, int maxl, int maxg) {
  for (int i = 0; i < maxl; ++i) {
    double s = 0.0, n = 0.0;
    for (int g = 0; g < maxg; ++g) {
      s = s + inc[i + g * maxl] * static_cast<double>(y[i + g * maxl]);
      n = n + inc[i + g * maxl];
    }
    if (n < 1.0) continue;
    const double m = s / n;
    for (int g = 0; g < maxg; ++g) {
      if (inc[i + g * maxl] > 0) y[i + g * maxl] = static_cast<float>(y[i + g * maxl] - m);
    }
  }
}

void reference_locstd(F& y, const I& inc, int maxl, int maxg) {
  for (int i = 0; i < maxl; ++i) {
    double q = 0.0;
    int n = 0;
    for (int g = 0; g < maxg; ++g) {
      const double v = y[i + g * maxl];
      q = q + inc[i + g * maxl] * (v * v);
      n = n + inc[i + g * maxl];
    }
    if (n < 2) continue;
    const double sd = std::sqrt(q / (n - 1));
    if (sd == 0.0) continue;
    for (int g = 0; g < maxg; ++g) {
      if (inc[i + g * maxl] > 0) y[i + g * maxl] = static_cast<float>(y[i + g * maxl] / sd);
    }
  }
}

TEST(LocationScaling, ManyLocationsMatchTheOneLocationAtATimeDefinition) {
  // More locations than one block of accumulators, a count that is no
  // multiple of a vector width, values of widely different magnitudes.
  for (const int maxl : {1, 7, 300, 613}) {
    const int maxg = 37;
    std::mt19937 rng(static_cast<unsigned>(maxl));
    std::bernoulli_distribution observed(0.5);
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-20, 20);
    F y(static_cast<std::size_t>(maxl) * maxg, 0.0f);
    I inc(y.size(), 0);
    for (std::size_t c = 0; c < y.size(); ++c) {
      if (observed(rng)) {
        inc[c] = 1;
        y[c] = std::ldexp(mantissa(rng), exponent(rng));
      }
    }
    F expected = y;
    reference_loccen(expected, inc, maxl, maxg);
    centre_locations(y, inc, maxl, maxg);
    ASSERT_EQ(std::memcmp(y.data(), expected.data(), y.size() * sizeof(float)), 0) << maxl;
    reference_locstd(expected, inc, maxl, maxg);
    standardise_locations(y, inc, maxl, maxg);
    ASSERT_EQ(std::memcmp(y.data(), expected.data(), y.size() * sizeof(float)), 0) << maxl;
  }
}

}  // namespace
}  // namespace locprox
