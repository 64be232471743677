// Golden runs: each job of tests/fixtures/golden/ (and the example job in
// examples/) is run through the built program in a scratch directory with its
// console answers, and the console output, the occurrence report and the
// proximity file are compared byte for byte with the expected files. Those
// were produced by tests/golden/reference_model.py, a plain model written
// independently of the C++ code (regenerate them with
// tests/golden/regenerate.sh). Each job's README.md says what it covers and
// works out some of its figures by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace {

namespace fs = std::filesystem;
using locprox::testing::read_file;
using locprox::testing::run_program;
using locprox::testing::ScratchDirectory;

// How far a job's run gets, which fixes the shape of its proximity file.
enum class Outcome {
  kRefused,        // work arrays too small: the dimension record only
  kNamesDisagree,  // names file counts differ: dimension and option records
  kAnalysed,       // one group of records per year of the sequence
};

struct GoldenJob {
  const char* name;
  Outcome outcome;
};

// Shown by GoogleTest in place of the bytes of the struct.
void PrintTo(const GoldenJob& job, std::ostream* os) {
  *os << job.name;
}

fs::path fixtures() {
  return fs::path(LOCPROX_TEST_DATA) / "golden";
}

// The example job lives beside the sources, two levels above the fixtures.
fs::path examples() {
  return fs::path(LOCPROX_TEST_DATA).parent_path().parent_path() / "examples";
}

fs::path job_directory(const GoldenJob& job) {
  return std::string(job.name) == "example" ? examples() : fixtures() / job.name;
}

// The records of a file or console transcript, each with its line end, so
// that a missing CR shows as a difference.
std::vector<std::string> records(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    out.push_back(text.substr(start, end - start));
    start = end;
  }
  return out;
}

// A record with its control characters made visible.
std::string visible(const std::string& record) {
  std::string out;
  for (char c : record) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\0') {
      out += "\\0";
    } else {
      out += c;
    }
  }
  return out;
}

// Empty when the texts are equal; otherwise where they first differ.
std::string first_difference(const std::string& expected, const std::string& actual) {
  if (expected == actual) return "";
  std::vector<std::string> want = records(expected);
  std::vector<std::string> got = records(actual);
  size_t n = std::min(want.size(), got.size());
  for (size_t i = 0; i < n; ++i) {
    if (want[i] != got[i]) {
      return "first difference at line " + std::to_string(i + 1) + "\n  expected: \"" +
             visible(want[i]) + "\"\n  actual:   \"" + visible(got[i]) + "\"";
    }
  }
  return "the files agree for " + std::to_string(n) + " lines, then the expected one has " +
         std::to_string(want.size()) + " lines and the actual one " + std::to_string(got.size());
}

// What a job's run writes to standard error: nothing, or the warnings of its
// odd answers and files. The console, report and proximity file are the same
// with them as without.
std::string expected_warnings(const GoldenJob& job) {
  const std::string name = job.name;
  if (name == "cor_other_cortyp") {
    return "locprox: warning: answer 'x' to WEIGHT is taken as unweighted\n"
           "locprox: warning: answer 'C' to PRXTYP is taken as correlation\n"
           "locprox: warning: answer ' ' to CORTYP: plain correlations are averaged although the "
           "console says Fisher z\n";
  }
  if (name == "data_problems") {
    return "locprox: warning: JOB.SEQ: 1 record was skipped because its year is below the year "
           "being read (the file is not sorted by year); the first is line 14\n";
  }
  return "";
}

// Copies a job's input files (everything but the answers, the notes and the
// expected outputs) into the scratch directory; returns the console answers.
std::string prepare(const fs::path& job, const ScratchDirectory& scratch) {
  std::string answers;
  for (const fs::directory_entry& entry : fs::directory_iterator(job)) {
    if (!entry.is_regular_file()) continue;
    const fs::path& file = entry.path();
    if (file.extension() == ".answers") {
      answers = read_file(file);
    } else if (file.extension() != ".md") {
      scratch.write(file.filename().string(), read_file(file));
    }
  }
  return answers;
}

// Number of records of a proximity file after a whole analysis: the
// dimension and option records, then per year one year record, ceil(J/10)
// proximity records and 3 * ceil((J+1)/30) count records for J = 1..MAXL.
long analysed_record_count(long maxl, long nya) {
  long per_year = 1;
  for (long j = 1; j <= maxl; ++j) per_year += (j + 9) / 10 + 3 * ((j + 1 + 29) / 30);
  return 2 + nya * per_year;
}

class GoldenRun : public ::testing::TestWithParam<GoldenJob> {};

