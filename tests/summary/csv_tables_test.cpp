#include "summary/csv_tables.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "summary/example_files.h"
#include "summary/job_names.h"
#include "summary/number_text.h"
#include "summary/proximity_reader.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

using Table = std::vector<std::vector<std::string>>;

// Reads CSV text back as a reader would (RFC 4180 quoting).
Table load_csv(const std::string& text) {
  Table rows(1);
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      rows.back().push_back(field);
      field.clear();
    } else if (c == '\n') {
      rows.back().push_back(field);
      field.clear();
      rows.emplace_back();
    } else {
      field += c;
    }
  }
  EXPECT_TRUE(rows.back().empty() && field.empty()) << "the last row must end with a line feed";
  rows.pop_back();
  return rows;
}

// The pairs' table's first eight columns, the trust columns cut off (they
// have tests of their own).
Table first_columns(Table table) {
  for (auto& row : table) {
    EXPECT_EQ(row.size(), 14u);
    if (row.size() > 8) row.resize(8);
  }
  return table;
}

struct Loaded {
  ProximityFile file;
  std::vector<std::string> names;
};

Loaded example(std::optional<std::int32_t> year) {
  testing::Scratch dir;
  dir.write("JOB.PRX", testing::example_prx());
  dir.write("JOB.NAQ", testing::example_naq());
  Loaded loaded{read_proximity_file(dir.file("JOB.PRX"), year), {}};
  loaded.names = read_job_names(dir.file("JOB.NAQ"), loaded.file.dims).locations;
  return loaded;
}

TEST(PairsCsv, LoadsBackWithOneRowPerPairAndEmptyAveragesWhereNeverCompared) {
  for (std::int32_t year : {1, 2}) {
    SCOPED_TRACE("year " + std::to_string(year));
    Loaded in = example(year);
    Averages averages = form_averages(in.file, false, 10);
    Table table = first_columns(load_csv(pairs_csv(in.file, averages, in.names, {})));
    const Table expected_2 = {
        {"location_i", "name_i", "location_j", "name_j", "average", "sum", "entries_in_common",
         "years_compared"},
        {"1", "North", "1", "North", "1", "9", "9", "2"},
        {"1", "North", "2", "S, far", "0.5", "4", "8", "2"},
        {"1", "North", "3", "East", "0.6", "1.2", "2", "1"},
        {"2", "S, far", "2", "S, far", "1", "11", "11", "2"},
        {"2", "S, far", "3", "East", "-0.5", "-1.5", "3", "1"},
        {"3", "East", "3", "East", "1", "8", "8", "2"},
    };
    // Year 1: 2.4 / 4 = 0.6 for (1,2); (1,3) never compared: no average.
    const Table expected_1 = {
        expected_2[0],
        {"1", "North", "1", "North", "1", "5", "5", "1"},
        {"1", "North", "2", "S, far", "0.6", "2.4", "4", "1"},
        {"1", "North", "3", "East", "", "0", "0", "0"},
        {"2", "S, far", "2", "S, far", "1", "6", "6", "1"},
        {"2", "S, far", "3", "East", "-0.5", "-1.5", "3", "1"},
        {"3", "East", "3", "East", "1", "4", "4", "1"},
    };
    EXPECT_EQ(table, year == 1 ? expected_1 : expected_2);
  }
}

TEST(PairsCsv, LeavesOutTheDiagonalOfADistanceAndEmptiesCountsInAsterisks) {
  Loaded in = example(2);
  in.file.options = Measure{'W', 'S', 'C', '\0'};
  in.file.group.ngpair_known[4] = 0;  // NGPAIR(2,3) written as asterisks
  in.file.group.ngpair[4] = 0;
  Table table =
      first_columns(load_csv(pairs_csv(in.file, form_averages(in.file, false, 10), in.names, {})));
  ASSERT_EQ(table.size(), 4u);  // header and the three distinct pairs
  EXPECT_EQ(table[1],
            (std::vector<std::string>{"1", "North", "2", "S, far", "0.5", "4", "8", "2"}));
  EXPECT_EQ(table[3], (std::vector<std::string>{"2", "S, far", "3", "East", "", "-1.5", "", "1"}));
}

TEST(MatrixCsv, LoadsBackAsASymmetricMatrixWithNamesOnBothSides) {
  Loaded in = example(1);
  Table table = load_csv(matrix_csv(form_averages(in.file, false, 10), in.names));
  const Table expected = {
      {"", "North", "S, far", "East"},
      {"North", "1", "0.6", ""},
      {"S, far", "0.6", "1", "-0.5"},
      {"East", "", "-0.5", "1"},
  };
  EXPECT_EQ(table, expected);
}

