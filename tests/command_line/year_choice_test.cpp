// The full names of the years for --from and --to: from a table of names
// beside the job, or none where there is no such table.
#include "command_line/year_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ScratchDirectory;

TEST(FullYearNames, FromATableOfNamesOrNone) {
  const std::string header = "kind,number,name,full_name\n";
  const struct {
    const char* what;
    std::string text;  // empty: no file
    std::vector<std::string> full_names;
    std::string problem;  // the start of the message after the file's name; empty: none
  } cases[] = {
      {"a table of names",
       header + "year,2,2020/202,2020/2021\nyear,1,2019/202,2019/2020\nlocation,1,L,L\n",
       {"2019/2020", "2020/2021"},
       ""},
      {"columns in another order and case",
       "FULL_NAME,Kind,Number\n\" 2019 \",YEAR,1\nB,year,2\n",
       {" 2019 ", "B"},
       ""},
      {"fewer years than the job's: the rest have none", header + "year,1,A,A\n", {"A", ""}, ""},
      {"more years than the job's: the rest are not used",
       header + "year,1,A,A\nyear,2,B,B\nyear,3,C,C\n",
       {"A", "B"},
       ""},
      {"no file", "", {}, ""},
      {"another table", "year,location,entry,value\n2019,L,G,1\n", {}, ", line 1"},
      {"a year twice", header + "year,1,A,A\nyear,1,B,B\n", {}, ", line 3"},
      {"a year missing", header + "year,2,B,B\n", {}, ": "},
      {"malformed quoting", header + "year,1,A,\"A\n", {}, ", line 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDirectory dir;
    if (!c.text.empty()) dir.write("J.names.csv", c.text);
    const std::string path = (dir.path() / "J.names.csv").string();
    std::string problem;
    EXPECT_EQ(full_year_names(path, 2, &problem), c.full_names);
    if (c.problem.empty()) {
      EXPECT_EQ(problem, "");
    } else {
      EXPECT_EQ(problem.rfind(path + c.problem, 0), 0u) << problem;
    }
  }
}

}  // namespace
}  // namespace locprox
