// Problem sizes at the edges of the work arrays, and sizes and year ranges
// far outside any sensible problem: every one ends normally (status 0),
// either with the analysis or with the messages that refuse it.
#include "faults/fault_job.h"
#include "support/case_names.h"

namespace locprox::testing {
namespace {

struct SizeRow {
  const char* name;
  long long MAXY, MAXL, MAXG, IYS, IYF;
  std::vector<std::string> shown;      // on the console and in the report
  std::vector<std::string> not_shown;  // on neither
  bool analysis_runs;
};

// A names file that agrees with the sizes.
std::string names_for(long long years, long long locations, long long entries) {
  // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on a chain
  // of + that starts with a literal.
  std::string names = "Sizes\n";
  for (long long count : {years, locations, entries})
    names.append(std::to_string(count)).append(" ");
  names.back() = '\n';
  for (long long n = 0; n < years + locations + entries; ++n)
    names.append("N").append(std::to_string(n)).append("\n");
  return names;
}

const char* const kDZ = " INCREASE DIMENSION OF DZ ARRAY TO";
const char* const kZ = " INCREASE DIMENSION OF Z ARRAY TO";
const char* const kMZ = " INCREASE DIMENSION OF MZ ARRAY TO";
const char* const kAZ = " INCREASE DIMENSION OF AZ ARRAY TO";
const char* const kNegative = " Numbers of years, locations and entries must not be negative";
const char* const kBackwards = " Year sequential analysis finishes before it starts";
const char* const kOutside = " Years of the sequence must lie between 1 and MAXY";

std::vector<SizeRow> size_rows() {
  return {
      // MZ exactly full: 599·295 + 2·599 + 5·599 + 1 + 3·179700 + 1 = 720000.
      {"MZ exactly full runs", 1, 599, 295, 1, 1, {}, {kDZ, kZ, kMZ, kAZ}, true},
      {"MZ one entry more is refused",
       1,
       599,
       296,
       1,
       1,
       {"MZ ARRAY TO  720599"},
       {kDZ, kZ, kAZ},
       false},
      // AZ exactly full: 9 + 450 + 640 + 1 = 1100.
      {"AZ exactly full runs", 9, 450, 640, 1, 1, {}, {kDZ, kZ, kMZ, kAZ}, true},
      {"AZ one year more is refused",
       10,
       450,
       640,
       1,
       1,
       {"AZ ARRAY TO    1101"},
       {kDZ, kZ, kMZ},
       false},
      {"DZ holds 706 locations", 1, 706, 1, 1, 1, {kMZ}, {kDZ, kZ, kAZ}, false},
      {"DZ does not hold 707", 1, 707, 1, 1, 1, {"DZ ARRAY TO  250279", kMZ}, {kZ, kAZ}, false},
      {"Z exactly full", 1, 1, 299999, 1, 1, {kAZ}, {kDZ, kZ}, false},
      {"Z one entry more is refused",
       1,
       1,
       300000,
       1,
       1,
       {"Z ARRAY TO  300001", kAZ},
       {kDZ},
       false},
      {"largest sizes saturate",
       2147483647,
       2147483647,
       2147483647,
       1,
       1,
       {"DZ ARRAY TO********", "Z ARRAY TO********", "MZ ARRAY TO********", "AZ ARRAY TO********"},
       {},
       false},
      {"negative locations", 3, -1, 4, 1, 3, {kNegative}, {kDZ, kZ, kMZ, kAZ}, false},
      {"smallest sizes", 3, -2147483648LL, -2147483648LL, 1, 3, {kNegative}, {kMZ}, false},
      {"sequence from the largest to the smallest year",
       3,
       2,
       4,
       2147483647,
       -2147483648LL,
       {kBackwards},
       {kMZ},
       false},
      {"sequence over every year number",
       3,
       2,
       4,
       -2147483648LL,
       2147483647,
       {kOutside},
       {kMZ},
       false},
      {"first year 0", 3, 2, 4, 0, 3, {kOutside}, {}, false},
      {"last year past MAXY", 3, 2, 4, 1, 4, {kOutside}, {}, false},
      {"last year far past MAXY", 3, 2, 4, 3, 99999, {kOutside}, {}, false},
      {"all sizes zero", 0, 0, 0, 1, 0, {}, {kDZ, kZ, kMZ, kAZ, kOutside, kBackwards}, true},
      {"no locations", 2, 0, 5, 1, 2, {}, {kDZ, kZ, kMZ, kAZ}, true},
      {"no entries", 2, 3, 0, 1, 2, {}, {kDZ, kZ, kMZ, kAZ}, true},
      {"empty sequence far outside the years",
       3,
       2,
       4,
       100000,
       99999,
       {},
       {kOutside, kBackwards},
       true},
  };
}

// Rows print as their names in test listings.
void PrintTo(const SizeRow& row, std::ostream* out) {
  *out << row.name;
}

class ProblemSizes : public ::testing::TestWithParam<SizeRow> {};

TEST_P(ProblemSizes, EndNormallyWithTheRightMessages) {
  const SizeRow& row = GetParam();
  const bool small =
      row.MAXL >= 0 && row.MAXG >= 0 && row.MAXY >= 0 && row.MAXY + row.MAXL + row.MAXG < 2000;
  auto files = job_files(small ? names_for(row.MAXY, row.MAXL, row.MAXG) : kNames, kObservations);
  const std::string answers = "y\nT\n" + std::to_string(row.MAXY) + "\n" +
                              std::to_string(row.MAXL) + "\n" + std::to_string(row.MAXG) + "\n" +
                              std::to_string(row.IYS) + "\n" + std::to_string(row.IYF) +
                              "\nw\ns\nc\n";
  FaultRun run(files, answers);
  if (row.analysis_runs) {
    run.expect_normal_end();
  } else {
    run.expect_refused_end();
  }
  run.expect_only_changed({"T.OCC", "T.PRX"});
  const std::string report = run.file("T.OCC");
  for (const std::string& text : row.shown) {
    EXPECT_NE(run.console().find(text), std::string::npos) << text << "\n" << run.console();
    EXPECT_NE(report.find(text), std::string::npos) << text;
  }
  for (const std::string& text : row.not_shown) {
    EXPECT_EQ(run.console().find(text), std::string::npos) << text;
    EXPECT_EQ(report.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(run.console().find(" For each year") != std::string::npos, row.analysis_runs);
}

INSTANTIATE_TEST_SUITE_P(Table, ProblemSizes, ::testing::ValuesIn(size_rows()),
                         locprox::testing::NameOfCase());

}  // namespace
}  // namespace locprox::testing
