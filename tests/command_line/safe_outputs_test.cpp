// The outputs of run, analyse and the summary appear whole or not at all: a
// run stopped by a signal at any moment leaves the earlier result as it was
// (and, except after SIGKILL, no temporary; the next run clears what SIGKILL
// left); a symbolic link at an output name is replaced, its target left
// alone; two analyses into one folder at once leave one coherent result; a
// bad option leaves the folder as it was.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "report/output_size.h"
#include "format/measure.h"
#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_program;
using testing::ScratchDirectory;

// A job of `years` years, each with every entry at every location: large
// enough in years for its report to take a while to write.
struct GeneratedJob {
  int years, locations, entries;

  std::string names_file() const {
    std::string text = "Generated job\n" + std::to_string(years) + " " +
                       std::to_string(locations) + " " + std::to_string(entries) + "\n";
    for (int y = 1; y <= years; ++y) text += std::to_string(1900 + y) + "\n";
    for (int l = 1; l <= locations; ++l) text += "L" + std::to_string(l) + "\n";
    for (int g = 1; g <= entries; ++g) text += "G" + std::to_string(g) + "\n";
    return text;
  }
  double value(int y, int l, int g) const { return 3.0 + ((y * 31 + l * 17 + g * g * 7) % 97) / 10.0; }
  std::string observations_file() const {
    std::string text;
    char line[64];
    for (int y = 1; y <= years; ++y)
      for (int l = 1; l <= locations; ++l)
        for (int g = 1; g <= entries; ++g) {
          std::snprintf(line, sizeof line, "%d %d %d %.1f\n", y, l, g, value(y, l, g));
          text += line;
        }
    return text;
  }
  // The same observations as a trial table, with `shift` added to the values.
  std::string table(double shift) const {
    std::string text = "year,location,entry,value\n";
    char line[64];
    for (int y = 1; y <= years; ++y)
      for (int l = 1; l <= locations; ++l)
        for (int g = 1; g <= entries; ++g) {
          std::snprintf(line, sizeof line, "%d,L%d,G%d,%.1f\n", 1900 + y, l, g,
                        value(y, l, g) * (1.0 + shift * ((l + g) % 3)));
          text += line;
        }
    return text;
  }
  void write(const ScratchDirectory& dir, const std::string& stem) const {
    dir.write(stem + ".NAQ", names_file());
    dir.write(stem + ".SEQ", observations_file());
  }
};

const GeneratedJob kLongJob{700, 8, 4};

// Every file in the folder by name, with its bytes; symbolic links as
// "-> target".
std::map<std::string, std::string> folder_contents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_symlink()) {
      contents[name] = "-> " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_regular_file()) {
      contents[name] = read_file(entry.path());
    }
  }
  return contents;
}

std::vector<std::string> temporaries_in(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".locprox-tmp.") != std::string::npos) found.push_back(name);
  }
  return found;
}

// Starts locprox with `arguments` in `folder`, its output thrown away.
pid_t start(const fs::path& folder, const std::vector<std::string>& arguments) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
    std::vector<char*> argv;
    std::string program = LOCPROX_EXE;
    argv.push_back(program.data());
    std::vector<std::string> copies = arguments;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return child;
}

// The size of the temporary whose name holds `part`, or -1 when there is none.
long long temporary_size(const fs::path& folder, const std::string& part) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".locprox-tmp.") != std::string::npos && name.find(part) != std::string::npos) {
      std::error_code error;
      const auto size = fs::file_size(entry.path(), error);
      return error ? -1 : static_cast<long long>(size);
    }
  }
  return -1;
}

struct InterruptCase {
  const char* name;
  int signal_number;
  double written;  // the part of the earlier report the new one has reached when signalled
};

void PrintTo(const InterruptCase& c, std::ostream* out) { *out << c.name; }

class InterruptedRun : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptedRun, LeavesTheEarlierResultWhole) {
  const InterruptCase& c = GetParam();
  ScratchDirectory dir;
  kLongJob.write(dir, "JOB");
  ASSERT_EQ(run_program(dir.path(), "", LOCPROX_EXE,
                        {"run", "JOB", "--distance", "centred", "--quiet", "--threads", "1"})
                .exit_status,
            0);
  const std::map<std::string, std::string> earlier = folder_contents(dir.path());
  const auto report_size = static_cast<long long>(earlier.at("JOB.OCC").size());

