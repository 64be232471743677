#include "format/saturating.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace locprox {
namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin64 = std::numeric_limits<std::int64_t>::min();

TEST(Saturating, AdditionStopsAtTheLimits) {
  struct Case {
    std::int32_t a, b, sum;
  } cases[] = {
      {2, 3, 5},
      {kMax32 - 1, 1, kMax32},  // reaches the limit exactly
      {kMax32, 1, kMax32},      // a running count at the limit stays there
      {kMax32 - 5, 9, kMax32},
      {kMin32, -1, kMin32},
      {kMin32, kMax32, -1},  // opposite signs never overflow
  };
  for (const Case& c : cases) EXPECT_EQ(saturating_add(c.a, c.b), c.sum) << c.a << " + " << c.b;
  EXPECT_EQ(saturating_add(kMax64, std::int64_t{1}), kMax64);
  EXPECT_EQ(saturating_add(kMin64, std::int64_t{-1}), kMin64);
}

TEST(Saturating, MultiplicationStopsAtTheLimits) {
  EXPECT_EQ(saturating_multiply(std::int64_t{1} << 40, std::int64_t{1} << 20),
            std::int64_t{1} << 60);
  EXPECT_EQ(saturating_multiply(std::int64_t{1} << 40, std::int64_t{1} << 30), kMax64);
  EXPECT_EQ(saturating_multiply(-(std::int64_t{1} << 40), std::int64_t{1} << 30), kMin64);
  EXPECT_EQ(saturating_multiply(-(std::int64_t{1} << 40), -(std::int64_t{1} << 30)), kMax64);
}

}  // namespace
}  // namespace locprox
