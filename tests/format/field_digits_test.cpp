// The I and E fields produce their digits on short paths (a digit-pair table;
// the shortest round-trip decimal rounded at the wanted digit). Random values
// of every magnitude, and the halfway cases, are checked against the C
// library's correctly rounded conversions.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "format/fields.h"

namespace locprox {
namespace {

std::string right_aligned_or_asterisks(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width)
    return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::string expected_integer(std::int64_t value, int width) {
  char text[32];
  std::snprintf(text, sizeof text, "%" PRId64, value);
  return right_aligned_or_asterisks(text, width);
}

// Ew.d from printf's %.*e, which rounds the exact binary value correctly.
std::string expected_exponent(double value, int width, int decimals) {
  std::string text = std::signbit(value) ? "-0." : "0.";
  int exponent = 0;
  if (value == 0.0) {
    text += std::string(static_cast<std::size_t>(decimals), '0');
  } else {
    char printed[128];
    std::snprintf(printed, sizeof printed, "%.*e", decimals - 1, std::fabs(value));
    const char* e = std::strchr(printed, 'e');
    text += printed[0];
    for (const char* d = printed + 2; d < e; ++d) text += *d;
    exponent = std::atoi(e + 1) + 1;
  }
  const int magnitude = std::abs(exponent);
  char tail[16];
  if (magnitude < 100) {
    std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', magnitude);
  } else {
    std::snprintf(tail, sizeof tail, "%c%03d", exponent < 0 ? '-' : '+', magnitude);
  }
  return right_aligned_or_asterisks(text + tail, width);
}

std::string integer_field(std::int64_t value, int width) {
  char field[64];
  return std::string(field, format_integer(field, value, width));
}

std::string exponent_field(double value, int width, int decimals) {
  char field[128];
  return std::string(field, format_exponent(field, value, width, decimals));
}

TEST(FieldDigits, IntegersOfEveryLengthInEveryWidth) {
  std::mt19937_64 random(7);
  std::int64_t values[] = {0,
                           -1,
                           9,
                           10,
                           -10,
                           99,
                           100,
                           999999,
                           -99999,
                           1000000,
                           std::numeric_limits<std::int64_t>::max(),
                           std::numeric_limits<std::int64_t>::min()};
  for (std::int64_t v : values) {
    for (int width = 1; width <= 22; ++width)
      EXPECT_EQ(integer_field(v, width), expected_integer(v, width));
  }
  for (int n = 0; n < 200000; ++n) {
    const int digits = 1 + static_cast<int>(random() % 19);
    std::int64_t v = static_cast<std::int64_t>(random() % 1000000000000000000ULL);
    for (int k = digits; k < 19; ++k) v /= 10;
    if (random() % 2) v = -v;
    const int width = 1 + static_cast<int>(random() % 21);
    ASSERT_EQ(integer_field(v, width), expected_integer(v, width)) << v << " in " << width;
  }
}

TEST(FieldDigits, StretchesOfIntegerFieldsInEveryWidth) {
  std::mt19937_64 random(5);
  std::int32_t values[300];
  for (int width = 1; width <= 12; ++width) {
    for (int n = 0; n < 200; ++n) {
      for (std::int32_t& v : values) {
        // Mostly values of every length up to the width, some too long,
        // some negative, zero and the extremes.
        const int digits = 1 + static_cast<int>(random() % 11);
        v = static_cast<std::int32_t>(random() % 2147483648ULL);
        for (int k = digits; k < 10; ++k) v /= 10;
        if (random() % 8 == 0) v = -v;
        if (random() % 50 == 0) v = 0;
        if (random() % 100 == 0) v = std::numeric_limits<std::int32_t>::min();
      }
      const std::size_t count = random() % 300;
      char text[300 * 12];
      const char* end = format_integers(text, values, count, width);
      std::string expected;
      for (std::size_t i = 0; i < count; ++i) expected += expected_integer(values[i], width);
      ASSERT_EQ(std::string(static_cast<const char*>(text), end), expected) << "width " << width;
    }
  }
}

TEST(FieldDigits, ExponentFieldsRoundLikeThePrintedExactValue) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  auto check = [](double v, int decimals) {
    const int width = decimals + 8;
    ASSERT_EQ(exponent_field(v, width, decimals), expected_exponent(v, width, decimals)) << v;
    ASSERT_EQ(exponent_field(v, 16, 8), expected_exponent(v, 16, 8)) << v;
  };
  // Halfway between two eight-digit decimals and exactly representable:
  // ties, which go to even.
  for (double v : {100000005.0, 100000015.0, 999999995.0, 123456785.0, 1.00000005e10, 0.5,
                   -100000025.0, 9999999.5, 99999999.5, 0.125, 1e100, 1e-100, 1e90, 1e-90,
                   std::numeric_limits<double>::max(), std::numeric_limits<double>::min(),
                   std::numeric_limits<double>::denorm_min(), 0.0, -0.0}) {
    check(v, 8);
  }
  for (int n = 0; n < 300000; ++n) {
    double v = 0.0;
    switch (n % 6) {
      case 0: {  // any finite double
        std::uint64_t bits = random();
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        break;
      }
      case 1:  // every decade the program meets
        v = unit(random) * std::pow(10.0, static_cast<int>(random() % 200) - 100);
        break;
      case 2:  // integers of nine and ten digits, many of them halfway
        v = static_cast<double>(100000000 + random() % 9900000000ULL);
        break;
      case 3:  // sums of products, like the proximity sums
        for (int k = 0; k < 20; ++k) v = v + unit(random) * unit(random) * 100.0;
        break;
      case 4: {  // a few units in the last place from a power of ten
        v = std::pow(10.0, static_cast<int>(random() % 60) - 20);
        for (int step = static_cast<int>(random() % 7) - 3; step != 0; step += step > 0 ? -1 : 1) {
          v = std::nextafter(v, step > 0 ? 2 * v : 0.0);
        }
        break;
      }
      case 5: {  // next to a halfway point of eight digits, in every decade
        const double halfway = (static_cast<double>(10000000 + random() % 90000000) + 0.5) *
                               std::pow(10.0, static_cast<int>(random() % 50) - 25);
        v = random() % 3 == 0 ? halfway : std::nextafter(halfway, random() % 2 ? 0.0 : 1e300);
        break;
      }
    }
    if (random() % 2) v = -v;
    check(v, 1 + static_cast<int>(random() % 12));
  }
}

}  // namespace
}  // namespace locprox