  const pid_t child = start(dir.path(), {"run", "JOB", "--correlation", "plain", "--quiet",
                                         "--threads", "1"});
  const auto threshold = static_cast<long long>(c.written * static_cast<double>(report_size));
  bool reached = false;
  for (int i = 0; i < 200000 && !reached; ++i) {
    reached = temporary_size(dir.path(), ".OCC.") >= threshold;
    if (!reached) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_TRUE(reached) << "the run's report never reached " << threshold << " bytes";
  ASSERT_EQ(::kill(child, c.signal_number), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended by itself, status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), c.signal_number);

  std::map<std::string, std::string> after = folder_contents(dir.path());
  const std::vector<std::string> left = temporaries_in(dir.path());
  if (c.signal_number == SIGKILL) {
    for (const std::string& name : left) after.erase(name);
  } else {
    EXPECT_EQ(left, std::vector<std::string>{});
  }
  EXPECT_EQ(after.size(), earlier.size());
  for (const auto& [name, bytes] : earlier) {
    EXPECT_TRUE(after.count(name) == 1 && after.at(name) == bytes) << name << " changed";
  }
  // The next run into the folder removes what the killed one left.
  const auto next = run_program(dir.path(), "", LOCPROX_EXE,
                                {"run", "JOB", "--correlation", "plain", "--quiet", "--to", "#2"});
  EXPECT_EQ(next.exit_status, 0) << next.errors;
  EXPECT_EQ(temporaries_in(dir.path()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    EachSignalAtSeveralMoments, InterruptedRun,
    ::testing::Values(InterruptCase{"SIGINT_at_the_start", SIGINT, 0.0},
                      InterruptCase{"SIGINT_half_way", SIGINT, 0.5},
                      InterruptCase{"SIGTERM_at_a_tenth", SIGTERM, 0.1},
                      InterruptCase{"SIGTERM_near_the_end", SIGTERM, 0.9},
                      InterruptCase{"SIGHUP_half_way", SIGHUP, 0.5},
                      InterruptCase{"SIGKILL_at_the_start", SIGKILL, 0.0},
                      InterruptCase{"SIGKILL_near_the_end", SIGKILL, 0.9}),
    testing::NameOfCase());

struct AnalysisInterruptCase {
  const char* name;
  int signal_number;
  const char* temporary;  // signalled once a temporary whose name holds this has
  long long bytes;        // at least this many bytes
};

void PrintTo(const AnalysisInterruptCase& c, std::ostream* out) { *out << c.name; }

class InterruptedAnalysis : public ::testing::TestWithParam<AnalysisInterruptCase> {};

// An analysis stopped at any of its steps leaves the folder's earlier result
// (job files, report, proximity file, tables, picture) as it was.
TEST_P(InterruptedAnalysis, LeavesTheEarlierResultWhole) {
  const AnalysisInterruptCase& c = GetParam();
  ScratchDirectory dir;
  dir.write("a.csv", kLongJob.table(0.0));
  const std::vector<std::string> arguments = {"analyse", "a.csv", "--out", "res", "--job",
                                              "JOB", "--threads", "1"};
  ASSERT_EQ(run_program(dir.path(), "", LOCPROX_EXE, arguments).exit_status, 0);
  const auto earlier = folder_contents(dir.path() / "res");
  std::vector<std::string> second = arguments;
  second.insert(second.end(), {"--distance", "centred"});
  const pid_t child = start(dir.path(), second);
  bool reached = false;
  for (int i = 0; i < 200000 && !reached; ++i) {
    reached = temporary_size(dir.path() / "res", c.temporary) >= c.bytes;
    if (!reached) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  ASSERT_TRUE(reached) << "no temporary " << c.temporary << " of " << c.bytes << " bytes";
  ASSERT_EQ(::kill(child, c.signal_number), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the analysis ended by itself, status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), c.signal_number);
  EXPECT_EQ(folder_contents(dir.path() / "res"), earlier);
}

INSTANTIATE_TEST_SUITE_P(
    AtEachStep, InterruptedAnalysis,
    ::testing::Values(
        AnalysisInterruptCase{"SIGTERM_once_the_job_files_are_written", SIGTERM, ".SEQ.", 1},
        AnalysisInterruptCase{"SIGINT_during_the_run", SIGINT, ".OCC.", 2000000},
        AnalysisInterruptCase{"SIGHUP_near_the_end_of_the_run", SIGHUP, ".PRX.", 1}),
    testing::NameOfCase());

const GeneratedJob kSmallJob{4, 5, 6};

TEST(SafeOutputs, SymbolicLinkAtAnOutputNameIsReplacedAndItsTargetLeftAlone) {
  ScratchDirectory dir;
  kSmallJob.write(dir, "JOB");
  dir.write("precious.txt", "not a report");
  fs::create_symlink("precious.txt", dir.path() / "JOB.OCC");
  fs::create_symlink("precious.txt", dir.path() / "JOB.pairs.csv");
  const auto run = run_program(dir.path(), "", LOCPROX_EXE,
                               {"run", "JOB", "--correlation", "plain", "--quiet"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  const auto summary = run_program(dir.path(), "", LOCPROX_SUMMARY_EXE, {"JOB.PRX"});
  ASSERT_EQ(summary.exit_status, 0) << summary.errors;
  EXPECT_EQ(dir.read("precious.txt"), "not a report");
  for (const char* name : {"JOB.OCC", "JOB.pairs.csv"}) {
    EXPECT_FALSE(fs::is_symlink(dir.path() / name)) << name;
    EXPECT_NE(dir.read(name), "not a report") << name;
  }
}

// An analysis of `table` (in the folder) into `out` with the job name JOB.
std::vector<std::string> analysis(const std::string& table, const std::string& out,
                                  std::vector<std::string> more = {}) {
  std::vector<std::string> arguments = {"analyse", table, "--out", out, "--job", "JOB",
                                        "--threads", "1"};
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

TEST(SafeOutputs, TwoAnalysesIntoOneFolderAtOnceLeaveOneCoherentResult) {
  ScratchDirectory dir;
  const GeneratedJob job{400, 6, 5};
  dir.write("a.csv", job.table(0.0));
  dir.write("b.csv", job.table(0.25));
  // Each table's result on its own.
  ASSERT_EQ(run_program(dir.path(), "", LOCPROX_EXE, analysis("a.csv", "only_a")).exit_status, 0);
  ASSERT_EQ(run_program(dir.path(), "", LOCPROX_EXE, analysis("b.csv", "only_b")).exit_status, 0);
  const auto result_a = folder_contents(dir.path() / "only_a");
  const auto result_b = folder_contents(dir.path() / "only_b");
  ASSERT_NE(result_a.at("JOB.PRX"), result_b.at("JOB.PRX"));

  for (int round = 0; round < 3; ++round) {
    const pid_t a = start(dir.path(), analysis("a.csv", "both"));
    const pid_t b = start(dir.path(), analysis("b.csv", "both"));
    const int status_a = testing::wait_for_exit_status(a);
    const int status_b = testing::wait_for_exit_status(b);
    // Each either finished or was told at once that the other was writing.
    EXPECT_TRUE(status_a == 0 || status_a == 1) << status_a;
    EXPECT_TRUE(status_b == 0 || status_b == 1) << status_b;
    EXPECT_TRUE(status_a == 0 || status_b == 0);
    auto both = folder_contents(dir.path() / "both");
    both.erase(".JOB.locprox-lock");
    const auto& expected = both.at("JOB.PRX") == result_a.at("JOB.PRX") ? result_a : result_b;
    std::map<std::string, std::string> want = expected;
    want.erase(".JOB.locprox-lock");
    EXPECT_EQ(both.size(), want.size());
    for (const auto& [name, bytes] : want) {
      EXPECT_TRUE(both.count(name) == 1 && both.at(name) == bytes)
          << name << " is not from the same table as JOB.PRX (round " << round << ")";
    }
  }
}

struct BadOptionCase {
  const char* name;
  std::vector<std::string> options;
};

void PrintTo(const BadOptionCase& c, std::ostream* out) { *out << c.name; }

class AnalysisWithABadOption : public ::testing::TestWithParam<BadOptionCase> {};

TEST_P(AnalysisWithABadOption, StopsWithStatus2AndLeavesTheFolderAsItWas) {
  ScratchDirectory dir;
  dir.write("a.csv", kSmallJob.table(0.0));
  dir.write("b.csv", kSmallJob.table(0.5));
  ASSERT_EQ(run_program(dir.path(), "", LOCPROX_EXE, analysis("a.csv", "res")).exit_status, 0);
  const auto earlier = folder_contents(dir.path() / "res");
  const auto run = run_program(dir.path(), "", LOCPROX_EXE,
                               analysis("b.csv", "res", GetParam().options));
  EXPECT_EQ(run.exit_status, 2) << run.errors;
  EXPECT_NE(run.errors, "");
  EXPECT_EQ(folder_contents(dir.path() / "res"), earlier);
}

INSTANTIATE_TEST_SUITE_P(
    BeforeAnythingIsWritten, AnalysisWithABadOption,
    ::testing::Values(BadOptionCase{"groups_beyond_the_locations", {"--groups", "99"}},
                      BadOptionCase{"groups_zero", {"--groups", "0"}},
                      BadOptionCase{"from_an_unknown_year", {"--from", "1850"}},
                      BadOptionCase{"to_before_from", {"--from", "1903", "--to", "1902"}},
                      BadOptionCase{"unknown_year_column", {"--year", "season"}}),
    testing::NameOfCase());

struct SizeCase {
  const char* name;
  GeneratedJob job;
  int from, to;  // year numbers
  MeasureKind kind;
  bool weighted;
};

void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.name; }

std::vector<std::string> measure_options(const SizeCase& c) {
  std::vector<std::string> options;
  switch (c.kind) {
    case MeasureKind::kCentredDistance:
      options = {"--distance", "centred"};
      break;
    case MeasureKind::kStandardisedDistance:
      options = {"--distance", "standardised"};
      break;
    case MeasureKind::kPlainCorrelation:
      options = {"--correlation", "plain"};
      break;
    case MeasureKind::kFisherZCorrelation:
      options = {"--correlation", "fisher-z"};
      break;
  }
  if (!c.weighted) options.push_back("--unweighted");
  return options;
}

class OutputSize : public ::testing::TestWithParam<SizeCase> {};

// The sizes worked out before the run are those the run writes: the report's
// only line that depends on the data here is " End of data", written when the
// observations file ends within the sequence (it holds every year, so when
// the sequence runs to the last year).
TEST_P(OutputSize, IsWhatTheRunWrites) {
  const SizeCase& c = GetParam();
  ScratchDirectory dir;
  c.job.write(dir, "JOB");
  std::vector<std::string> arguments = {"run", "JOB", "--quiet", "--from",
                                        "#" + std::to_string(c.from), "--to",
                                        "#" + std::to_string(c.to)};
  for (const std::string& option : measure_options(c)) arguments.push_back(option);
  const auto run = run_program(dir.path(), "", LOCPROX_EXE, arguments);
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  const OutputSizes sizes = output_sizes(c.job.years, c.job.locations, c.job.entries, c.from,
                                         c.to, Measure::of(c.kind, c.weighted));
  const std::uint64_t end_of_data = c.to == c.job.years ? std::string(" End of data\r\n").size() : 0;
  EXPECT_EQ(dir.read("JOB.OCC").size(), sizes.report + end_of_data);
  EXPECT_EQ(dir.read("JOB.PRX").size(), sizes.proximity);
}

INSTANTIATE_TEST_SUITE_P(
    FromTheProblem, OutputSize,
    ::testing::Values(
        SizeCase{"small_plain", {3, 3, 2}, 1, 3, MeasureKind::kPlainCorrelation, true},
        // Rows of years continued on further records (48, 49 and 50 to one).
        SizeCase{"101_years_fisher_z", {101, 2, 1}, 1, 101, MeasureKind::kFisherZCorrelation, true},
        SizeCase{"49_years_in_52", {52, 4, 2}, 2, 50, MeasureKind::kCentredDistance, false},
        // Two blocks of entries, kappa rows and proximity records continued.
        SizeCase{"231_entries_35_locations", {9, 35, 231}, 1, 9,
                 MeasureKind::kStandardisedDistance, true},
        SizeCase{"one_location_one_year", {1, 1, 1}, 1, 1, MeasureKind::kPlainCorrelation, false},
        SizeCase{"middle_years", {12, 31, 5}, 4, 7, MeasureKind::kFisherZCorrelation, false}),
    testing::NameOfCase());

TEST(OutputSize, JobLargerThanMaxOutputIsRefusedWithNothingWritten) {
  ScratchDirectory dir;
  kSmallJob.write(dir, "JOB");
  const OutputSizes sizes = output_sizes(kSmallJob.years, kSmallJob.locations, kSmallJob.entries,
                                         1, kSmallJob.years, Measure::of(MeasureKind::kPlainCorrelation, true));
  const auto before = folder_contents(dir.path());
  const auto refused =
      run_program(dir.path(), "", LOCPROX_EXE,
                  {"run", "JOB", "--correlation", "plain", "--max-output",
                   std::to_string(sizes.total() - 1)});
  EXPECT_EQ(refused.exit_status, 1);
  EXPECT_NE(refused.errors.find(std::to_string(sizes.total()) + " bytes"), std::string::npos)
      << refused.errors;
  EXPECT_NE(refused.errors.find("--from/--to"), std::string::npos) << refused.errors;
  EXPECT_EQ(refused.console, "");
  auto after = folder_contents(dir.path());
  after.erase(".JOB.locprox-lock");
  EXPECT_EQ(after, before);
  // With room for it and its end-of-data line, it runs.
  const auto run = run_program(dir.path(), "", LOCPROX_EXE,
                               {"run", "JOB", "--correlation", "plain", "--quiet", "--max-output",
                                std::to_string(sizes.total() + 14)});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
}

// A small file system of its own (tmpfs), mounted in a scratch folder for
// one test: possible only with the privilege to mount.
class SmallFileSystem {
 public:
  SmallFileSystem(const fs::path& where, const char* size) : where_(where) {
    fs::create_directories(where_);
    const std::string options = std::string("size=") + size;
    if (::mount("tmpfs", where_.c_str(), "tmpfs", 0, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      problem_ = std::strerror(errno);
    }
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount(where_.c_str());
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& problem() const { return problem_; }

 private:
  fs::path where_;
  bool mounted_ = false;
  std::string problem_;
};

struct FullDiskCase {
  const char* name;
  std::vector<std::string> options;
  int status;
};

void PrintTo(const FullDiskCase& c, std::ostream* out) { *out << c.name; }

class FullDisk : public ::testing::TestWithParam<FullDiskCase> {};

TEST_P(FullDisk, LeavesNoOutputUnderAFinalNameAndTheEarlierResultWhole) {
  ScratchDirectory scratch;
  const fs::path folder = scratch.path() / "small";
  SmallFileSystem small(folder, "1m");
  if (!small.mounted()) GTEST_SKIP() << "a tmpfs cannot be mounted here: " << small.problem();
  // The job files fit, and so does a run of its first 50 years; a run of
  // all 300 would need more than the megabyte there is.
  const GeneratedJob job{300, 3, 1};
  {
    std::FILE* names = std::fopen((folder / "JOB.NAQ").c_str(), "wb");
    std::FILE* observations = std::fopen((folder / "JOB.SEQ").c_str(), "wb");
    ASSERT_TRUE(names != nullptr && observations != nullptr);
    const std::string n = job.names_file(), o = job.observations_file();
    std::fwrite(n.data(), 1, n.size(), names);
    std::fwrite(o.data(), 1, o.size(), observations);
    std::fclose(names);
    std::fclose(observations);
  }
  const auto first = run_program(folder, "", LOCPROX_EXE,
                                 {"run", "JOB", "--correlation", "plain", "--quiet", "--to", "#50"});
  ASSERT_EQ(first.exit_status, 0) << first.errors;
  const auto earlier = folder_contents(folder);
  std::vector<std::string> arguments = {"run", "JOB", "--correlation", "plain", "--quiet"};
  for (const std::string& option : GetParam().options) arguments.push_back(option);
  const auto run = run_program(folder, "", LOCPROX_EXE, arguments);
  EXPECT_EQ(run.exit_status, GetParam().status) << run.errors;
  EXPECT_NE(run.errors, "");
  EXPECT_EQ(folder_contents(folder), earlier);
}

INSTANTIATE_TEST_SUITE_P(
    SmallTmpfs, FullDisk,
    ::testing::Values(
        // By default the run sees that its outputs would not fit, and is refused.
        FullDiskCase{"refused_before_writing", {}, 1},
        // Allowed more than there is, it fills the disk and stops.
        FullDiskCase{"stopped_by_the_full_disk", {"--max-output", "1G"}, 2}),
    testing::NameOfCase());

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

struct LimitedRun {
  bool signalled = false;
  int status = -1;
  std::string errors;
};

// Runs `program` with `arguments` in `folder` with at most `megabytes` of
// address space (ulimit -v).
LimitedRun run_with_memory_limit(const fs::path& folder, const std::string& program,
                                 const std::vector<std::string>& arguments, long megabytes) {
  const fs::path errors = folder / "errors.txt";
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    const int err = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(err, 2);
    const rlim_t bytes = static_cast<rlim_t>(megabytes) << 20;
    const struct rlimit limit {bytes, bytes};
    ::setrlimit(RLIMIT_AS, &limit);
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  LimitedRun run;
  run.signalled = WIFSIGNALED(status);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.errors = read_file(errors);
  fs::remove(errors);
  return run;
}

const GeneratedJob kWideJob{1, 1500, 3};

// Memory that runs out after the start ends the run with status 2 and a
// message saying what it was doing, never with an abort; nothing is left.
// (Work arrays the system will not give are a refusal, status 1.)
TEST(OutOfMemory, RunStopsWithStatus2AndAMessageAtEveryLimit) {
  if (kAddressSanitizer) GTEST_SKIP() << "an address-space limit stops a sanitized program at once";
  ScratchDirectory dir;
  kWideJob.write(dir, "JOB");
  int out_of_memory = 0;
  for (long megabytes : {24, 28, 32, 36, 40, 48}) {
    const LimitedRun run = run_with_memory_limit(
        dir.path(), LOCPROX_EXE,
        {"run", "JOB", "--correlation", "plain", "--quiet", "--threads", "1", "--max-memory",
         "100G", "--max-output", "100G"},
        megabytes);
    EXPECT_FALSE(run.signalled) << megabytes << " MiB";
    // Status 1: the work arrays themselves were not granted, a refusal.
    EXPECT_TRUE(run.status == 0 || run.status == 1 || run.status == 2)
        << megabytes << " MiB: " << run.status;
    if (run.status == 1) {
      EXPECT_NE(run.errors.find("the system would not give it"), std::string::npos) << run.errors;
    }
    EXPECT_EQ(temporaries_in(dir.path()), std::vector<std::string>{}) << megabytes << " MiB";
    if (run.status == 2) {
      ++out_of_memory;
      EXPECT_NE(run.errors.find("out of memory while"), std::string::npos) << run.errors;
      EXPECT_FALSE(dir.exists("JOB.OCC") || dir.exists("JOB.PRX")) << megabytes << " MiB";
    }
    fs::remove(dir.path() / "JOB.OCC");
    fs::remove(dir.path() / "JOB.PRX");
  }
  EXPECT_GT(out_of_memory, 0) << "no limit ran out of memory";
}

TEST(OutOfMemory, SummaryStopsWithStatus2AndAMessage) {
  if (kAddressSanitizer) GTEST_SKIP() << "an address-space limit stops a sanitized program at once";
  ScratchDirectory dir;
  kWideJob.write(dir, "JOB");
  ASSERT_EQ(run_program(dir.path(), "", LOCPROX_EXE,
                        {"run", "JOB", "--correlation", "plain", "--quiet"})
                .exit_status,
            0);
  auto before = folder_contents(dir.path());
  before.erase(".JOB.locprox-lock");
  const LimitedRun run = run_with_memory_limit(dir.path(), LOCPROX_SUMMARY_EXE, {"JOB.PRX"}, 48);
  EXPECT_FALSE(run.signalled);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("out of memory while summarising"), std::string::npos) << run.errors;
  auto after = folder_contents(dir.path());
  after.erase(".JOB.locprox-lock");
  EXPECT_EQ(after, before);
  EXPECT_EQ(temporaries_in(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace locprox
