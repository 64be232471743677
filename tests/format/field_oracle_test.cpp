// The E and I fields against the C++ library's own conversions: std::to_chars
// with a precision rounds the exact binary value correctly (ties to even), and
// its text, moved into the 0.ddd...E+xx shape, is what an Ew.d field must
// hold; std::to_chars of an integer gives an Iw field's digits. The values
// come from generators aimed at the ways a fast conversion goes wrong: any
// bit pattern, every binary exponent around the usual magnitudes, the sums
// the proximity file holds, values a few units in the last place from a
// decimal boundary or from a point halfway between two d-digit decimals,
// and those halfway points themselves where a double holds them exactly.
//
// The number of random values is scaled by the environment variable
// LOCPROX_FIELD_ORACLE_SCALE (default 1: about 3 million values, each
// written twice; 0.05 in a sanitizer build).
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "format/fields.h"
#include "support/sample_count.h"

namespace locprox {
namespace {

std::uint64_t samples(std::uint64_t everyday) {
  return testing::scaled_samples(everyday, "LOCPROX_FIELD_ORACLE_SCALE");
}

std::string fitted(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width)
    return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

// Ew.d from std::to_chars(scientific, d - 1): d.ddde+xx becomes 0.dddd and
// the exponent grows by one; a three-digit exponent drops the E.
std::string oracle_exponent(double value, int width, int decimals) {
  if (!std::isfinite(value)) return std::string(static_cast<std::size_t>(width), '*');
  std::string text = std::signbit(value) ? "-0." : "0.";
  int exponent = 0;
  if (value == 0.0) {
    text.append(static_cast<std::size_t>(decimals), '0');
  } else {
    char printed[64];
    const auto result = std::to_chars(printed, printed + sizeof printed, std::fabs(value),
                                      std::chars_format::scientific, decimals - 1);
    const char* e = std::find(printed, result.ptr, 'e');
    text += printed[0];
    if (decimals > 1) text.append(static_cast<const char*>(printed + 2), e);
    int magnitude = 0;
    std::from_chars(e + 2, result.ptr, magnitude);
    exponent = (e[1] == '-' ? -magnitude : magnitude) + 1;
  }
  const int magnitude = std::abs(exponent);
  if (magnitude < 100) text += 'E';
  text += exponent < 0 ? '-' : '+';
  if (magnitude >= 100) text += static_cast<char>('0' + magnitude / 100);
  text += static_cast<char>('0' + magnitude / 10 % 10);
  text += static_cast<char>('0' + magnitude % 10);
  return fitted(text, width);
}

std::string exponent_field(double value, int width, int decimals) {
  char field[64];
  return std::string(field, format_exponent(field, value, width, decimals));
}

// The double nearest to a decimal text (std::from_chars rounds correctly),
// moved `steps` units in the last place.
double near(const std::string& decimal, int steps) {
  double v = 0.0;
  std::from_chars(decimal.data(), decimal.data() + decimal.size(), v);
  for (; steps > 0; --steps) v = std::nextafter(v, std::numeric_limits<double>::infinity());
  for (; steps < 0; ++steps) v = std::nextafter(v, 0.0);
  return v;
}

std::string random_digits(std::mt19937_64& random, int count) {
  std::string digits(1, static_cast<char>('1' + random() % 9));
  while (static_cast<int>(digits.size()) < count) digits += static_cast<char>('0' + random() % 10);
  return digits;
}

// A value and the number of digits it is aimed at (0: any).
struct Sample {
  double value;
  int decimals;
};

struct Generator {
  const char* name;
  std::function<Sample(std::mt19937_64&)> next;
};

const Generator kGenerators[] = {
    {"any finite bit pattern",
     [](std::mt19937_64& random) {
       double v = std::numeric_limits<double>::quiet_NaN();
       while (!std::isfinite(v)) {
         const std::uint64_t bits = random();
         std::memcpy(&v, &bits, sizeof v);
       }
       return Sample{v, 0};
     }},
    {"every binary exponent from 2^-160 to 2^190",
     [](std::mt19937_64& random) {
       const double significand = 1.0 + static_cast<double>(random() >> 12) * 0x1p-52;
       return Sample{std::ldexp(significand, static_cast<int>(random() % 351) - 160), 0};
     }},
    {"sums of products from 1e-3 to 1e7, like the proximity sums",
     [](std::mt19937_64& random) {
       std::uniform_real_distribution<double> unit(0.0, 1.0);
       double v = 0.0;
       const double scale = std::pow(10.0, static_cast<int>(random() % 11) - 4);
       for (int k = 1 + static_cast<int>(random() % 30); k > 0; --k) {
         v = v + unit(random) * unit(random) * scale;
       }
       return Sample{v, 0};
     }},
    {"a few units in the last place from k * 10^e, leading digits 1 to 9",
     [](std::mt19937_64& random) {
       const std::string digits = random_digits(random, 1 + static_cast<int>(random() % 9));
       const int e = static_cast<int>(random() % 640) - 330;
       return Sample{near(digits + "e" + std::to_string(e), static_cast<int>(random() % 9) - 4), 0};
     }},
    {"next to a point halfway between two d-digit decimals, 9...95 among them",
     [](std::mt19937_64& random) {
       const int decimals = 1 + static_cast<int>(random() % 9);
       std::string digits = random() % 6 == 0 ? std::string(static_cast<std::size_t>(decimals), '9')
                                              : random_digits(random, decimals);
       digits += '5';
       const int e = static_cast<int>(random() % 640) - 330;
       return Sample{near(digits + "e" + std::to_string(e), static_cast<int>(random() % 7) - 3),
                     decimals};
     }},
    {"exactly halfway between two d-digit decimals",
     [](std::mt19937_64& random) {
       // j odd and 5^t odd: j * 2^-t is j * 5^t * 10^-t, whose last
       // significant digit is a 5 (t >= 1) or, as an integer (2N + 1) *
       // 5^e * 2^(e-1), the 5 followed by e - 1 zeros. Either way it has
       // d + 1 significant digits and lies halfway at d.
       const int decimals = 1 + static_cast<int>(random() % 9);
       double low = 1.0;
       for (int k = 0; k < decimals; ++k) low *= 10.0;  // 10^d: d + 1 digits from here
       for (;;) {
         if (random() % 2 == 0) {
           const int t = 1 + static_cast<int>(random() % 14);
           const double five_t = std::pow(5.0, t);
           const double from = std::ceil(low / five_t);
           const double to = std::floor((10.0 * low - 1.0) / five_t);
           if (from > to) continue;
           auto j = static_cast<std::uint64_t>(from) +
                    random() % (static_cast<std::uint64_t>(to - from) + 1);
           if (j % 2 == 0) j = j + 1 <= static_cast<std::uint64_t>(to) ? j + 1 : j - 1;
           if (static_cast<double>(j) < from) continue;
           return Sample{std::ldexp(static_cast<double>(j), -t), decimals};
         }
         const int e = 1 + static_cast<int>(random() % 12);
         const std::uint64_t n = static_cast<std::uint64_t>(low / 10.0) +
                                 random() % static_cast<std::uint64_t>(low - low / 10.0);
         const double odd = static_cast<double>(2 * n + 1) * std::pow(5.0, e);
         if (odd >= 0x1p53) continue;
         return Sample{std::ldexp(odd, e - 1), decimals};
       }
     }},
};

TEST(FieldOracle, ExponentFieldsMatchTheLibrarysCorrectlyRoundedDigits) {
  std::mt19937_64 random(2024);
  const std::uint64_t count = samples(500000);
  for (const Generator& generator : kGenerators) {
    SCOPED_TRACE(generator.name);
    for (std::uint64_t n = 0; n < count; ++n) {
      Sample sample = generator.next(random);
      if (random() % 2) sample.value = -sample.value;
      const double v = sample.value;
      // The proximity file's E16.8, and d digits in a field from too narrow
      // to wide.
      const int decimals =
          sample.decimals != 0 ? sample.decimals : 1 + static_cast<int>(random() % 9);
      const int widths[] = {decimals + 5, decimals + 6, decimals + 7, decimals + 10};
      const int width = widths[random() % 4];
      ASSERT_EQ(exponent_field(v, 16, 8), oracle_exponent(v, 16, 8))
          << std::hexfloat << v << " = " << std::scientific << v;
      ASSERT_EQ(exponent_field(v, width, decimals), oracle_exponent(v, width, decimals))
          << std::hexfloat << v << " = " << std::scientific << v << ", E" << width << "."
          << decimals;
    }
  }
}

TEST(FieldOracle, ExponentFieldsOfSpecialValues) {
  const double values[] = {0.0,
                           -0.0,
                           std::numeric_limits<double>::denorm_min(),
                           -std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::min(),
                           std::nextafter(std::numeric_limits<double>::min(), 0.0),
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           std::numeric_limits<double>::quiet_NaN(),
                           0.5,      // ties at one digit: 0.5E+00
                           0.25,     // and at one of two: 0.2E+00
                           0.75,     // 0.8E+00
                           2.5e-31,  // near the ends of the short path's range
                           1e-31,
                           1e-30,
                           1e45,
                           1e46,
                           9.9999999e45,
                           99999999.5,   // halfway at eight digits, odd: up, 0.10000000E+09
                           999999995.0,  // likewise: 0.10000000E+10
                           100000005.0,  // halfway, even: down, 0.10000000E+09
                           1e23,         // the double nearest 10^23 lies below it
                           -1e-30};
  for (double v : values) {
    for (int decimals = 1; decimals <= 9; ++decimals) {
      for (int width : {decimals + 5, decimals + 6, decimals + 7, 16, 20}) {
        EXPECT_EQ(exponent_field(v, width, decimals), oracle_exponent(v, width, decimals))
            << std::hexfloat << v << " = " << std::scientific << v << ", E" << width << "."
            << decimals;
      }
    }
  }
}

TEST(FieldOracle, AStretchOfExponentFieldsIsTheFieldsOneAfterAnother) {
  std::mt19937_64 random(17);
  std::vector<double> values;
  for (const Generator& generator : kGenerators) {
    for (int n = 0; n < 400; ++n) values.push_back(generator.next(random).value);
  }
  values.push_back(0.0);
  values.push_back(-std::numeric_limits<double>::infinity());
  std::shuffle(values.begin(), values.end(), random);
  for (int decimals : {1, 4, 8, 9, 12}) {
    for (int width : {decimals + 5, decimals + 7, 16}) {
      std::vector<char> text(values.size() * static_cast<std::size_t>(width));
      const char* end =
          format_exponents(text.data(), values.data(), values.size(), width, decimals);
      std::string expected;
      for (double v : values) expected += exponent_field(v, width, decimals);
      ASSERT_EQ(std::string(static_cast<const char*>(text.data()), end), expected)
          << "E" << width << "." << decimals;
    }
  }
}

std::string oracle_integer(std::int64_t value, int width) {
  char printed[24];
  const auto result = std::to_chars(printed, printed + sizeof printed, value);
  return fitted(std::string(printed, result.ptr), width);
}

// Stretches of I fields, as put_all writes a record's run of them: every
// value from -10^k - 1 to 10^k + 1 (k the width, at most 6), so every length
// and the first values that no longer fit; then random values of every
// length, the extremes among them, for the wider fields.
TEST(FieldOracle, IntegerFieldsMatchTheLibrarysDigits) {
  std::mt19937_64 random(99);
  std::vector<std::int32_t> values;
  std::vector<char> text;
  std::string expected;
  auto check = [&](int width) {
    const auto w = static_cast<std::size_t>(width);
    text.assign(values.size() * w + 1, '\0');
    const char* end = format_integers(text.data(), values.data(), values.size(), width);
    expected.clear();
    for (std::int32_t v : values) {
      char printed[16];
      const auto result = std::to_chars(printed, printed + sizeof printed, v);
      const auto length = static_cast<std::size_t>(result.ptr - printed);
      if (length > w) {
        expected.append(w, '*');
      } else {
        expected.append(w - length, ' ');
        expected.append(static_cast<const char*>(printed), length);
      }
    }
    if (std::string_view(text.data(), static_cast<std::size_t>(end - text.data())) == expected) {
      return;
    }
    ASSERT_EQ(end - text.data(), static_cast<std::ptrdiff_t>(values.size() * w));
    for (std::size_t i = 0; i < values.size(); ++i) {
      ASSERT_EQ(std::string(text.data() + i * w, w), oracle_integer(values[i], width))
          << values[i] << " in I" << width;
    }
  };
  for (int width = 1; width <= 12; ++width) {
    SCOPED_TRACE(::testing::Message() << "I" << width);
    std::int32_t limit = 1;
    for (int k = 0; k < std::min(width, 6); ++k) limit *= 10;
    for (std::int32_t from = -limit - 1; from <= limit + 1;) {
      values.clear();
      for (int n = 1 + static_cast<int>(random() % 40); n > 0 && from <= limit + 1; --n) {
        values.push_back(from++);
      }
      check(width);
    }
    for (std::uint64_t n = 0; n < samples(2000); ++n) {
      values.clear();
      for (int k = static_cast<int>(random() % 40); k > 0; --k) {
        auto v = static_cast<std::int32_t>(random() % 2147483648ULL);
        for (int cut = static_cast<int>(random() % 10); cut > 0; --cut) v /= 10;
        if (random() % 4 == 0) v = -v;
        if (random() % 50 == 0) v = std::numeric_limits<std::int32_t>::min();
        if (random() % 50 == 0) v = std::numeric_limits<std::int32_t>::max();
        values.push_back(v);
      }
      check(width);
    }
  }
}

}  // namespace
}  // namespace locprox
