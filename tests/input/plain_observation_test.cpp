// parse_observation reads the common line shape (three unsigned integers and
// a plain decimal) on a short path and hands every other line to the general
// free-form reader. Both must give the same fields and the same faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "format/free_form.h"
#include "format/input_unit.h"
#include "format/run_error.h"
#include "input/observation_line.h"

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

// What a reader made of one line: nothing (it declined, or the line is blank
// or a fault) or its four fields, the value as its bits.
struct Reading {
  std::int32_t year, location, entry;
  std::uint32_t value_bits;
  bool operator==(const Reading&) const = default;
};

Reading reading_of(const ObservationFields& f) {
  return {f.year, f.location, f.entry, std::bit_cast<std::uint32_t>(f.value)};
}

std::string shown(const std::optional<Reading>& r) {
  if (!r) return "declined";
  return std::to_string(r->year) + " " + std::to_string(r->location) + " " +
         std::to_string(r->entry) + " bits " + std::to_string(r->value_bits);
}

// The general reader on a record (the line without its line feed, as the
// unit gives it): the fields, or nothing for a blank line or a fault.
std::optional<Reading> general(std::string_view record) {
  const InputUnit unit(20, "T.SEQ");
  ObservationFields fields = previous();
  try {
    if (parse_general_observation(unit, record, fields) == ObservationLine::kBlank) return {};
  } catch (const RunError&) {
    return {};
  }
  return reading_of(fields);
}

// The record short path.
std::optional<Reading> plain(std::string_view record) {
  ObservationFields fields = previous();
  if (!parse_plain_observation(record, fields)) {
    const ObservationFields untouched = previous();
    EXPECT_EQ(reading_of(fields), reading_of(untouched)) << "declined but changed the fields";
    return {};
  }
  return reading_of(fields);
}

// The buffer short path on `line` + "\n" followed by another line, with
// padding before and after as in a unit's buffer (digits, which must not
// count). When it takes the line it must return the start of the next line.
// Both ways of classing the bytes must give the same.
std::optional<Reading> common(const std::string& line) {
  const std::string padding(InputUnit::kReadPadding, '9');
  const std::string buffer = padding + line + "\n9 9 9 9\n" + padding;
  const char* const start = buffer.data() + padding.size();
  const char* const lines_end = start + line.size() + 9;
  std::optional<Reading> readings[2];
  for (const bool portably : {false, true}) {
    ObservationFields fields = previous();
    const char* const after = read_common_observation(start, lines_end, fields, portably);
    if (after == nullptr) {
      EXPECT_EQ(reading_of(fields), reading_of(previous())) << "declined but changed the fields";
      continue;
    }
    EXPECT_EQ(after, start + line.size() + 1) << "the next line is not where it starts";
    readings[portably ? 1 : 0] = reading_of(fields);
  }
  EXPECT_EQ(shown(readings[0]), shown(readings[1])) << "the two ways of classing bytes differ";
  return readings[0];
}

