// Output fields and layouts: each case writes one statement's values with an
// OutputUnit to a file and compares the bytes, CR LF included.
#include "format/record_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "format/input_unit.h"
#include "format/layout.h"
#include "format/output_unit.h"
#include "format/run_error.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;
using Value = std::variant<std::int64_t, double, std::string>;

// Writes `values` through `layout` to a fresh file with `style` and returns
// the file's bytes.
std::string format(std::string_view layout, const std::vector<Value>& values,
                   OutputUnit::Style style = OutputUnit::Style::kFile) {
  ScratchDirectory dir;
  {
    OutputUnit out(22, (dir.path() / "out").string(), style, false);
    out.open();
    Layout parsed(layout);
    RecordWriter writer(out, parsed);
    for (const Value& v : values) std::visit([&writer](const auto& x) { writer.put(x); }, v);
    writer.finish();
    out.close();
  }
  return dir.read("out");
}

// One value, one record: the record without its CR LF.
template <class T>
std::string field(std::string_view layout, T value) {
  std::string bytes = format(layout, {Value(value)});
  EXPECT_TRUE(bytes.ends_with("\r\n")) << layout;
  return bytes.substr(0, bytes.size() - 2);
}

std::vector<Value> counting(int n) {
  std::vector<Value> values;
  for (int i = 1; i <= n; ++i) values.emplace_back(std::int64_t{i});
  return values;
}

TEST(IntegerField, WidthsSignsAndAsterisks) {
  struct Case {
    const char* layout;
    std::int64_t value;
    const char* expected;
  } cases[] = {
      {"I5", -12, "  -12"},
      {"I3", 999, "999"},
      {"I3", 1000, "***"},
      {"I3", -99, "-99"},
      {"I3", -100, "***"},  // the minus sign needs a column too
      {"I1", 0, "0"},
      {"I6", 1234567, "******"},
      {"I8", 1234567, " 1234567"},
      {"I6", 2147483647, "******"},
      {"I12", -9223372036854775807 - 1, "************"},
      {"I20", -9223372036854775807 - 1, "-9223372036854775808"},
  };
  for (const Case& c : cases) EXPECT_EQ(field(c.layout, c.value), c.expected) << c.layout;
}

