// parse_observation reads the common line shape (three unsigned integers and
// a plain decimal) on a short path and hands every other line to the general
// free-form reader. Both must give the same fields and the same faults.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "format/free_form.h"
#include "format/input_unit.h"
#include "format/run_error.h"
#include "input/observations_file.h"

namespace locprox {
namespace {

// Fields as a previous line left them, so that kept values show.
ObservationFields previous() {
  ObservationFields f;
  f.year = 9;
  f.location = 8;
  f.entry = 7;
  f.value = 6.5f;
  return f;
}

struct Expected {
  std::int32_t year, location, entry;
  float value;
};

TEST(PlainObservation, LinesOfEveryShapeGiveTheFreeFormFields) {
  const InputUnit unit(20, "T.SEQ");
  const std::string tiny = "0." + std::string(60, '0') + "1";  // below single precision
  struct Case {
    std::string record;
    Expected expected;
  } cases[] = {
      {"1 2 3 4.5", {1, 2, 3, 4.5f}},
      {"   1  2   3    4.5   ", {1, 2, 3, 4.5f}},
      {"1 2 3 4.5 99 junk", {1, 2, 3, 4.5f}},  // values after the fourth are ignored
      {"001 02 3 0004.250", {1, 2, 3, 4.25f}},
      {"1 2 3 7", {1, 2, 3, 7.0f}},
      {"1 2 3 .5", {1, 2, 3, 0.5f}},
      {"1 2 3 5.", {1, 2, 3, 5.0f}},
      {"1 2 3 0.1234567890123456789", {1, 2, 3, 0.1234567890123456789f}},
      {"1 2 3 16777217", {1, 2, 3, 16777216.0f}},  // rounded to single precision
      {"1 2 3 " + tiny, {1, 2, 3, 0.0f}},
      {"999999999 2 3 4", {999999999, 2, 3, 4.0f}},
      {"2147483647 2 3 4", {2147483647, 2, 3, 4.0f}},
      {"1,2,3,4.5", {1, 2, 3, 4.5f}},
      {"1\t2\t3\t4.5", {1, 2, 3, 4.5f}},
      {"+1 2 3 -4.5", {1, 2, 3, -4.5f}},
      {"1 2 3 4.5E2", {1, 2, 3, 450.0f}},
      {"1 2 3 4.5d2", {1, 2, 3, 450.0f}},
      {"1 2 3 1*4.5", {1, 2, 3, 4.5f}},
      {"1 2 3 4.5/", {1, 2, 3, 4.5f}},
      {"1 2 3 /", {1, 2, 3, 6.5f}},  // the value is kept
      {"1 2 3,,", {1, 2, 3, 6.5f}},  // a null value keeps it too
      {"1 2 3 1.0E+30", {1, 2, 3, 1.0e30f}},
  };
  for (const Case& c : cases) {
    ObservationFields fields = previous();
    EXPECT_EQ(parse_observation(unit, c.record, fields), ObservationLine::kObservation) << c.record;
    EXPECT_EQ(fields.year, c.expected.year) << c.record;
    EXPECT_EQ(fields.location, c.expected.location) << c.record;
    EXPECT_EQ(fields.entry, c.expected.entry) << c.record;
    EXPECT_EQ(fields.value, c.expected.value) << c.record;
  }
}

TEST(PlainObservation, FaultsStopTheRunWhateverTheShape) {
  const InputUnit unit(20, "T.SEQ");
  const char* faulty[] = {
      "1 2 3 4.5.6",       "1 2 3 4.5x", "1 2 3 2000000000000000000000000000000.0",
      "1 2 3 1e39",        "1 2 3",      "2147483648 2 3 4",
      "1 2 99999999999 4", "1 2 x3 4",   "1 2 3 .",
  };
  for (const char* record : faulty) {
    ObservationFields fields = previous();
    EXPECT_THROW(parse_observation(unit, record, fields), RunError) << record;
  }
  ObservationFields fields = previous();
  EXPECT_EQ(parse_observation(unit, "", fields), ObservationLine::kBlank);
  EXPECT_EQ(parse_observation(unit, "    ", fields), ObservationLine::kBlank);
}

// Random lines of the common shape, with leading zeros, long fractions and
// uneven blanks, against the free-form number parsers token by token.
TEST(PlainObservation, RandomPlainLinesMatchTheNumberParsers) {
  const InputUnit unit(20, "T.SEQ");
  std::mt19937_64 random(12345);
  auto digits = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  auto blanks = [&](int least) { return std::string(least + random() % 3, ' '); };
  for (int n = 0; n < 20000; ++n) {
    std::string tokens[4] = {digits(1 + random() % 9), digits(1 + random() % 9),
                             digits(1 + random() % 9), digits(random() % 12)};
    if (random() % 4 != 0) {
      tokens[3] += '.';
      tokens[3] += digits(random() % 14);
    }
    if (tokens[3].empty() || tokens[3] == ".") tokens[3] += "0";
    std::string record = blanks(0);
    for (const std::string& token : tokens) record += token + blanks(1);
    ObservationFields fields = previous();
    ASSERT_EQ(parse_observation(unit, record, fields), ObservationLine::kObservation) << record;
    std::int32_t integers[3];
    float value = 0.0f;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(parse_integer(tokens[i], integers[i]));
    ASSERT_TRUE(parse_real(tokens[3], value));
    EXPECT_EQ(fields.year, integers[0]) << record;
    EXPECT_EQ(fields.location, integers[1]) << record;
    EXPECT_EQ(fields.entry, integers[2]) << record;
    EXPECT_EQ(fields.value, value) << record;
  }
}

}  // namespace
}  // namespace locprox
