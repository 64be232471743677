// Names for the names file: 8 bytes at most, distinct within their kind.
#include "import/short_names.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "support/case_names.h"

namespace locprox {
namespace {

struct Case {
  const char* name;
  std::vector<std::string> full;
  std::vector<std::string> short_names;
  std::size_t cut;
  std::size_t suffixed;
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const std::vector<Case> kCases = {
    {"names that fit stay", {"2019", "NORTHFLD", "A B"}, {"2019", "NORTHFLD", "A B"}, 0, 0},
    {"the first clash keeps the plain cut",
     {"Station-North", "Station-South", "Station-East"},
     {"Station-", "Statio~2", "Statio~3"}, 3, 2},
    // A name that fits is placed first, even when it comes later, so that
    // the cut name moves, not the name the user wrote.
    {"a name that fits keeps it against a cut",
     {"Station-North", "Station-"}, {"Statio~2", "Station-"}, 1, 1},
    {"a suffix never takes a name that exists",
     {"Station-North", "Station-South", "Statio~2"}, {"Station-", "Statio~3", "Statio~2"}, 2, 1},
    // The names file pads with blanks: a cut that ends in a blank is the same
    // name without it.
    {"blanks at the end of a cut are dropped", {"Station North", "Station"},
     {"Statio~2", "Station"}, 1, 1},
    {"control bytes become blanks", {"A\tB", "C\nD"}, {"A B", "C D"}, 0, 0},
    {"names equal once cleaned are made distinct", {"A B", "A\tB"}, {"A B", "A B~2"}, 0, 1},
    // "Zürich-Nord" is Z, ü (2 bytes), r, i, c, h, -: 8 bytes end after the
    // hyphen. "abcdefg€": the euro sign (3 bytes) would be cut after its
    // first byte, so the cut falls before it.
    {"UTF-8 characters are never cut in two",
     {"Z\xC3\xBCrich-Nord", "\xC3\xA5\xC3\xA5\xC3\xA5\xC3\xA5X", "abcdefg\xE2\x82\xAC"},
     {"Z\xC3\xBCrich-", "\xC3\xA5\xC3\xA5\xC3\xA5\xC3\xA5", "abcdefg"}, 3, 0},
    {"suffixes reach two digits",
     {"LongName01", "LongName02", "LongName03", "LongName04", "LongName05", "LongName06",
      "LongName07", "LongName08", "LongName09", "LongName10", "LongName11"},
     {"LongName", "LongNa~2", "LongNa~3", "LongNa~4", "LongNa~5", "LongNa~6", "LongNa~7",
      "LongNa~8", "LongNa~9", "LongN~10", "LongN~11"},
     11, 10},
};

class ShortNamesCases : public ::testing::TestWithParam<Case> {};

TEST_P(ShortNamesCases, FollowTheRule) {
  const Case& c = GetParam();
  const ShortNames result = short_names(c.full);
  EXPECT_EQ(result.names, c.short_names);
  EXPECT_EQ(result.cut, c.cut);
  EXPECT_EQ(result.suffixed, c.suffixed);
}

INSTANTIATE_TEST_SUITE_P(Names, ShortNamesCases, ::testing::ValuesIn(kCases),
                         locprox::testing::NameOfCase());

TEST(ShortNames, ManyClashesStayDistinctAndShort) {
  // 12,000 entries whose names share their first 8 bytes, with some short
  // names in the way of the suffixes.
  std::vector<std::string> full;
  for (int i = 0; i < 12000; ++i) full.push_back("Genotype-" + std::to_string(i));
  full.push_back("Genot~10");
  full.push_back("Geno~100");
  const ShortNames result = short_names(full);
  std::set<std::string> distinct;
  for (const std::string& name : result.names) {
    EXPECT_LE(name.size(), 8u) << name;
    distinct.insert(name);
  }
  EXPECT_EQ(distinct.size(), full.size());
  EXPECT_EQ(result.names[12000], "Genot~10");
  EXPECT_EQ(result.names[12001], "Geno~100");
  EXPECT_EQ(result.names[8], "Genoty~9");
  EXPECT_EQ(result.names[9], "Genot~11");  // ~10 is taken by a name of the table
}

TEST(OneLineText, CutsAtCharacterBoundariesAndDropsControlBytes) {
  EXPECT_EQ(one_line_text("Wheat\r\ntrial", 50), "Wheat  trial");
  EXPECT_EQ(one_line_text(std::string(60, 'x'), 50), std::string(50, 'x'));
  // 49 bytes, then a 2-byte character: the cut falls before it.
  EXPECT_EQ(one_line_text(std::string(49, 'x') + "\xC3\xA9", 50), std::string(49, 'x'));
  EXPECT_EQ(one_line_text("ab   ", 4), "ab");
}

}  // namespace
}  // namespace locprox