TEST_P(GoldenRun, MatchesExpectedOutputsByteForByte) {
  const fs::path job = job_directory(GetParam());
  ASSERT_TRUE(fs::exists(job / "expected" / "console.txt")) << job;
  ScratchDirectory scratch;
  const std::string answers = prepare(job, scratch);
  ASSERT_FALSE(answers.empty()) << "no *.answers file in " << job;

  const locprox::testing::ProgramRun run = run_program(scratch.path(), answers);
  // A refused run ends with status 1 after its messages and records.
  EXPECT_EQ(run.exit_status, GetParam().outcome == Outcome::kAnalysed ? 0 : 1);
  EXPECT_EQ(run.errors, expected_warnings(GetParam()));

  std::string diff = first_difference(read_file(job / "expected" / "console.txt"), run.console);
  EXPECT_TRUE(diff.empty()) << "console output of " << job << ": " << diff;
  for (const fs::directory_entry& entry : fs::directory_iterator(job / "expected")) {
    const std::string name = entry.path().filename().string();
    if (name == "console.txt") continue;
    ASSERT_TRUE(scratch.exists(name)) << name << " was not written";
    diff = first_difference(read_file(entry.path()), scratch.read(name));
    EXPECT_TRUE(diff.empty()) << name << " of " << job << ": " << diff;
  }
}

TEST_P(GoldenRun, ProximityFileHasTheRecordCountOfItsDimensions) {
  const fs::path job = job_directory(GetParam());
  ScratchDirectory scratch;
  const std::string answers = prepare(job, scratch);
  ASSERT_EQ(run_program(scratch.path(), answers).exit_status,
            GetParam().outcome == Outcome::kAnalysed ? 0 : 1);

  std::string prx_name;
  for (const fs::directory_entry& entry : fs::directory_iterator(job / "expected")) {
    if (entry.path().extension() == ".PRX") prx_name = entry.path().filename().string();
  }
  ASSERT_FALSE(prx_name.empty()) << "no expected proximity file in " << job;
  const std::vector<std::string> prx = records(scratch.read(prx_name));
  ASSERT_FALSE(prx.empty());
  // Dimension record, 10I6: MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM.
  const long maxl = std::stol(prx[0].substr(6, 6));
  const long nya = std::stol(prx[0].substr(30, 6));
  long expected = 0;
  switch (GetParam().outcome) {
    case Outcome::kRefused:
      expected = 1;
      break;
    case Outcome::kNamesDisagree:
      expected = 2;
      break;
    case Outcome::kAnalysed:
      expected = analysed_record_count(maxl, nya);
      break;
  }
  EXPECT_EQ(static_cast<long>(prx.size()), expected) << "MAXL " << maxl << ", NYA " << nya;
  for (const std::string& record : prx) {
    ASSERT_TRUE(record.size() >= 2 && record.ends_with("\r\n")) << visible(record);
  }
}

const GoldenJob kJobs[] = {
    {"sed_centred_weighted", Outcome::kAnalysed},
    {"sed_standardised_unweighted", Outcome::kAnalysed},
    {"cor_plain_weighted", Outcome::kAnalysed},
    {"cor_plain_unweighted", Outcome::kAnalysed},
    {"cor_fisher_weighted", Outcome::kAnalysed},
    {"cor_fisher_unweighted", Outcome::kAnalysed},
    {"cor_other_cortyp", Outcome::kAnalysed},
    {"cor_fisher_near_one", Outcome::kAnalysed},
    {"data_problems", Outcome::kAnalysed},
    {"maxl11", Outcome::kAnalysed},
    {"maxl20", Outcome::kAnalysed},
    {"maxl30", Outcome::kAnalysed},
    {"maxl31", Outcome::kAnalysed},
    {"maxg200", Outcome::kAnalysed},
    {"maxg201", Outcome::kAnalysed},
    {"maxg1096_az_full", Outcome::kAnalysed},
    {"years50", Outcome::kAnalysed},
    {"empty_sequence", Outcome::kAnalysed},
    {"names_disagree", Outcome::kNamesDisagree},
    {"refused_all", Outcome::kRefused},
    {"refused_az", Outcome::kRefused},
    {"example", Outcome::kAnalysed},
};

INSTANTIATE_TEST_SUITE_P(Jobs, GoldenRun, ::testing::ValuesIn(kJobs),
                         [](const ::testing::TestParamInfo<GoldenJob>& info) {
                           return std::string(info.param.name);
                         });

// Every golden job directory is in the table above, so a new fixture cannot
// be left out of the run by mistake.
TEST(GoldenJobs, EveryFixtureDirectoryIsRun) {
  for (const fs::directory_entry& entry : fs::directory_iterator(fixtures())) {
    if (!entry.is_directory()) continue;
    const std::string name = entry.path().filename().string();
    bool listed = std::any_of(std::begin(kJobs), std::end(kJobs),
                              [&](const GoldenJob& job) { return name == job.name; });
    EXPECT_TRUE(listed) << name;
  }
}

// The smallest whole run spelled out: MAXL 3 and 2 years give
// 2 + 2 * (1 + (1 + 1 + 1) + 3 * (1 + 1 + 1)) = 28 records.
TEST(GoldenJobs, ThreeLocationsTwoYearsGiveTwentyEightProximityRecords) {
  EXPECT_EQ(analysed_record_count(3, 2), 28);
  EXPECT_EQ(records(read_file(fixtures() / "sed_centred_weighted" / "expected" / "JOB.PRX")).size(),
            28u);
  // Boundaries of the wrapping: location 11 takes two proximity records,
  // location 30 two records in each count block.
  EXPECT_EQ(analysed_record_count(11, 1) - analysed_record_count(10, 1), 2 + 3);
  EXPECT_EQ(analysed_record_count(30, 1) - analysed_record_count(29, 1), 3 + 3 * 2);
}

}  // namespace
