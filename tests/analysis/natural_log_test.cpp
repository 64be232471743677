// natural_log against MPFR's correctly rounded logarithm (mpfr_log, 53 bits,
// to nearest): special arguments, random bit patterns of every positive finite
// double, arguments near 1, the Fisher transform's arguments, and each of the
// two phases on its own.
//
// The number of random arguments is scaled by the environment variable
// LOCPROX_NATURAL_LOG_SCALE (default 1: about 2 million comparisons; 0.05 in
// a sanitizer build). LOCPROX_NATURAL_LOG_SCALE=60 makes the long run of
// about 100 million: 99.4 million comparisons, none different, the largest
// first-phase error 2^-67.75, 343221 arguments decided by the second phase
// (9 minutes in Release).
#include "analysis/natural_log.h"

#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "support/sample_count.h"

namespace locprox {
namespace {

std::uint64_t samples(std::uint64_t everyday) {
  return testing::scaled_samples(everyday, "LOCPROX_NATURAL_LOG_SCALE");
}

std::int64_t ulps_apart(double a, double b) {
  std::int64_t ia, ib;
  std::memcpy(&ia, &a, sizeof ia);
  std::memcpy(&ib, &b, sizeof ib);
  return ia > ib ? ia - ib : ib - ia;
}

// The correctly rounded logarithm, and ln x to 256 bits.
class Mpfr {
 public:
  Mpfr() {
    mpfr_init2(rounded_, 53);
    mpfr_init2(precise_, 256);
    mpfr_init2(difference_, 256);
  }
  ~Mpfr() {
    mpfr_clear(rounded_);
    mpfr_clear(precise_);
    mpfr_clear(difference_);
  }
  Mpfr(const Mpfr&) = delete;
  Mpfr& operator=(const Mpfr&) = delete;

  double log(double x) {
    mpfr_set_d(rounded_, x, MPFR_RNDN);
    mpfr_log(rounded_, rounded_, MPFR_RNDN);
    return mpfr_get_d(rounded_, MPFR_RNDN);
  }

  // |hi + lo - ln x| / |ln x| for x != 1.
  double relative_error(double x, double hi, double lo) {
    mpfr_set_d(precise_, x, MPFR_RNDN);
    mpfr_log(precise_, precise_, MPFR_RNDN);
    mpfr_set_d(difference_, hi, MPFR_RNDN);
    mpfr_sub(difference_, difference_, precise_, MPFR_RNDN);
    mpfr_add_d(difference_, difference_, lo, MPFR_RNDN);
    mpfr_div(difference_, difference_, precise_, MPFR_RNDN);
    return std::fabs(mpfr_get_d(difference_, MPFR_RNDN));
  }

