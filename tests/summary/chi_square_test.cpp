#include "summary/chi_square.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "support/case_names.h"

namespace locprox::summary {
namespace {

struct TailCase {
  const char* name;
  double q;
  std::int64_t df;
  double p;  // the upper tail, to 17 digits from a 40-digit evaluation
};

void PrintTo(const TailCase& c, std::ostream* os) {
  *os << c.name;
}

class ChiSquareTail : public ::testing::TestWithParam<TailCase> {};

TEST_P(ChiSquareTail, MatchesKnownValuesToTwelveDigits) {
  const TailCase& c = GetParam();
  EXPECT_NEAR(chi_square_upper_tail(c.q, c.df), c.p, 1e-12 * c.p);
}

INSTANTIATE_TEST_SUITE_P(
    KnownValues, ChiSquareTail,
    ::testing::Values(TailCase{"Q21_8_on6", 21.8, 6, 0.0013161643750691328},
                      TailCase{"critical_1df", 3.84, 1, 0.050043521248705103},
                      TailCase{"critical_10df", 18.307, 10, 0.05000058909139812},
                      TailCase{"small_q_7df", 0.5, 7, 0.99944648139042497},
                      TailCase{"tiny_q_3df", 1e-6, 3, 0.99999999973403856},
                      TailCase{"tiny_p_7df", 300, 7, 6.0496418565563195e-61},
                      TailCase{"large_df_centre", 1000, 1000, 0.49405285382923964},
                      TailCase{"large_df_lower", 900, 1000, 0.98928276190871026},
                      TailCase{"large_df_upper", 1200, 1000, 1.2255942330622904e-5}),
    ::locprox::testing::NameOfCase());

// One and two degrees of freedom have closed forms: erfc(sqrt(q / 2)) and
// exp(-q / 2); both sides of the series / continued fraction switch.
TEST(ChiSquareTail, AgreesWithTheClosedFormsForOneAndTwoDegrees) {
  for (double q : {1e-8, 0.01, 0.5, 1.0, 2.9, 3.1, 10.0, 50.0, 200.0, 1400.0}) {
    SCOPED_TRACE(q);
    const double one = std::erfc(std::sqrt(q / 2.0));
    const double two = std::exp(-q / 2.0);
    EXPECT_NEAR(chi_square_upper_tail(q, 1), one, 1e-13 * one);
    EXPECT_NEAR(chi_square_upper_tail(q, 2), two, 1e-13 * two);
  }
}

TEST(ChiSquareTail, IsOneAtZeroAndZeroBeyondTheDoubles) {
  EXPECT_EQ(chi_square_upper_tail(0.0, 4), 1.0);
  EXPECT_EQ(chi_square_upper_tail(-1.0, 4), 1.0);
  EXPECT_EQ(chi_square_upper_tail(2000.0, 40), 0.0);  // 4.3e-395 in truth
  EXPECT_EQ(chi_square_upper_tail(INFINITY, 3), 0.0);
}

}  // namespace
}  // namespace locprox::summary
