#include "analysis/natural_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

namespace locprox {
namespace {

std::int64_t ulps_apart(double a, double b) {
  std::int64_t ia, ib;
  std::memcpy(&ia, &a, sizeof ia);
  std::memcpy(&ib, &b, sizeof ib);
  return ia > ib ? ia - ib : ib - ia;
}

TEST(NaturalLog, FixedBitsOfKnownValues) {
  // The exact bits are part of the program's results: every machine must
  // give these. ln 3 here is 1 ulp below the correctly rounded value.
  struct Case {
    double x;
    double expected;
  };
  const Case cases[] = {
      {1.0, 0.0},
      {2.0, 0.69314718055994529},
      {0.5, -0.69314718055994529},
      {3.0, 1.0986122886681096},
      {1.5 / 0.5, 1.0986122886681096},  // r = 0.5 under Fisher z
      {1.9 / 0.1, 2.9444389791664403},  // r = 0.9
      {0.3, -1.2039728043259361},
      {123456.789, 11.723646487185881},
      {1e-310, -713.80137882815416},  // subnormal argument
  };
  for (const Case& c : cases) EXPECT_EQ(natural_log(c.x), c.expected) << c.x;
  EXPECT_EQ(natural_log(0.0), -INFINITY);
  EXPECT_TRUE(std::isnan(natural_log(-1.0)));
}

TEST(NaturalLog, WithinOneUlpOfTheLibraryOverTheFisherRange) {
  // The arguments of the Fisher transform: (1 + r) / (1 - r) for r in (-1, 1).
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> correlation(-1.0, 1.0);
  for (int i = 0; i < 200000; ++i) {
    const double r = correlation(random);
    const double x = (r + 1.0) / (1.0 - r);
    ASSERT_LE(ulps_apart(natural_log(x), std::log(x)), 1) << x;
  }
}

}  // namespace
}  // namespace locprox