 private:
  mpfr_t rounded_, precise_, difference_;
};

std::string hex(double x) {
  char text[40];
  std::snprintf(text, sizeof text, "%a", x);
  return text;
}

// Compares natural_log with MPFR on every argument the generator gives,
// reports the first few differences and counts them all.
template <typename Generator>
void expect_correctly_rounded(std::uint64_t n, Generator next) {
  Mpfr mpfr;
  std::uint64_t wrong = 0;
  for (std::uint64_t k = 0; k < n; ++k) {
    const double x = next();
    const double got = natural_log(x);
    const double want = mpfr.log(x);
    if (std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(want)) {
      if (++wrong <= 10) {
        ADD_FAILURE() << "natural_log(" << hex(x) << ") = " << hex(got) << ", MPFR " << hex(want);
      }
    }
  }
  EXPECT_EQ(wrong, 0u) << "of " << n;
  std::printf("%llu arguments compared with MPFR\n", static_cast<unsigned long long>(n));
}

TEST(NaturalLog, FixedBitsOfKnownValues) {
  // The exact bits are part of the program's results: every machine must
  // give these.
  struct Case {
    double x;
    double expected;
  };
  const Case cases[] = {
      {1.0, 0.0},
      {2.0, 0.69314718055994529},
      {0.5, -0.69314718055994529},
      {3.0, 1.0986122886681098},        // 0x1.193ea7aad030bp+0, ln 3 rounded up
      {1.5 / 0.5, 1.0986122886681098},  // r = 0.5 under Fisher z
      {1.9 / 0.1, 2.9444389791664403},  // r = 0.9
      {0.3, -1.2039728043259361},
      {123456.789, 11.723646487185881},
      {1e-310, -713.80137882815416},  // subnormal argument
  };
  for (const Case& c : cases) EXPECT_EQ(natural_log(c.x), c.expected) << c.x;
}

TEST(NaturalLog, ArgumentsOutsideTheDomain) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(natural_log(0.0), -inf);
  EXPECT_EQ(natural_log(-0.0), -inf);
  EXPECT_EQ(natural_log(inf), inf);
  for (const double x :
       {-1.0, -DBL_TRUE_MIN, -DBL_MIN, -DBL_MAX, -inf, std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_TRUE(std::isnan(natural_log(x))) << x;
  }
  // ln 1 is +0, not -0.
  EXPECT_FALSE(std::signbit(natural_log(1.0)));
}

TEST(NaturalLog, SpecialArgumentsAgreeWithMpfr) {
  const double cases[] = {
      1.0,
      2.0,
      0.5,
      M_E,                       // the double nearest e: ln is just below 1
      std::nextafter(M_E, 3.0),  // just above e: ln is just above 1
      1.0 / M_E,
      M_SQRT2,  // the reduction switches to 2c above sqrt(2)
      std::nextafter(M_SQRT2, 2.0),
      DBL_MIN,
      DBL_TRUE_MIN,
      DBL_MAX,
      std::nextafter(DBL_MIN, 0.0),  // the largest subnormal
      0x1p-1073,
      0x1p-1024,
      0x1p-1022,
      0x1p-1,
      0x1p1,
      0x1p10,
      0x1p100,
      0x1p1023,
      std::nextafter(1.0, 2.0),  // 1 + 2^-52: ln = 2^-52 - 2^-105 + ...
      std::nextafter(1.0, 0.0),  // 1 - 2^-53
      1.0 + 0x1p-30,
      1.0 - 0x1p-30,
      1.0 + 0x1p-9,  // last argument of the table's first interval
      1.0 - 0x1p-10,
      1.0 + 0x1p-8,
      1.0 - 0x1p-8,
      0x1.62a88613629b6p+678,  // ln x within 2^-117 |ln x| of a double (hardest
                               // case for rounding towards zero)
      10.0,
      0.1,
      1e300,
      1e-300,
  };
  Mpfr mpfr;
  for (const double x : cases) EXPECT_EQ(natural_log(x), mpfr.log(x)) << hex(x);
  EXPECT_EQ(natural_log(1.0), 0.0);
  EXPECT_EQ(natural_log(2.0), 0x1.62e42fefa39efp-1);
  EXPECT_EQ(natural_log(DBL_TRUE_MIN), -0x1.74385446d71c3p+9);
  EXPECT_EQ(natural_log(DBL_MAX), 0x1.62e42fefa39efp+9);
}

TEST(NaturalLog, RandomBitPatternsOfPositiveDoubles) {
  // Every positive finite double is equally likely: each exponent, subnormals
  // among them.
  std::mt19937_64 random(1);
  std::uniform_int_distribution<std::uint64_t> bits(1, 0x7fefffffffffffffu);
  expect_correctly_rounded(samples(900000), [&] { return std::bit_cast<double>(bits(random)); });
}

TEST(NaturalLog, RandomSubnormals) {
  std::mt19937_64 random(2);
  std::uniform_int_distribution<std::uint64_t> bits(1, 0x000fffffffffffffu);
  expect_correctly_rounded(samples(100000), [&] { return std::bit_cast<double>(bits(random)); });
}

TEST(NaturalLog, RandomArgumentsNearOne) {
  // 1 + u and 1 - u with u from 2^-53 to 2^-4, each binade equally likely:
  // where ln x is smallest and the reduction leaves the series alone.
  std::mt19937_64 random(3);
  std::uniform_int_distribution<int> binade(4, 53);
  std::uniform_real_distribution<double> fraction(1.0, 2.0);
  std::bernoulli_distribution below(0.5);
  expect_correctly_rounded(samples(200000), [&] {
    const double u = std::ldexp(fraction(random), -binade(random));
    return below(random) ? 1.0 - u : 1.0 + u;
  });
}

TEST(NaturalLog, EveryArgumentNextToOne) {
  // The 20000 doubles on each side of 1.
  double above = 1.0, below = 1.0;
  bool up = true;
  expect_correctly_rounded(40000, [&] {
    up = !up;
    if (up) return above = std::nextafter(above, 2.0);
    return below = std::nextafter(below, 0.0);
  });
}

TEST(NaturalLog, RandomFisherArguments) {
  // (1 + r) / (1 - r) for r in (-1, 1), as the Fisher transform forms them.
  std::mt19937_64 random(4);
  std::uniform_real_distribution<double> correlation(-1.0, 1.0);
  expect_correctly_rounded(samples(200000), [&] {
    const double r = correlation(random);
    return (r + 1.0) / (1.0 - r);
  });
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

// Random arguments for the phase tests: a third anywhere, a third near 1, and
// a third in [1 - 2^-7, 1 + 2^-7), where the first phase's bound is tightest
// (small ln x with a table entry other than 1).
class PhaseArguments {
 public:
  explicit PhaseArguments(std::uint64_t seed) : random_(seed) {}
  double operator()() {
    switch (turn_++ % 3) {
      case 0:
        return std::bit_cast<double>(
            std::uniform_int_distribution<std::uint64_t>(1, 0x7fefffffffffffffu)(random_));
      case 1: {
        const double u = std::ldexp(std::uniform_real_distribution<double>(1.0, 2.0)(random_),
                                    -std::uniform_int_distribution<int>(9, 53)(random_));
        return turn_ % 2 ? 1.0 + u : 1.0 - u;
      }
      default:
        return std::uniform_real_distribution<double>(1.0 - 0x1p-7, 1.0 + 0x1p-7)(random_);
    }
  }

 private:
  std::mt19937_64 random_;
  unsigned turn_ = 0;
};

TEST(NaturalLog, FirstPhaseWithinItsErrorBound) {
  // The rounding test trusts |hi + lo - ln x| <= 2^-66 |ln x| (the proof
  // gives 2^-67.1; the largest error seen is about 2^-67.8).
  PhaseArguments next(5);
  Mpfr mpfr;
  double worst = 0.0;
  double worst_x = 1.0;
  const std::uint64_t n = samples(100000);
  for (std::uint64_t k = 0; k < n; ++k) {
    const double x = next();
    if (x == 1.0) continue;
    const natural_log_phases::DoubleDouble e = natural_log_phases::fast_estimate(x);
    const double error = mpfr.relative_error(x, e.hi, e.lo);
    if (error > worst) {
      worst = error;
      worst_x = x;
    }
  }
  EXPECT_LE(worst, 0x1p-66) << hex(worst_x);
  std::printf("largest relative error of the first phase: 2^%.2f at %s\n", std::log2(worst),
              hex(worst_x).c_str());
}

TEST(NaturalLog, SecondPhaseAloneIsCorrectlyRoundedAndDecided) {
  PhaseArguments next(6);
  Mpfr mpfr;
  std::uint64_t wrong = 0, undecided = 0;
  const std::uint64_t n = samples(150000);
  for (std::uint64_t k = 0; k < n; ++k) {
    const double x = next();
    const natural_log_phases::Rounded got = natural_log_phases::accurate(x);
    if (!got.decided) ++undecided;
    if (std::bit_cast<std::uint64_t>(got.value) != std::bit_cast<std::uint64_t>(mpfr.log(x)) &&
        ++wrong <= 10) {
      ADD_FAILURE() << "accurate(" << hex(x) << ") = " << hex(got.value) << ", MPFR "
                    << hex(mpfr.log(x));
    }
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_EQ(undecided, 0u);
}

TEST(NaturalLog, ArgumentsTheFirstPhaseCannotDecide) {
  // Random arguments whose first-phase interval (hi + lo +- 2^-66 |hi|, as
  // natural_log forms it) holds a rounding boundary: natural_log must take the
  // second phase for them and still agree with MPFR. About 1 in 5500 random
  // doubles is one; arguments 1 + u with few significant bits in u (a third
  // of these) are one far more often, about 1 in 60.
  PhaseArguments next(8);
  Mpfr mpfr;
  std::uint64_t found = 0, wrong = 0;
  const std::uint64_t n = samples(1000000);
  for (std::uint64_t k = 0; k < n; ++k) {
    const double x = next();
    const natural_log_phases::DoubleDouble e = natural_log_phases::fast_estimate(x);
    const double err = 0x1p-66 * std::fabs(e.hi);
    if (e.hi + (e.lo - err) == e.hi + (e.lo + err)) continue;
    ++found;
    const natural_log_phases::Rounded accurate = natural_log_phases::accurate(x);
    EXPECT_TRUE(accurate.decided) << hex(x);
    if (natural_log(x) != mpfr.log(x) && ++wrong <= 10) {
      ADD_FAILURE() << "natural_log(" << hex(x) << ") = " << hex(natural_log(x)) << ", MPFR "
                    << hex(mpfr.log(x));
    }
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_GE(found, n / 20000) << "of " << n;
  std::printf("%llu of %llu arguments went to the second phase\n",
              static_cast<unsigned long long>(found), static_cast<unsigned long long>(n));
}

}  // namespace
}  // namespace locprox
