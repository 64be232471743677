// A tidy table imported with --replicates last gives the dialogue exactly the
// job that hand-made job files give it: each golden job below (and the
// example) is turned into a tidy table, imported by the built program, and
// run through the dialogue with the job's own answers; console, report and
// proximity file must equal the job's expected files byte for byte. And
// `locprox analyse --replicates last` of the same table, with the options of
// the job's answers, writes the same report and proximity file.
//
// The table lists its rows year by year in reverse order of the years (the
// import sorts them back), and starts with rows without a value that name
// every year, location and entry in the order of the names file, so that
// the numbering by first appearance is the names file's own and a year
// without observations stays in the sequence.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace locprox {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::ScratchDirectory;

fs::path job_directory(const std::string& job) {
  const fs::path fixtures(LOCPROX_TEST_DATA);
  if (job == "example") return fixtures.parent_path().parent_path() / "examples";
  return fixtures / "golden" / job;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string csv_quoted(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The tidy table of a job: yield,line,season,site.
std::string tidy_table(const std::string& names_file, const std::string& observations) {
  const std::vector<std::string> names = lines_of(names_file);
  std::istringstream counts(names.at(1));
  std::size_t years = 0, locations = 0, entries = 0;
  counts >> years >> locations >> entries;
  const auto name = [&](std::size_t first, std::size_t number) {
    return csv_quoted(names.at(2 + first + number - 1));
  };
  const auto year = [&](std::size_t n) { return name(0, n); };
  const auto location = [&](std::size_t n) { return name(years, n); };
  const auto entry = [&](std::size_t n) { return name(years + locations, n); };

  std::string table = "yield,line,season,site\n";
  for (std::size_t y = 1; y <= years; ++y) table += "NA," + entry(1) + "," + year(y) + "," + location(1) + "\n";
  for (std::size_t l = 1; l <= locations; ++l) table += "NA," + entry(1) + "," + year(1) + "," + location(l) + "\n";
  for (std::size_t g = 1; g <= entries; ++g) table += "NA," + entry(g) + "," + year(1) + "," + location(1) + "\n";

  std::map<std::size_t, std::string, std::greater<>> by_year;
  for (const std::string& line : lines_of(observations)) {
    std::istringstream fields(line);
    std::size_t y = 0, l = 0, g = 0;
    std::string value;
    if (!(fields >> y >> l >> g >> value)) continue;
    by_year[y] += value + "," + entry(g) + "," + year(y) + "," + location(l) + "\n";
  }
  for (const auto& [y, rows] : by_year) table += rows;
  return table;
}

class ImportThenDialogue : public ::testing::TestWithParam<std::string> {};

TEST_P(ImportThenDialogue, GivesTheHandMadeJobsOutputs) {
  const std::string job = GetParam();
  const fs::path source = job_directory(job);
  const std::string stem = job == "example" ? "TRIAL" : "JOB";
  const std::string names_file = read_file(source / (stem + ".NAQ"));
  const std::string title = lines_of(names_file).at(0);

  ScratchDirectory directory;
  directory.write("trial.csv", tidy_table(names_file, read_file(source / (stem + ".SEQ"))));
  const auto imported = run_program(
      directory.path(), "", LOCPROX_EXE,
      {"import", "trial.csv", "--job", stem, "--title", title, "--replicates", "last", "--value",
       "yield", "--entry", "line", "--year", "season", "--location", "site"});
  ASSERT_EQ(imported.exit_status, 0) << imported.errors;
  EXPECT_EQ(imported.errors, "");

  const auto run = run_program(directory.path(), read_file(source / (stem + ".answers")));
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.console, read_file(source / "expected" / "console.txt"));
  EXPECT_EQ(directory.read(stem + ".OCC"), read_file(source / "expected" / (stem + ".OCC")));
  EXPECT_EQ(directory.read(stem + ".PRX"), read_file(source / "expected" / (stem + ".PRX")));
}

struct AnalysedJob {
  const char* job;
  std::vector<std::string> options;  // the job's answers as run options
};

void PrintTo(const AnalysedJob& job, std::ostream* os) {
  *os << job.job;
}

class AnalyseTable : public ::testing::TestWithParam<AnalysedJob> {};

TEST_P(AnalyseTable, GivesTheHandMadeJobsReportAndProximityFile) {
  const AnalysedJob& analysed = GetParam();
  const std::string job = analysed.job;
  const fs::path source = job_directory(job);
  const std::string stem = job == "example" ? "TRIAL" : "JOB";
  const std::string names_file = read_file(source / (stem + ".NAQ"));

  ScratchDirectory directory;
  directory.write("trial.csv", tidy_table(names_file, read_file(source / (stem + ".SEQ"))));
  std::vector<std::string> arguments = {
      "analyse",  "trial.csv", "--job",   stem,   "--title",    lines_of(names_file).at(0),
      "--replicates", "last",  "--value", "yield", "--entry",   "line",
      "--year",   "season",    "--location", "site"};
  arguments.insert(arguments.end(), analysed.options.begin(), analysed.options.end());
  const auto run = run_program(directory.path(), "", LOCPROX_EXE, arguments);
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  const fs::path folder = directory.path() / "trial";
  EXPECT_EQ(read_file(folder / (stem + ".PRX")), read_file(source / "expected" / (stem + ".PRX")));
  EXPECT_EQ(read_file(folder / (stem + ".OCC")), read_file(source / "expected" / (stem + ".OCC")));
  for (const char* summary : {".pairs.csv", ".matrix.csv", ".tree.csv", ".svg"}) {
    EXPECT_TRUE(fs::exists(folder / (stem + summary))) << summary;
  }
  EXPECT_NE(run.console.find("locprox-summary: trial/" + stem + ".PRX"), std::string::npos)
      << run.console;
}

INSTANTIATE_TEST_SUITE_P(
    GoldenJobs, AnalyseTable,
    ::testing::Values(
        AnalysedJob{"example", {}},  // weighted Fisher z, the default measure
        AnalysedJob{"cor_fisher_unweighted", {"--correlation", "fisher-z", "--unweighted"}},
        AnalysedJob{"cor_plain_weighted", {"--correlation", "plain"}},
        AnalysedJob{"maxl30", {"--correlation", "fisher-z", "--unweighted"}},
        AnalysedJob{"sed_centred_weighted", {"--distance", "centred"}},
        AnalysedJob{"sed_standardised_unweighted", {"--distance", "standardised", "--unweighted"}},
        AnalysedJob{"years50", {"--distance", "centred", "--from", "#2", "--to", "#51"}}));

INSTANTIATE_TEST_SUITE_P(GoldenJobs, ImportThenDialogue,
                         ::testing::Values("example", "cor_fisher_unweighted",
                                           "cor_fisher_weighted", "cor_plain_unweighted",
                                           "cor_plain_weighted", "maxl11", "maxl30",
                                           "sed_centred_weighted", "sed_standardised_unweighted",
                                           "years50"));

}  // namespace
}  // namespace locprox