// The record the unit gives for `line`: a CR before the line feed dropped.
std::string record_of(const std::string& line) {
  return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

// Each short path gives the general reader's fields bit for bit, or declines.
// Returns how many of the two took the line.
int expect_agreement(const std::string& line) {
  const std::string record = record_of(line);
  const std::optional<Reading> expected = general(record);
  const std::optional<Reading> by_plain = plain(record);
  const std::optional<Reading> by_common = common(line);
  if (by_plain) {
    EXPECT_EQ(shown(by_plain), shown(expected)) << "plain path on \"" << line << '"';
  }
  if (by_common) {
    EXPECT_EQ(shown(by_common), shown(expected)) << "common path on \"" << line << '"';
  }
  return (by_plain ? 1 : 0) + (by_common ? 1 : 0);
}

TEST(ShortPaths, AwkwardLinesAgreeWithTheGeneralReaderOrAreDeclined) {
  // Which paths must take the line: both, the record path only, or neither
  // (the general reader alone reads it, or refuses it).
  enum Taken { kBoth = 2, kPlainOnly = 1, kNeither = 0 };
  const std::string tiny = "0." + std::string(50, '0') + "1";
  struct Case {
    std::string line;
    int taken;
  } cases[] = {
      {"1 205 281 55.055", kBoth},
      {"1 2 3 4", kBoth},
      {"0001 002 03 0004.5000", kBoth},
      {"12345678 8765 1111111 1.123456", kBoth},  // numbers of five to eight digits
      {"1 23456 3 4.5", kBoth},
      {"1 2 3 12345.5", kBoth},
      {"1 2 3 1.12345", kBoth},
      {"12 345 6789 1234.5678", kBoth},  // four digits everywhere
      {"12345678 87654321 11111111 1234567.1234567", kPlainOnly},  // beyond 32 bytes
      {"1 2 3 .5", kBoth},
      {"1 2 3 5.", kBoth},
      {"1 2 3 0.0", kBoth},
      {"1 2 3 0000000", kBoth},
      {"1 2 3 4.5 ", kBoth},
      {"1 2 3 4.5  7 junk", kBoth},
      {"1 2 3 4.5\r", kBoth},
      {"1 2 3 9999999.9999999", kBoth},
      {"1 2 3 0.0000001", kBoth},
      {"1 2 3 3.4028235", kBoth},
      // Decimals halfway between two floats, and just either side: 131072
      // and 131072.015625 are neighbours in single precision.
      {"1 2 3 131072.0078125", kPlainOnly},  // halfway: the common path declines
      {"1 2 3 131072.0078124", kBoth},
      {"1 2 3 131072.0078126", kBoth},
      {"1 2 3 131072.0234375", kPlainOnly},  // halfway, rounds up to the even neighbour
      {"1 2 3 711558.65625", kPlainOnly},    // halfway; m * 10^-5 in double lies above it
      {"1 2 3 711559.03125", kPlainOnly},
      {"1 2 3 16777217", kPlainOnly},        // eight digits before the point
      {"1 2 3 16777216.5", kPlainOnly},
      {"123456789 2 3 4", kPlainOnly},  // nine digits
      {"1 2 3 4.12345678", kPlainOnly},
      {"1 2 3 1234567890123456789", kPlainOnly},
      {"1 2 3 12345678901234567890", kPlainOnly},  // 20 digits: from_chars
      {"1 2 3 1000000000000000000000000000000", kPlainOnly},  // 1.0E+30 written out
      {"1 2 3 " + tiny, kNeither},  // below single precision: the general reader makes it 0
      {" 1 2 3 4.5", kPlainOnly},  // a leading blank
      {"1  2 3 4.5", kPlainOnly},  // a doubled blank
      {"1 2 3  4.5", kPlainOnly},
      {"1 2 3 4.5\t", kNeither},
      {"1\t2\t3\t4.5", kNeither},
      {"1 2 3\t4.5", kNeither},
      {"1 2 3 -0.0", kNeither},
      {"1 2 3 -4.5", kNeither},
      {"+1 2 3 4.5", kNeither},
      {"1 2 3 1.0E+30", kNeither},
      {"1 2 3 1.0E+31", kNeither},  // refused by all
      {"1 2 3 2000000000000000000000000000000", kNeither},  // beyond 1.0E+30: refused
      {"1 2 3 4.5e2", kNeither},
      {"1 2 3 4.5D2", kNeither},
      {"1 2 3 4.5.6", kNeither},
      {"1 2 3 .", kNeither},
      {"1 2 3 4.5/", kNeither},
      {"1 2 3 /", kNeither},
      {"1,2,3,4.5", kNeither},
      {"1 2 3,4.5", kNeither},
      {"1 2 3 2*4.5", kNeither},
      {"1 2 3 4.5\r\r", kNeither},
      {"1 2 3 4.5\rx", kNeither},
      {"1 2 3", kNeither},
      {"1 2 3 ", kNeither},
      {"", kNeither},
      {"   ", kNeither},
      {"1 2 3 4x", kNeither},
      {"1 2 3 x", kNeither},
      {"1 2 x3 4", kNeither},
      {"1 2 3 4\x80", kNeither},
      {std::string("1 2 3 4\0", 8), kNeither},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(expect_agreement(c.line), c.taken) << '"' << c.line << '"';
  }
  // The halfway decimals round to even, whichever path reads them.
  EXPECT_EQ(general("1 2 3 131072.0078125")->value_bits, std::bit_cast<std::uint32_t>(131072.0f));
  EXPECT_EQ(general("1 2 3 131072.0234375")->value_bits,
            std::bit_cast<std::uint32_t>(131072.03125f));
}

// Random lines of the common shape and near it: numbers of 1 to 9 digits,
// values with up to 9 digits either side of the point (up to 19 in all),
// leading zeros, blanks and a CR at the end now and then.
TEST(ShortPaths, RandomLinesAgreeWithTheGeneralReaderBitForBit) {
  std::mt19937_64 random(20261210);
  auto digits = [&](int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
    return text;
  };
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  long common_taken = 0;
  const long lines = 200000;
  for (long n = 0; n < lines; ++n) {
    // Short numbers far more often than long ones, as in real files.
    auto integer = [&] { return digits(pick(4) == 0 ? 1 + pick(9) : 1 + pick(4)); };
    std::string value;
    const int whole = pick(3) == 0 ? pick(10) : pick(5);
    value = digits(whole);
    const int decimals = std::min(pick(3) == 0 ? pick(10) : pick(5), 19 - whole);
    if (pick(5) != 0) value += '.' + digits(decimals);
    if (value.empty() || value == ".") value += '0';
    std::string line = integer() + ' ' + integer() + ' ' + integer() + ' ' + value;
    switch (pick(16)) {
      case 0:
        line += ' ';
        break;
      case 1:
        line += '\r';
        break;
      case 2:
        line = ' ' + line;
        break;
      case 3:
        line += " 5 6";
        break;
      default:
        break;
    }
    common_taken += expect_agreement(line) == 2 ? 1 : 0;
    if (::testing::Test::HasFailure()) break;
  }
  // Most of these lines have the common shape: the short path is exercised.
  EXPECT_GT(common_taken, lines / 2);
}

}  // namespace
}  // namespace locprox