TEST(FixedField, RoundingZerosAndAsterisks) {
  struct Case {
    const char* layout;
    double value;
    const char* expected;
  } cases[] = {
      {"F10.3", 0.5, "     0.500"},
      {"F10.3", 1234567.0, "**********"},  // 1234567.000 needs eleven columns
      {"F10.3", 123456.0, "123456.000"},
      {"F10.3", -12345.0, "-12345.000"},
      {"F10.3", -123456.0, "**********"},
      {"F10.3", -0.0004, "    -0.000"},  // the sign survives rounding to zero
      {"F10.3", 0.0004, "     0.000"},
      {"F10.3", 0.0, "     0.000"},
      {"F4.3", 0.5, ".500"},     // no room for the zero before the point
      {"F5.3", -0.5, "-.500"},   // likewise, negative
      {"F4.3", 1.5, "****"},     // a digit before the point is never dropped
      {"F5.2", 0.125, " 0.12"},  // exact tie, to even
      {"F5.2", 0.375, " 0.38"},  // exact tie, to even
      {"F5.2", 0.135, " 0.14"},  // 0.135 is stored just above the tie
      {"F5.2", 2.675, " 2.67"},  // 2.675 is stored just below the tie
      {"F5.1", 0.25, "  0.2"},
      {"F5.1", 0.35, "  0.3"},  // 0.35 is stored just below the tie
      {"F10.4", 1.0 / 3.0, "    0.3333"},
      {"F8.3", 2.0e-30, "   0.000"},
      {"F10.3", 1.0e300, "**********"},
      {"F10.3", -1.0e300, "**********"},
      {"F10.3", std::numeric_limits<double>::quiet_NaN(), "**********"},
      {"F10.3", -std::numeric_limits<double>::infinity(), "**********"},
      {"F4.0", 2.5, "  2."},  // no decimals: the point stays, ties to even
      {"F4.0", 3.5, "  4."},
      {"F4.0", -0.4, " -0."},
      {"F2.0", 10.0, "**"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(field(c.layout, c.value), c.expected) << c.layout << " of " << c.value;
  }
}

TEST(FixedField, FloatValuesAreWrittenFromTheirExactBinaryValue) {
  // 0.1f is 0.100000001490116..., so with nine decimals the tail shows.
  EXPECT_EQ(field("F12.9", 0.1f), " 0.100000001");
  EXPECT_EQ(field("F10.3", 2.0f), "     2.000");
}

TEST(ExponentField, FractionFormAndExponents) {
  struct Case {
    const char* layout;
    double value;
    const char* expected;
  } cases[] = {
      {"E16.8", 12.5, "  0.12500000E+02"},
      {"E16.8", -12.5, " -0.12500000E+02"},  // 15 characters and one blank
      {"E16.8", 0.0, "  0.00000000E+00"},
      {"E16.8", 1.0, "  0.10000000E+01"},
      {"E16.8", 0.1, "  0.10000000E+00"},
      {"E16.8", 0.999999999, "  0.10000000E+01"},  // rounding carries into the exponent
      {"E16.8", 123456789.0, "  0.12345679E+09"},
      {"E16.8", 1.0e100, "  0.10000000+101"},  // a three-digit exponent drops the E
      {"E16.8", -2.5e-101, " -0.25000000-100"},
      {"E16.8", 1.0e-99, "  0.10000000E-98"},
      {"E16.8", 1.0e-100, "  0.10000000E-99"},
      {"E10.2", 0.125, "  0.12E+00"},  // exact tie, to even
      {"E10.2", 0.135, "  0.14E+00"},
      {"E14.8", -12.5, "**************"},
      {"E15.8", -12.5, "-0.12500000E+02"},
      {"E16.8", std::numeric_limits<double>::infinity(), "****************"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(field(c.layout, c.value), c.expected) << c.layout << " of " << c.value;
  }
}

TEST(CharacterField, WidthsCutAndPad) {
  struct Case {
    const char* layout;
    const char* value;
    const char* expected;
  } cases[] = {
      {"A8", "1995    ", "1995    "},
      {"A8", "1995 main season", "1995 mai"},  // the first w
                                               // characters
      {"A8", "abc", "     abc"},               // shorter: blanks first
      {"A", " Job is", " Job is"},
      {"A", "trailing  ", "trailing  "},
      {"A1", "", " "},
      {"'x' A2 'y'", "abc", "xaby"},
  };
  for (const Case& c : cases) EXPECT_EQ(field(c.layout, std::string(c.value)), c.expected);
}

TEST(CharacterField, CodeZeroIsWrittenAsThatByte) {
  EXPECT_EQ(format("4(5X,A1)",
                   {std::string("W"), std::string("S"), std::string(1, '\0'), std::string("C")}),
            std::string("     W     S     \0     C\r\n", 26));
}

TEST(Layout, RecordsOfAStatement) {
  struct Case {
    const char* layout;
    std::vector<Value> values;
    std::string expected;
  } cases[] = {
      // Texts, blanks and record ends are written as they are met.
      {"' Job is ' A8", {std::string("TRIAL")}, " Job is    TRIAL\r\n"},
      {"/ '   For year' 1X A8", {std::string("1995")}, "\r\n   For year     1995\r\n"},
      {"/ ' DIMENSIONS OF ARRAYS:'", {}, "\r\n DIMENSIONS OF ARRAYS:\r\n"},
      {"'a' / 'b' / 'c'", {}, "a\r\nb\r\nc\r\n"},
      {"A", {}, "\r\n"},
      {"", {}, "\r\n"},
      // Writing stops at the first data field without a value; the texts
      // before it are still written.
      {"I2 ' and ' I2 ' end'", {std::int64_t{1}}, " 1 and \r\n"},
      {"10I6",
       {std::int64_t{3}, std::int64_t{4}, std::int64_t{5}, std::int64_t{1}, std::int64_t{3},
        std::int64_t{3}, std::int64_t{10}},
       "     3     4     5     1     3     3    10\r\n"},
      {"I6,4X,A8", {std::int64_t{3}, std::string("1995    ")}, "     3    1995    \r\n"},
      {"(I5,1X,49I5)", {std::int64_t{1}, std::int64_t{7}, std::int64_t{7}}, "    1     7    7\r\n"},
      // Lower case, blanks as separators and outer parentheses are notation.
      {"( i3 1x i3 )", {std::int64_t{1}, std::int64_t{2}}, "  1   2\r\n"},
      // A repeated group.
      {"2(I2,'|')", {std::int64_t{1}, std::int64_t{2}}, " 1| 2|\r\n"},
      {"I1,2(1X,2(I1))",
       {std::int64_t{1}, std::int64_t{2}, std::int64_t{3}, std::int64_t{4}, std::int64_t{5}},
       "1 23 45\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(format(c.layout, c.values), c.expected) << c.layout;
}

TEST(Layout, ReversionWhenValuesOutrunTheLayout) {
  // 30I6 with 31 values: thirty per line, the last alone on a second line.
  std::string thirty;
  for (int i = 1; i <= 30; ++i) thirty += (i < 10 ? "     " : "    ") + std::to_string(i);
  EXPECT_EQ(format("30I6", counting(31)), thirty + "\r\n    31\r\n");

  // Without a group the whole layout starts again: an I5 field first.
  std::string ones(200, '1');
  std::vector<Value> values{std::int64_t{7}};
  for (int i = 0; i < 202; ++i) values.emplace_back(std::int64_t{1});
  EXPECT_EQ(format("I5,1X,200I1", values),
            "    7 " + ones + "\r\n    1 1\r\n");  // value 202 is an I5 again

  // With a group, from the last top-level group with its repeat count. The
  // blanks before the A1 that has no value are still written.
  EXPECT_EQ(format("4(5X,A1)", {std::string("a"), std::string("b"), std::string("c"),
                                std::string("d"), std::string("e")}),
            "     a     b     c     d\r\n     e     \r\n");
  EXPECT_EQ(format("'x' I2 2(I2)", counting(5)), "x 1 2 3\r\n 4 5\r\n");
  EXPECT_EQ(format("' Total',49I5", counting(50)).substr(0, 11), " Total    1");
  EXPECT_TRUE(format("' Total',49I5", counting(50)).ends_with("   49\r\n Total   50\r\n"));
}

TEST(Layout, DollarLeavesTheRecordOpen) {
  ScratchDirectory dir;
  {
    OutputUnit out(22, (dir.path() / "out").string(), OutputUnit::Style::kFile, false);
    out.open();
    write_record(out, Layout("A $"), " Prompt - ");
    write_record(out, Layout("A"), "answer");
    // $ with values left over does not keep the record open at the stop.
    write_record(out, Layout("I2,I2 $"), std::int32_t{1});
    write_record(out, Layout("' - ' $"));
    write_record(out, Layout("'end'"));
    out.close();
  }
  EXPECT_EQ(dir.read("out"), " Prompt - answer\r\n 1\r\n - end\r\n");
}

TEST(Layout, ConsoleStyleDropsTheFirstCharacterOfEveryRecord) {
  ScratchDirectory dir;
  {
    OutputUnit out(0, (dir.path() / "out").string(), OutputUnit::Style::kConsole, true);
    out.open();
    write_record(out, Layout("' Job is ' A5"), "TRIAL");
    write_record(out, Layout("/ '   For year' 1X A4"), "1995");
    write_record(out, Layout("I3"), std::int32_t{42});
    write_record(out, Layout("A $"), " Do you wish default file names (Y or N)? - ");
    out.close();
  }
  EXPECT_EQ(dir.read("out"),
            "Job is TRIAL\n\n  For year 1995\n42\nDo you wish default file names (Y or N)? - ");
}

TEST(Layout, OnAConsoleTheRecordAfterAnAnsweredPromptStartsAfresh) {
  // The typed answer's line end ends the prompt's record on the screen: the
  // next record drops its first character like any other. Written as a
  // file, the next record continues the prompt's line.
  for (auto style : {OutputUnit::Style::kConsole, OutputUnit::Style::kFile}) {
    ScratchDirectory dir;
    dir.write("answers", "y\nT\n3\n4\n");
    {
      OutputUnit out(0, (dir.path() / "out").string(), style, true);
      out.open();
      InputUnit in(0, (dir.path() / "answers").string(), &out);
      in.open();
      std::string_view answer;
      write_record(out, Layout("A $"), " Yes or no? - ");
      in.next_record(answer);
      write_record(out, Layout("A"), " Enter job name");
      in.next_record(answer);
      write_record(out, Layout("A $"), "     years - ");
      in.next_record(answer);
      write_record(out, Layout("A $"), " locations - ");
      in.next_record(answer);
      write_record(out, Layout("/ A"), " DIMENSIONS");
      out.close();
    }
    EXPECT_EQ(dir.read("out"), style == OutputUnit::Style::kConsole
                                   ? "Yes or no? - Enter job name\n    years - locations - \n"
                                     "DIMENSIONS\n"
                                   : " Yes or no? -  Enter job name\r\n     years - "
                                     " locations - \r\n DIMENSIONS\r\n");
  }
}

TEST(OutputUnit, AFailedWriteStopsTheRun) {
  // /dev/full takes the open and refuses every write.
  OutputUnit out(23, "/dev/full", OutputUnit::Style::kFile, false);
  out.open();
  write_record(out, Layout("A"), "lost");
  try {
    out.close();
    ADD_FAILURE() << "a failed write passed as a success";
  } catch (const RunError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("unit 23 (/dev/full): write failed")) << e.what();
  }
}

TEST(Layout, MalformedNotationIsRefused) {
  for (const char* bad : {"I", "F10", "F10.", "E16", "Q5", "(I5", "I5)", "'open", "5", "I5 $ I5"}) {
    EXPECT_THROW(Layout{bad}, std::invalid_argument) << bad;
  }
}

TEST(Layout, ValueOfTheWrongKindIsAProgrammingError) {
  EXPECT_THROW(format("I5", {Value(1.5)}), std::logic_error);
  EXPECT_THROW(format("F5.1", {Value(std::string("x"))}), std::logic_error);
  EXPECT_THROW(format("'text'", {Value(std::int64_t{1})}), std::logic_error);
}

// A row kept as a head that changes and a tail that grows a value at a time:
// head + tail + the end written by a writer at the tail's position is the
// record one writer gives with all the values, for every number of values
// (including those that continue the row on further records).
TEST(RecordWriter, ContinuesARecordFromAnEarlierPosition) {
  const Layout row{"I5,1X,49I5"};
  OutputUnit tail(OutputUnit::InMemory{});
  std::size_t position = 0;
  {
    OutputUnit head(OutputUnit::InMemory{});
    RecordWriter writer(head, row);
    writer.put(7);
    writer.put(0);
    position = writer.position();
  }
  std::vector<std::int32_t> years;
  for (std::int32_t k = 1; k <= 120; ++k) {
    years.push_back(k * 3);
    RecordWriter grow(tail, row, position);
    grow.put(k * 3);
    position = grow.position();

    OutputUnit whole(OutputUnit::InMemory{});
    RecordWriter once(whole, row);
    once.put(7);
    once.put(k * 100);
    once.put_all(std::span<const std::int32_t>(years));
    once.finish();

    OutputUnit pieced(OutputUnit::InMemory{});
    RecordWriter head(pieced, row);
    head.put(7);
    head.put(k * 100);
    pieced.append(tail.text());
    RecordWriter(pieced, row, position).finish();
    ASSERT_EQ(pieced.text(), whole.text()) << k << " values";
  }
}

// A value repeated gives the bytes of put_all of that many copies: across the
// end of a run of like fields, a reversion and a record end, with values
// that overflow their fields, on a file and on a console.
TEST(RecordWriter, RepeatedValueIsWrittenAsEveryCopy) {
  struct Case {
    const char* layout;
    std::int32_t value;
    std::size_t count;
  } cases[] = {
      {"I5,1X,200I1", 0, 200}, {"I5,1X,200I1", 1, 17},  {"I5,1X,200I1", 12, 200},
      {"I5,1X,200I1", 0, 0},   {"I5,1X,200I1", 0, 450}, {"I5,1X,3I4,2X,2I1", 7, 9},
      {"I5,1X,49I5", -3, 120}, {"I5,1X,49I5", 123456, 3},
  };
  for (const OutputUnit::Style style : {OutputUnit::Style::kFile, OutputUnit::Style::kConsole}) {
    for (const Case& c : cases) {
      const Layout layout{c.layout};
      const std::vector<std::int32_t> copies(c.count, c.value);
      OutputUnit each(OutputUnit::InMemory{}, style);
      RecordWriter all(each, layout);
      all.put(42);
      all.put_all(std::span<const std::int32_t>(copies));
      all.finish();
      OutputUnit repeated(OutputUnit::InMemory{}, style);
      RecordWriter once(repeated, layout);
      once.put(42);
      once.put_repeated(c.value, c.count);
      once.finish();
      EXPECT_EQ(repeated.text(), each.text())
          << c.layout << ", " << c.value << " x " << c.count
          << (style == OutputUnit::Style::kConsole ? ", console" : "");
    }
  }
}

}  // namespace
}  // namespace locprox
