#include "format/field_reader.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace locprox {
namespace {

struct CountCase {
  std::string field;
  bool valid;
  bool known;
  std::int32_t value;
};

TEST(ParseCount, ReadsI6FieldsAndTellsAsterisksFromBadText) {
  const CountCase cases[] = {
      {"     0", true, true, 0},   {"    12", true, true, 12},  {"999999", true, true, 999999},
      {"   -12", true, true, -12}, {"******", true, false, 0},  // a count of a million or more
      {"  ****", false, false, 0},  // asterisks always fill the whole field
      {"      ", false, false, 0},  // a blank field is never written
      {"  1 2 ", false, false, 0},  // embedded blank
      {"   1.5", false, false, 0}, {"    1a", false, false, 0}, {"     -", false, false, 0},
  };
  for (const CountCase& c : cases) {
    SCOPED_TRACE("\"" + c.field + "\"");
    auto parsed = parse_count_field(c.field);
    ASSERT_EQ(parsed.has_value(), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(parsed->known, c.known);
    EXPECT_EQ(parsed->value, c.value);
  }
}

TEST(ParseReal, ReadsE16Point8FieldsToTheNearestDouble) {
  const std::pair<std::string, std::optional<double>> cases[] = {
      {"  0.12500000E+02", 12.5},
      {"  0.00000000E+00", 0.0},
      {" -0.54930614E+00", -0.54930614},
      {"  0.10000000E+01", 1.0},
      {"  0.12345678E-05", 0.12345678e-5},
      {"  0.12345678+100", 0.12345678e100},  // three-digit exponent: no letter
      {"  0.12345678-100", 0.12345678e-100},
      {"            1.25", 1.25},          // plain decimal, read leniently
      {"  0.12345678D+02", 12.345678},     // D exponent
      {"****************", std::nullopt},  // never written for a sum
      {"                ", std::nullopt},
      {"  0.1234 678E+02", std::nullopt},
      {"  0.12345678E+  ", std::nullopt},
      {"             nan", std::nullopt},
      {"  0.12345678X+02", std::nullopt},
      {"  0.1E+999      ", std::nullopt},  // beyond double range
  };
  for (const auto& [field, expected] : cases) {
    SCOPED_TRACE("\"" + field + "\"");
    auto parsed = parse_real_field(field);
    ASSERT_EQ(parsed.has_value(), expected.has_value());
    if (expected) {
      EXPECT_EQ(*parsed, *expected);  // exactly: the nearest double both ways
    }
  }
}

TEST(HasFields, AcceptsTheExactWidthOrTrailingBlanksOnly) {
  EXPECT_TRUE(has_fields("     1     2", 6, 2));
  EXPECT_TRUE(has_fields("     1     2   ", 6, 2));
  EXPECT_FALSE(has_fields("     1    2", 6, 2));         // one column short
  EXPECT_FALSE(has_fields("     1     2     3", 6, 2));  // a field too many
}

TEST(CharacterClasses, SeparateCountsFromReals) {
  EXPECT_TRUE(is_count_text("     1******   -12"));
  EXPECT_FALSE(is_count_text("     1   0.5"));
  EXPECT_TRUE(is_real_text("  0.12345678E+02 -0.10000000+100"));
  EXPECT_FALSE(is_real_text("  0.12345678E+02 ****"));
}

// The check runs 16 bytes at a time with a plain loop for the rest: a stray
// character must be caught wherever it stands, including the characters
// just outside each allowed range.
TEST(CharacterClasses, CatchAStrayCharacterAtEveryPosition) {
  const std::string counts = "     1    -2******    40     5   600     7";  // 42 columns
  const std::string reals = "  0.12345678E+02 -0.10000000+100  0.5D-01E";   // 42 columns
  ASSERT_TRUE(is_count_text(counts));
  ASSERT_TRUE(is_real_text(reals));
  for (size_t at = 0; at < counts.size(); ++at) {
    for (char stray : {'/', ':', ')', '+', ',', '.', 'x', '\t', '\0', '\xB0'}) {
      std::string bad = counts;
      bad[at] = stray;
      EXPECT_FALSE(is_count_text(bad)) << at << " " << int(stray);
    }
    for (char stray : {'/', ':', ',', '*', 'F', 'c', '\xC5', '\xE5', '\0'}) {
      std::string bad = reals;
      bad[at] = stray;
      EXPECT_FALSE(is_real_text(bad)) << at << " " << int(stray);
    }
  }
}

}  // namespace
}  // namespace locprox
