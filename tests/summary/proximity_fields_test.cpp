// The proximity file's fields on their short path must give exactly what the
// general readers give: the same double, bit for bit (the sign of a zero
// included), the same count, the same refusal.
#include "summary/proximity_fields.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "summary/prx_text.h"

namespace locprox::summary {
namespace {

void expect_same_real(const std::string& field) {
  const std::optional<double> got = real_field_value(field);
  const std::optional<double> want = parse_real_field(field);
  ASSERT_EQ(got.has_value(), want.has_value()) << '"' << field << '"';
  if (want) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*got), std::bit_cast<std::uint64_t>(*want))
        << '"' << field << "\": " << *got << " against " << *want;
  }
}

void expect_same_count(const std::string& field) {
  const std::optional<CountField> got = count_field_value(field);
  const std::optional<CountField> want = parse_count_field(field);
  ASSERT_EQ(got.has_value(), want.has_value()) << '"' << field << '"';
  if (want) {
    EXPECT_EQ(got->value, want->value) << '"' << field << '"';
    EXPECT_EQ(got->known, want->known) << '"' << field << '"';
  }
}

TEST(ProximityFields, RealEdgeFieldsAsTheGeneralReader) {
  const char* const fields[] = {
      "  0.12345678E+02", " -0.12345678E+02", "  0.00000000E+00", " -0.00000000E+00",
      "  0.99999999E+99", "  0.10000000E-99", "  0.99999999E+30", "  0.99999999E+31",
      "  0.12345678E-14", "  0.12345678E-15", "  0.10000000E+31", "  0.17976931E+39",
      "  0.49406564E-99", "  0.30000000E+01", "  0.33333333E+00", "  0.66666667E-05",
      // The halfway points of the doubles near 1 and 2^53, written with 8 digits.
      "  0.90071993E+16", "  0.90071993E+17", "  0.10000000E+24", "  0.12345678E+23",
      // Not the writer's shape: the general reader decides.
      "  0.12345678+100", " 0.12345678-100", "  0.12345678e+02", "  0.12345678D+02",
      " +0.12345678E+02", "  1.23456780E+01", "  0.1234567xE+02", "  0.12345678E+2 ",
      "  0.12345678E02 ", "  0.12345678E+0x", "  0.12345678X+02", "  0.12345678E*02",
      "  .12345678E+02 ", "0.12345678E+02  ", "                ", "****************",
      "  0.12345678    ", "             12.", " --0.1234567E+02", "  0.12 45678E+02",
      "-", "", "  0.12345678E+02X", " 0.12345678E+02"};
  for (const char* field : fields) expect_same_real(field);
}

// Every double the writer formats (8 digits, exponents of every size, both
// signs), and fields of random digits of the writer's shape.
TEST(ProximityFields, RandomRealFieldsAsTheGeneralReader) {
  std::mt19937_64 random(20261211);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::uniform_int_distribution<int> decade(-40, 40);
  for (int trial = 0; trial < 200000; ++trial) {
    double value = (0.1 + 0.9 * unit(random)) * std::pow(10.0, decade(random));
    if (trial % 2 == 1) value = -value;
    expect_same_real(testing::real_field(value));
  }
  std::uniform_int_distribution<int> digit(0, 9);
  std::uniform_int_distribution<int> exponent(0, 99);
  for (int trial = 0; trial < 200000; ++trial) {
    std::string field = trial % 3 == 0 ? " -0." : "  0.";
    for (int k = 0; k < 8; ++k) field += static_cast<char>('0' + digit(random));
    const int e = exponent(random);
    field += trial % 2 == 0 ? "E+" : "E-";
    field += static_cast<char>('0' + e / 10);
    field += static_cast<char>('0' + e % 10);
    // Now and then any byte among the digits.
    if (trial % 5 == 0) field[4 + static_cast<size_t>(digit(random)) % 8] = static_cast<char>(random());
    expect_same_real(field);
  }
}

TEST(ProximityFields, CountFieldsAsTheGeneralReader) {
  const char* const fields[] = {" 12345", "     0", "    -0", "-12345", "999999", "     7",
                                "******", " *****", "  12 3", "      ", "    1 ", "   +12",
                                "  -   ", "   1-2", "  x123", "1234567890", "123456789",
                                "-123456789", "-", "", "  0012", "**1234", "000000",
                                " 1 234", "1     ", "12345 ", "  \n123", "\x8a" "12345",
                                "\xba" "\xba" "1234", " \x89" "12", "\t12345"};
  for (const char* field : fields) expect_same_count(field);
  // Random fields of the characters a count record may hold, and a few others.
  std::mt19937_64 random(7);
  const std::string alphabet = "     0123456789-*+x";
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  std::uniform_int_distribution<int> width(1, 12);
  for (int trial = 0; trial < 200000; ++trial) {
    // Half of them six columns wide, the width of the file's counts.
    std::string field(trial % 4 < 2 ? size_t{6} : static_cast<size_t>(width(random)), ' ');
    // Most fields right-aligned digits, as written; the rest anything.
    if (trial % 2 == 0) {
      const size_t digits = 1 + pick(random) % field.size();
      for (size_t k = field.size() - digits; k < field.size(); ++k) {
        field[k] = static_cast<char>('0' + pick(random) % 10);
      }
      if (trial % 6 == 0 && digits < field.size()) field[field.size() - digits - 1] = '-';
    } else {
      for (char& c : field) c = alphabet[pick(random)];
    }
    expect_same_count(field);
  }
}

}  // namespace
}  // namespace locprox::summary
