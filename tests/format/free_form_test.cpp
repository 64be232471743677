// Free-form numeric input and number parsing: each case reads from a file
// holding the given text.
#include "format/free_form.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "format/input_unit.h"
#include "format/run_error.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

// A file holding `text`, open on unit 20.
class TextFile {
 public:
  explicit TextFile(std::string_view text) : unit_(20, (dir_.path() / "T.SEQ").string()) {
    dir_.write("T.SEQ", text);
    unit_.open();
  }
  InputUnit& unit() { return unit_; }

 private:
  ScratchDirectory dir_;
  InputUnit unit_;
};

constexpr std::int32_t kUnset = -7;  // what a variable held before the read

// Three integers read from `text` in one read, starting from kUnset.
std::array<std::int32_t, 3> three_integers(std::string_view text) {
  TextFile file(text);
  std::array<std::int32_t, 3> v{kUnset, kUnset, kUnset};
  const FreeFormTarget targets[3] = {FreeFormTarget::integer(v[0]), FreeFormTarget::integer(v[1]),
                                     FreeFormTarget::integer(v[2])};
  read_free_form(file.unit(), targets);
  return v;
}

TEST(FreeForm, SeparatorsNullsRepeatsAndSlash) {
  using A = std::array<std::int32_t, 3>;
  constexpr std::int32_t u = kUnset;
  struct Case {
    const char* text;
    A expected;
  } cases[] = {
      {"3,4  5\n", A{3, 4, 5}},
      {"3 4 5", A{3, 4, 5}},  // last line without a line feed
      {"3\t4\t5\n", A{3, 4, 5}},
      {"  3 , 4 ,5  \n", A{3, 4, 5}},
      {"3\r\n4 5\r\n", A{3, 4, 5}},    // continued on the next record
      {"3\n\n\n4\n5\n", A{3, 4, 5}},   // empty records do not end the read
      {"3 4 5 6 7\n8\n", A{3, 4, 5}},  // the rest of the record is discarded
      {"+3 -4 007\n", A{3, -4, 7}},
      {"3,,5\n", A{3, u, 5}},    // a null value leaves its variable
      {"3, ,5\n", A{3, u, 5}},   // blanks between the commas
      {",4,5\n", A{u, 4, 5}},    // a leading comma is a null value
      {"3,\n,5\n", A{3, u, 5}},  // null across the record end
      {"3 /\n4 5\n", A{3, u, u}},
      {"3/\n", A{3, u, u}},
      {"/\n", A{u, u, u}},
      {"3,4,/ 5\n", A{3, 4, u}},
      {"3*9\n", A{9, 9, 9}},
      {"2*9 1\n", A{9, 9, 1}},
      {"2* 1\n", A{u, u, 1}},  // r* is r null values
      {"5*9\n", A{9, 9, 9}},   // copies beyond the last variable are dropped
      {"1 2*\n", A{1, u, u}},
      {"-2147483648 2147483647 0\n", A{-2147483648, 2147483647, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(three_integers(c.text), c.expected) << c.text;
}

TEST(FreeForm, NextReadStartsAtTheNextRecord) {
  TextFile file("1 2 3\n4 5\n");
  std::int32_t a = 0;
  read_integer(file.unit(), a);
  EXPECT_EQ(a, 1);
  read_integer(file.unit(), a);
  EXPECT_EQ(a, 4);
  EXPECT_EQ(file.unit().line_number(), 2);
}

TEST(FreeForm, EndOfFileIsAnOutcomeOnlyWhenAllowed) {
  for (const char* text : {"", "3 4\n", "\n\n", "3,,\n"}) {
    {
      TextFile file(text);
      std::int32_t v[3] = {0, 0, 0};
      const FreeFormTarget targets[3] = {FreeFormTarget::integer(v[0]),
                                         FreeFormTarget::integer(v[1]),
                                         FreeFormTarget::integer(v[2])};
      EXPECT_EQ(read_free_form(file.unit(), targets, true), ReadOutcome::kEndOfFile) << text;
    }
    {
      TextFile file(text);
      std::int32_t v[3] = {0, 0, 0};
      const FreeFormTarget targets[3] = {FreeFormTarget::integer(v[0]),
                                         FreeFormTarget::integer(v[1]),
                                         FreeFormTarget::integer(v[2])};
      EXPECT_THROW(read_free_form(file.unit(), targets), RunError) << text;
    }
  }
}

TEST(FreeForm, MalformedNumbersStopTheReadNamingUnitFileAndLine) {
  for (const char* text : {"1\n2 x 3\n", "1\n2 3.5 4\n", "1\n2 99999999999\n", "1\n2 2147483648\n",
                           "1\n-\n", "1\n2 1e3\n", "1\n2 0*5\n", "1\n2 x*5\n", "1\n2 ;\n"}) {
    TextFile file(text);
    std::int32_t v[3] = {0, 0, 0};
    const FreeFormTarget targets[3] = {FreeFormTarget::integer(v[0]), FreeFormTarget::integer(v[1]),
                                       FreeFormTarget::integer(v[2])};
    try {
      read_free_form(file.unit(), targets);
      ADD_FAILURE() << "no error for " << text;
    } catch (const RunError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with("unit 20 (")) << e.what();
      EXPECT_NE(std::string(e.what()).find("T.SEQ), line 2: "), std::string::npos) << e.what();
    }
  }
}

TEST(ParseInteger, Table) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t value;
  } cases[] = {
      {"0", true, 0},
      {"-0", true, 0},
      {"+17", true, 17},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0},  // outside 32 bits
      {"-2147483649", false, 0},
      {"99999999999", false, 0},
      {"00000000000000000000012", true, 12},
      {"3.5", false, 0},  // a fraction where an integer is wanted
      {"3.", false, 0},
      {"1e3", false, 0},
      {"", false, 0},
      {"-", false, 0},  // a lone sign
      {"+", false, 0},
      {"1-2", false, 0},
      {"12a", false, 0},
  };
  for (const Case& c : cases) {
    std::int32_t v = 0;
    EXPECT_EQ(parse_integer(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(ParseReal, Table) {
  struct Case {
    const char* text;
    bool ok;
    float value;
  } cases[] = {
      {"1.5", true, 1.5f},
      {"-1.5", true, -1.5f},
      {"+1.5", true, 1.5f},
      {"3", true, 3.0f},
      {".5", true, 0.5f},
      {"5.", true, 5.0f},
      {"1.5E2", true, 150.0f},
      {"1.5e+2", true, 150.0f},
      {"1.5D2", true, 150.0f},  // D exponents as E
      {"-1.5d-2", true, -0.015f},
      {"25E-1", true, 2.5f},
      {"0.1", true, 0.1f},    // rounded straight to single precision
      {"1e-50", true, 0.0f},  // too small for single precision: zero
      {"-1e-50", true, -0.0f},
      {"3.4028234e38", true, 3.4028234e38f},
      {"99999999999", true, 99999999999.0f},
      {"1e40", false, 0.0f},  // beyond single precision
      {"-1e39", false, 0.0f},
      {"3.5e38", false, 0.0f},
      {"NaN", false, 0.0f},
      {"nan", false, 0.0f},
      {"Inf", false, 0.0f},
      {"-infinity", false, 0.0f},
      {"", false, 0.0f},
      {"-", false, 0.0f},  // a lone sign
      {".", false, 0.0f},  // a lone dot
      {"-.", false, 0.0f},
      {"1.5E", false, 0.0f},
      {"1.5E+", false, 0.0f},
      {"E5", false, 0.0f},
      {"1.2.3", false, 0.0f},
      {"1,5", false, 0.0f},
      {"0x10", false, 0.0f},
      {"abc", false, 0.0f},
  };
  for (const Case& c : cases) {
    float v = 42.0f;
    EXPECT_EQ(parse_real(c.text, v), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(v, c.value) << c.text;
    EXPECT_EQ(std::signbit(v), std::signbit(c.value)) << c.text;
  }
}

TEST(ParseReal, RoundsOnceFromTheDecimalText) {
  // 16777217 lies halfway between two floats and goes to the even one; a
  // text a little above the tie rounds up.
  float v = 0.0f;
  ASSERT_TRUE(parse_real("16777217", v));
  EXPECT_EQ(v, 16777216.0f);  // tie to even
  ASSERT_TRUE(parse_real("16777217.000000001", v));
  EXPECT_EQ(v, 16777218.0f);
}

TEST(FreeForm, RealsAndIntegersInOneRead) {
  TextFile file("1 2 3 -4.25D1\n");
  std::int32_t a = 0, b = 0, c = 0;
  float value = 0.0f;
  const FreeFormTarget targets[4] = {FreeFormTarget::integer(a), FreeFormTarget::integer(b),
                                     FreeFormTarget::integer(c), FreeFormTarget::real(value)};
  read_free_form(file.unit(), targets);
  EXPECT_EQ(a + b + c, 6);
  EXPECT_EQ(value, -42.5f);
}

}  // namespace
}  // namespace locprox
