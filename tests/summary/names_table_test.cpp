#include "summary/names_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "summary/errors.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

Dimensions dims(std::int32_t maxy, std::int32_t maxl, std::int32_t maxg) {
  Dimensions d;
  d.maxy = maxy;
  d.maxl = maxl;
  d.maxg = maxg;
  return d;
}

NamesTable read_text(const std::string& text, const Dimensions& d = dims(1, 2, 1)) {
  testing::Scratch dir;
  dir.write("JOB.names.csv", text);
  return read_names_table(dir.file("JOB.names.csv"), d);
}

std::string refusal(const std::string& text, const Dimensions& d = dims(1, 2, 1)) {
  try {
    read_text(text, d);
  } catch (const InputError& e) {
    return e.what();
  }
  return {};
}

// One year, two locations, one entry, written in the ways a CSV writer may.
TEST(NamesTable, ReadsTheFullNamesAsRfc4180HasThem) {
  const std::string rows =
      "year,1,2023,2023\n"
      "location,1,Station-,Station-North\n"
      "location,2,Statio~1,\"Station-South, upper field\"\n"
      "entry,1,G1,\n";  // no full name: the short name
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"plain", "kind,number,name,full_name\n" + rows},
      {"CR LF and a byte-order mark",
       "\xEF\xBB\xBFkind,number,name,full_name\r\n"
       "year,1,2023,2023\r\n"
       "location,1,Station-,Station-North\r\n"
       "location,2,Statio~1,\"Station-South, upper field\"\r\n"
       "entry,1,G1,\r\n"},
      {"no line end after the last row",
       "kind,number,name,full_name\n" + rows.substr(0, rows.size() - 1)},
      {"columns in another order, upper case, one more column, rows in another order",
       "NUMBER,Full_Name,Kind,name,note\n"
       "2,\"Station-South, upper field\",location,Statio~1,x\n"
       "1,Station-North,location,Station-,\n"
       "1,G1,entry,G1,\n"
       "1,2023,YEAR,2023,\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const NamesTable table = read_text(c.text);
    EXPECT_EQ(table.years, (std::vector<std::string>{"2023"}));
    EXPECT_EQ(table.locations,
              (std::vector<std::string>{"Station-North", "Station-South, upper field"}));
    EXPECT_EQ(table.entries, (std::vector<std::string>{"G1"}));
    EXPECT_EQ(table.location_short_names, (std::vector<std::string>{"Station-", "Statio~1"}));
  }
}

TEST(NamesTable, KeepsBlanksQuotesAndLineEndsInsideFields) {
  const NamesTable table = read_text(
      "kind,number,name,full_name\n"
      "year,1,Y1,Y1\n"
      "location,1,A, Leading blank\n"
      "location,2,B,\"The \"\"North\"\" field\"\n"
      "entry,1,G1,G1\n");
  EXPECT_EQ(table.locations, (std::vector<std::string>{" Leading blank", "The \"North\" field"}));
  // A line end inside quotes is a character of the name, shown as "?".
  const NamesTable two_lines = read_text(
      "kind,number,name,full_name\nyear,1,Y1,Y1\nlocation,1,A,\"two\nlines\"\n"
      "location,2,B,B\nentry,1,G1,G1\n");
  EXPECT_EQ(two_lines.locations[0], "two?lines");
}

TEST(NamesTable, RefusesWhatIsNotATableOfThisJobNamingTheLine) {
  const std::string header = "kind,number,name,full_name\n";
  const std::string good = "year,1,Y,Y\nlocation,1,A,A\nlocation,2,B,B\nentry,1,G,G\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "the file is empty"},
      {"kind,number,name\n" + good, "line 1: the header should name the columns"},
      {header + "year,1,Y,Y\nplace,1,A,A\n", "line 3: the kind \"place\" is none of"},
      {header + "year,1,Y,Y\nlocation,one,A,A\n", "line 3: the number \"one\" is not a whole"},
      {header + "year,1,Y,Y\nlocation,0,A,A\n", "line 3: the number \"0\""},
      {header + "year,1,Y,Y\nlocation,1,A\n", "line 3: 3 field(s) where the header has 4"},
      {header + good + "location,2,C,C\n", "line 6: location 2 stands twice"},
      {header + "year,1,Y,Y\nlocation,1,A,A\nlocation,3,C,C\nentry,1,G,G\n",
       "location 2 is missing"},
      {header + "year,1,Y,Y\nlocation,1,A,A\nentry,1,G,G\n",
       "the table lists 1 locations where the proximity file has 2; it belongs to another job"},
      {header + good + "year,2,Z,Z\n", "the table lists 2 years where the proximity file has 1"},
      {header + "year,1,Y,Y\nlocation,1,A,\"A\nlocation,2,B,B\nentry,1,G,G\n", "not CSV"},
      {header + "year,1,Y,Y\nlocation,1,A,A\"x\"\n", "line 3: not CSV"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    const std::string message = refusal(text);
    EXPECT_NE(message.find(expected), std::string::npos) << message;
    EXPECT_NE(message.find("JOB.names.csv"), std::string::npos) << message;
  }
  // Counts written as asterisks in the proximity file (-1) are not checked.
  EXPECT_EQ(read_text(header + good + "entry,2,H,H\n", dims(-1, 2, -1)).entries.size(), 2u);
}

}  // namespace
}  // namespace locprox::summary