TEST(NumberText, IsTheShortestTextThatReadsBackExactly) {
  for (double v : {0.1 + 0.2, 1.0 / 3.0, -2.5e-300, 6.02214076e23, 0.62, 1.0}) {
    const std::string text = number_text(v);
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, v) << text;
  }
  EXPECT_EQ(number_text(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(number_text(0.5), "0.5");
}

TEST(AverageText, GivesNineSignificantDigits) {
  const std::pair<double, std::string> cases[] = {
      {0.7884227149761941, "0.788422715"},
      {0.1 + 0.2, "0.3"},  // trailing zeros dropped
      {1.0 / 3.0, "0.333333333"},
      {1.0, "1"},
      {-0.5, "-0.5"},
      {12345.678912345, "12345.6789"},
      {-2.5e-7, "-2.5e-07"},
      {123456789012.0, "1.23456789e+11"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(average_text(value), text) << value;
  // A last bit of difference, as between two C libraries' tanh, does not show.
  for (double r : {0.7884227149761941, -0.2763110704161812, 0.9455642271295132}) {
    EXPECT_EQ(average_text(std::nextafter(r, 2.0)), average_text(r));
    EXPECT_EQ(average_text(std::nextafter(r, -2.0)), average_text(r));
  }
}

// The averages are written by a short path of the program's own for most
// magnitudes: it must give the library's text for every double. Random
// doubles of every magnitude near the path's edges, values halfway between
// two nine-digit decimals (left to the library) and just beside them,
// values that round up to the next power of ten, and decimal boundaries.
TEST(AverageText, WritesWhatTheLibraryWritesForEveryDouble) {
  const auto library = [](double value) {
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::general, kAverageDigits);
    return std::string(buffer, result.ptr);
  };
  std::vector<double> values = {0.0,
                                -0.0,
                                1e-7,
                                9.9999999e-8,
                                1e9,
                                999999999.5,
                                999999999.4,
                                99999999.95,
                                0.00099999999995,
                                1e-5,
                                0.0001,
                                123456789.0,
                                2.5,
                                1e8,
                                0.5,
                                0.125,
                                12345678.25,
                                12345678.75,
                                1.0000000005,
                                std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::denorm_min()};
  // Exact halves at the ninth digit: k + 0.5 scaled by powers of two.
  for (std::int64_t k : {100000000LL, 123456789LL, 999999999LL, 543210987LL}) {
    for (int shift = -40; shift <= 6; ++shift) {
      values.push_back(std::ldexp(static_cast<double>(2 * k + 1), shift - 1));
    }
  }
  std::mt19937_64 random(2026);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-12, 12);
  for (int trial = 0; trial < 300000; ++trial) {
    double value = mantissa(random) * std::pow(10.0, exponent(random));
    if (trial % 2 == 1) value = -value;
    values.push_back(value);
    // A nine-digit decimal and the point halfway to the next, with the
    // doubles either side of each: where the rounding is decided.
    if (trial % 4 == 0) {
      const double step = std::pow(10.0, std::floor(std::log10(std::fabs(value))) - 8);
      const double decimal = std::round(value / step) * step;
      for (double point : {decimal, decimal + step / 2}) {
        values.push_back(std::nextafter(point, 0.0));
        values.push_back(point);
        values.push_back(std::nextafter(point, 2 * point));
      }
    }
  }
  std::uniform_int_distribution<std::uint64_t> bits;
  for (int trial = 0; trial < 100000; ++trial)
    values.push_back(std::bit_cast<double>(bits(random)));
  for (double value : values) {
    SCOPED_TRACE(::testing::Message() << std::hexfloat << value);
    ASSERT_EQ(average_text(value), library(value));
  }
}

TEST(CsvField, QuotesOnlyWhatAReaderWouldMisread) {
  EXPECT_EQ(csv_field("North"), "North");
  EXPECT_EQ(csv_field("S, far"), "\"S, far\"");
  EXPECT_EQ(csv_field("8\" pot"), "\"8\"\" pot\"");
  EXPECT_EQ(csv_field(" lead"), "\" lead\"");
  EXPECT_EQ(csv_field(""), "");
}

}  // namespace
}  // namespace locprox::summary
