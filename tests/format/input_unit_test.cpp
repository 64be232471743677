// Input records: line ends, the last line, the step back, reading by layout.
#include "format/input_unit.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <utility>
#include <string>
#include <vector>

#include "format/record_reader.h"
#include "format/run_error.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

// Every record of a file holding `text`.
std::vector<std::string> records(std::string_view text) {
  ScratchDirectory dir;
  dir.write("in", text);
  InputUnit unit(21, (dir.path() / "in").string());
  unit.open();
  std::vector<std::string> all;
  std::string_view record;
  while (unit.next_record(record)) all.emplace_back(record);
  EXPECT_FALSE(unit.next_record(record));  // the end stays the end
  return all;
}

TEST(InputRecords, LineEnds) {
  using R = std::vector<std::string>;
  struct Case {
    const char* name;
    std::string text;
    R expected;
  } cases[] = {
      {"LF", "a\nbb\n", R{"a", "bb"}},
      {"CR LF", "a\r\nbb\r\n", R{"a", "bb"}},
      {"last line without LF", "a\nbb", R{"a", "bb"}},
      {"last line CR without LF", "a\r\nbb\r", R{"a", "bb"}},
      {"empty file", "", R{}},
      {"one empty line", "\n", R{""}},
      {"empty lines", "\n\r\n\n", R{"", "", ""}},
      {"CR inside a record stays", "a\rb\n", R{"a\rb"}},
      {"only the CR before the LF goes", "a\r\r\n", R{"a\r"}},
      {"blanks are kept", "  a  \n", R{"  a  "}},
  };
  for (const Case& c : cases) EXPECT_EQ(records(c.text), c.expected) << c.name;
}

TEST(InputRecords, LongRecordsAcrossBlocks) {
  // Records longer than one read block, and one ending right at its edge.
  std::string a(3'000'000, 'a');
  std::string b((1 << 20) - 1, 'b');
  EXPECT_EQ(records(b + "\n" + a + "\r\nc"), (std::vector<std::string>{b, a, "c"}));
}

// A file of many large blocks gives the records and line numbers of reading
// it a small block at a time: lines cross the blocks' edges, and some are
// longer than a block.
TEST(InputRecords, LargeBlocksGiveTheRecordsOfSmallBlocks) {
  std::mt19937_64 random(11);
  std::string text;
  while (text.size() < 7 * InputUnit::kLargeBlock) {
    const std::size_t pick = random() % 1000;
    const std::size_t length = pick == 0 ? 100'000 + random() % 2'000'000 : random() % 120;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + random() % 26);
    text += random() % 4 == 0 ? "\r\n" : "\n";
  }
  text += "last line";
  ScratchDirectory dir;
  dir.write("in", text);
  auto read_all = [&](std::size_t block) {
    InputUnit unit(21, (dir.path() / "in").string(), nullptr, block);
    unit.open();
    std::vector<std::pair<std::string, long>> all;
    std::string_view record;
    while (unit.next_record(record)) all.emplace_back(record, unit.line_number());
    EXPECT_FALSE(unit.next_record(record));
    return all;
  };
  const auto large = read_all(InputUnit::kLargeBlock);
  const auto small = read_all(4096);
  ASSERT_EQ(large.size(), small.size());
  EXPECT_TRUE(large == small);
  EXPECT_EQ(large.back().first, "last line");
}

TEST(InputRecords, StepBackGivesTheSameRecordOnceMore) {
  ScratchDirectory dir;
  dir.write("in", "1\n2\n3");
  InputUnit unit(20, (dir.path() / "in").string());
  unit.open();
  std::string_view record;
  ASSERT_TRUE(unit.next_record(record));
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "2");
  EXPECT_EQ(unit.line_number(), 2);
  unit.step_back();
  EXPECT_EQ(unit.line_number(), 1);
  EXPECT_THROW(unit.step_back(), RunError);  // only one record back
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "2");
  EXPECT_EQ(unit.line_number(), 2);
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "3");  // the last line, without LF, can be stepped back too
  unit.step_back();
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "3");
  EXPECT_FALSE(unit.next_record(record));
}

TEST(InputRecords, StepBackAfterARecordThatCrossedABlock) {
  ScratchDirectory dir;
  std::string first((1 << 20) - 3, 'x');
  dir.write("in", first + "\n12345678\n9\n");
  InputUnit unit(20, (dir.path() / "in").string());
  unit.open();
  std::string_view record;
  ASSERT_TRUE(unit.next_record(record));
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "12345678");
  unit.step_back();
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "12345678");
  ASSERT_TRUE(unit.next_record(record));
  EXPECT_EQ(record, "9");
}

TEST(InputRecords, MissingFileAndDirectoryAreRefusedWithTheirUnit) {
  ScratchDirectory dir;
  InputUnit missing(20, (dir.path() / "none.SEQ").string());
  try {
    missing.open();
    ADD_FAILURE();
  } catch (const RunError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("unit 20 (")) << e.what();
    EXPECT_NE(std::string(e.what()).find("none.SEQ)"), std::string::npos) << e.what();
  }
  InputUnit directory(21, dir.path().string());
  EXPECT_THROW(directory.open(), RunError);
}

TEST(ReadByLayout, AFieldsTakeTheStartOfOneRecord) {
  ScratchDirectory dir;
  dir.write("in", "yes\n\n1995 main season\r\n  ab\nx");
  InputUnit unit(0, (dir.path() / "in").string());
  unit.open();
  std::array<char, 1> answer;
  read_characters(unit, answer);
  EXPECT_EQ(answer[0], 'y');
  read_characters(unit, answer);
  EXPECT_EQ(answer[0], ' ');  // an empty line gives a blank
  std::array<char, 8> name;
  read_characters(unit, name);
  EXPECT_EQ(std::string(name.data(), 8), "1995 mai");
  read_characters(unit, name);
  EXPECT_EQ(std::string(name.data(), 8), "  ab    ");  // leading blanks kept, padded
  read_characters(unit, name);
  EXPECT_EQ(std::string(name.data(), 8), "x       ");
  try {
    read_characters(unit, name);
    ADD_FAILURE();
  } catch (const RunError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with("the console: end of file")) << e.what();
  }
}

}  // namespace
}  // namespace locprox
