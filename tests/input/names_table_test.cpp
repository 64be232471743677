// The table of names (STEM.names.csv): its rows by kind in number order, as
// the table writes them, and every fault stopping with the file and line.
#include "input/names_table.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "input/table_error.h"
#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

NamesTableRows read_text(const ScratchDirectory& dir, const std::string& text) {
  dir.write("t.names.csv", text);
  return read_names_table((dir.path() / "t.names.csv").string());
}

// A kind's rows as "number:name|full_name".
std::vector<std::string> shown(const NamesTableRows& rows, NameKind kind) {
  std::vector<std::string> out;
  for (const TableName& row : rows.of(kind)) {
    out.push_back(std::to_string(row.number) + ":" + row.name + "|" + row.full_name);
  }
  return out;
}

TEST(NamesTable, ReadsTheRowsInEveryFormTheTableMayTake) {
  const std::vector<std::string> years = {"1:2019/202|2019/2020"};
  const std::vector<std::string> locations = {"1:North|North, upper field",
                                              "2:South|The \"South\" field"};
  const std::vector<std::string> entries = {"1:G1|", "2:G2|G2 line\nbreak"};
  const std::string rows =
      "year,1,2019/202,2019/2020\n"
      "location,1,North,\"North, upper field\"\n"
      "location,2,South,\"The \"\"South\"\" field\"\n"
      "entry,1,G1,\n"
      "entry,2,G2,\"G2 line\nbreak\"\n";
  const struct {
    const char* what;
    std::string text;
  } cases[] = {
      {"as the import writes it", "kind,number,name,full_name\n" + rows},
      {"no line end after the last row",
       "kind,number,name,full_name\n" + rows.substr(0, rows.size() - 1)},
      {"a byte-order mark and CR LF line ends",
       "\xEF\xBB\xBFkind,number,name,full_name\r\n"
       "year,1,2019/202,2019/2020\r\n"
       "location,1,North,\"North, upper field\"\r\n"
       "location,2,South,\"The \"\"South\"\" field\"\r\n"
       "entry,1,G1,\r\n"
       "entry,2,G2,\"G2 line\nbreak\"\r\n"},
      {"columns reordered and in upper case, a further column, rows in any order",
       "Full_Name,NOTE,number,KIND,Name\n"
       "\"G2 line\nbreak\",,2,entry,G2\n"
       "\"The \"\"South\"\" field\",x,2,Location,South\n"
       "2019/2020,,1,YEAR,2019/202\n"
       "\"North, upper field\",,1,location,North\n"
       ",,1,entry,G1\n"},
      {"blank lines before the header and between rows",
       "\n \nkind,number,name,full_name\n\n" + rows + "\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDirectory dir;
    const NamesTableRows table = read_text(dir, c.text);
    EXPECT_EQ(shown(table, NameKind::kYear), years);
    EXPECT_EQ(shown(table, NameKind::kLocation), locations);
    EXPECT_EQ(shown(table, NameKind::kEntry), entries);
  }
}

TEST(NamesTable, KeepsBlanksAndTakesTheNameColumnAsOptional) {
  ScratchDirectory dir;
  const NamesTableRows table = read_text(
      dir, "kind,number,full_name\nyear,1, 2019 \nlocation,1,\" A \"\nentry,1,G\n");
  EXPECT_EQ(shown(table, NameKind::kYear), (std::vector<std::string>{"1:| 2019 "}));
  EXPECT_EQ(shown(table, NameKind::kLocation), (std::vector<std::string>{"1:| A "}));
  EXPECT_EQ(shown(table, NameKind::kEntry), (std::vector<std::string>{"1:|G"}));
  // A kind may have no rows at all.
  const NamesTableRows years_only = read_text(dir, "kind,number,name,full_name\nyear,1,Y,Y\n");
  EXPECT_EQ(years_only.of(NameKind::kYear).size(), 1u);
  EXPECT_TRUE(years_only.of(NameKind::kLocation).empty());
}

struct Fault {
  const char* name;
  std::string text;
  std::string message;  // after the file's path
};

// Printed by its name, so that the test names ctest lists read as words.
void PrintTo(const Fault& c, std::ostream* os) { *os << c.name; }

const std::string kHeader = "kind,number,name,full_name\n";

const std::vector<Fault> kFaults = {
    {"empty file", "",
     ": the file is empty; it should begin with the header kind,number,name,full_name"},
    {"only blank lines and a byte-order mark", "\xEF\xBB\xBF\n  \r\n",
     ": the file is empty; it should begin with the header kind,number,name,full_name"},
    {"no full_name column", "kind,number,name\nyear,1,Y\n",
     ", line 1: the header should name the columns kind, number, name and full_name"},
    {"no kind column, header after a blank line", "\nnumber,name,full_name\n1,Y,Y\n",
     ", line 2: the header should name the columns kind, number, name and full_name"},
    {"no number column", "kind,name,full_name\nyear,Y,Y\n",
     ", line 1: the header should name the columns kind, number, name and full_name"},
    {"a kind of no such name", kHeader + "year,1,Y,Y\nplace,1,A,A\n",
     ", line 3: the kind \"place\" is none of year, location and entry"},
    {"a kind with a blank", kHeader + "year ,1,Y,Y\n",
     ", line 2: the kind \"year \" is none of year, location and entry"},
    {"number 0", kHeader + "year,0,Y,Y\n",
     ", line 2: the number \"0\" is not a whole number from 1 to 10000000"},
    {"a negative number", kHeader + "year,1,Y,Y\nyear,-2,Y,Y\n",
     ", line 3: the number \"-2\" is not a whole number from 1 to 10000000"},
    {"a number in words", kHeader + "entry,one,G,G\n",
     ", line 2: the number \"one\" is not a whole number from 1 to 10000000"},
    {"a fraction", kHeader + "entry,1.5,G,G\n",
     ", line 2: the number \"1.5\" is not a whole number from 1 to 10000000"},
    {"no number", kHeader + "entry,,G,G\n",
     ", line 2: the number \"\" is not a whole number from 1 to 10000000"},
    {"a number beyond any data set", kHeader + "entry,10000001,G,G\n",
     ", line 2: the number \"10000001\" is not a whole number from 1 to 10000000"},
    {"a number too large for 64 bits", kHeader + "entry,99999999999999999999,G,G\n",
     ", line 2: the number \"99999999999999999999\" is not a whole number from 1 to 10000000"},
    {"a number twice", kHeader + "location,1,A,A\nlocation,2,B,B\nLOCATION,2,C,C\n",
     ", line 4: location 2 stands twice in the table"},
    {"a number twice, after a name over two lines",
     kHeader + "entry,1,G,\"two\nlines\"\nentry,1,H,H\n",
     ", line 4: entry 1 stands twice in the table"},
    {"a gap", kHeader + "year,1,Y,Y\nentry,1,A,A\nentry,3,C,C\n",
     ": entry 2 is missing; the entries are numbered 1 to 3"},
    {"no first number", kHeader + "location,2,B,B\n",
     ": location 1 is missing; the locations are numbered 1 to 2"},
    {"too few fields", kHeader + "year,1,Y,Y\nlocation,1,A\n",
     ", line 3: 3 field(s) where the header has 4"},
    {"too many fields", kHeader + "year,1,Y,Y,extra\n",
     ", line 2: 5 field(s) where the header has 4"},
    {"a quote inside an unquoted field", kHeader + "year,1,Y,Y\nlocation,1,A,A\"x\"\n",
     ", line 3, column 4: a quote inside an unquoted field"},
    {"a quoted field not closed", kHeader + "year,1,Y,Y\nlocation,1,A,\"A\nlocation,2,B,B\n",
     ", line 3, column 4: a quoted field is not closed before the end of the table"},
};

class NamesTableFaults : public ::testing::TestWithParam<Fault> {};

TEST_P(NamesTableFaults, StopNamingTheFileAndLine) {
  const Fault& f = GetParam();
  ScratchDirectory dir;
  const std::string path = (dir.path() / "t.names.csv").string();
  try {
    read_text(dir, f.text);
    ADD_FAILURE() << "no error";
  } catch (const TableError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.substr(0, path.size() + f.message.size()), path + f.message) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, NamesTableFaults, ::testing::ValuesIn(kFaults),
                         locprox::testing::NameOfCase());

TEST(NamesTable, AMissingFileIsAFaultOfTheFile) {
  ScratchDirectory dir;
  const std::string path = (dir.path() / "none.names.csv").string();
  try {
    read_names_table(path);
    ADD_FAILURE() << "no error";
  } catch (const TableError& error) {
    EXPECT_EQ(error.fault(), TableError::Fault::kFile);
    EXPECT_EQ(std::string(error.what()), path + ": cannot be opened: No such file or directory");
  }
}

}  // namespace
}  // namespace locprox
