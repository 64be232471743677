// Staged outputs: a file appears under its final name only whole, replacing
// what stood there (a symbolic link included, never written through); an
// unfinished one leaves nothing, on an ordinary stop or on SIGINT, SIGTERM or
// SIGHUP; the next writer of a job clears what a dead one left; and a second
// writer of the same job is kept out while the first holds the lock.

#include "format/staged_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "format/job_lock.h"
#include "support/case_names.h"
#include "support/run_program.h"

namespace locprox {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDirectory;

// The names in the folder, sorted.
std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// What stands at the final name before the new file is published.
enum class Before { kNothing, kOlderFile, kSymbolicLink, kDanglingLink, kHardLink };

struct PublishCase {
  const char* name;
  Before before;
};

void PrintTo(const PublishCase& c, std::ostream* out) { *out << c.name; }

class StagedFilePublish : public ::testing::TestWithParam<PublishCase> {};

TEST_P(StagedFilePublish, FinalNameHoldsTheWholeNewFileAndNothingElseChanges) {
  ScratchDirectory dir;
  const std::string final_path = (dir.path() / "job.PRX").string();
  dir.write("target.txt", "precious");
  switch (GetParam().before) {
    case Before::kNothing:
      break;
    case Before::kOlderFile:
      dir.write("job.PRX", "older result");
      break;
    case Before::kSymbolicLink:
      fs::create_symlink(dir.path() / "target.txt", final_path);
      break;
    case Before::kDanglingLink:
      fs::create_symlink(dir.path() / "nowhere.txt", final_path);
      break;
    case Before::kHardLink:
      fs::create_hard_link(dir.path() / "target.txt", final_path);
      break;
  }
  const std::vector<std::string> before = names_in(dir.path());
  {
    StagedFile file(final_path);
    ASSERT_EQ(write_all(file.fd(), "new "), 0);
    // Until published, the final name shows what it showed before.
    if (GetParam().before == Before::kOlderFile) {
      EXPECT_EQ(dir.read("job.PRX"), "older result");
    }
    ASSERT_EQ(write_all(file.fd(), "result"), 0);
    ASSERT_EQ(file.publish(), 0);
  }
  EXPECT_EQ(dir.read("job.PRX"), "new result");
  EXPECT_FALSE(fs::is_symlink(final_path));
  EXPECT_EQ(dir.read("target.txt"), "precious");
  EXPECT_FALSE(dir.exists("nowhere.txt"));
  std::vector<std::string> after = names_in(dir.path());
  std::vector<std::string> want = before;
  if (GetParam().before == Before::kNothing) want = {"job.PRX", "target.txt"};
  EXPECT_EQ(after, want);
}

INSTANTIATE_TEST_SUITE_P(
    AtTheFinalName, StagedFilePublish,
    ::testing::Values(PublishCase{"nothing", Before::kNothing},
                      PublishCase{"an_older_file", Before::kOlderFile},
                      PublishCase{"a_symbolic_link", Before::kSymbolicLink},
                      PublishCase{"a_dangling_link", Before::kDanglingLink},
                      PublishCase{"a_hard_link", Before::kHardLink}),
    testing::NameOfCase());

TEST(StagedFile, PermissionsFollowTheCreationMask) {
  ScratchDirectory dir;
  const mode_t previous = ::umask(027);
  std::string problem;
  const int error = write_staged((dir.path() / "a.csv").string(), "x", problem);
  ::umask(previous);
  ASSERT_EQ(error, 0) << problem;
  struct stat status {};
  ASSERT_EQ(::stat((dir.path() / "a.csv").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST(StagedFiles, UnpublishedSetLeavesTheEarlierFilesAndNoTemporary) {
  ScratchDirectory dir;
  dir.write("job.OCC", "old report");
  dir.write("job.PRX", "old proximity");
  {
    StagedFiles set;
    ASSERT_EQ(write_all(set.add((dir.path() / "job.OCC").string()).fd(), "new report"), 0);
    ASSERT_EQ(write_all(set.add((dir.path() / "job.PRX").string()).fd(), "new"), 0);
    EXPECT_EQ(names_in(dir.path()).size(), 4u);  // two temporaries beside the files
  }
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"job.OCC", "job.PRX"}));
  EXPECT_EQ(dir.read("job.OCC"), "old report");
  EXPECT_EQ(dir.read("job.PRX"), "old proximity");
}

TEST(StagedFiles, PublishAllPutsEveryFileInPlaceAndRemovesWhatItReplacesWithNothing) {
  ScratchDirectory dir;
  dir.write("job.OCC", "old report");
  StagedFiles set;
  StagedFiles other;
  ASSERT_EQ(write_all(set.add((dir.path() / "job.OCC").string()).fd(), "new report"), 0);
  ASSERT_EQ(write_all(other.add((dir.path() / "job.PRX").string()).fd(), "new proximity"), 0);
  // A file of the earlier result that the new one does not make goes with
  // the renames, and only then.
  dir.write("job.replicates.csv", "old list");
  other.remove_when_published((dir.path() / "job.replicates.csv").string());
  set.take(other);
  EXPECT_TRUE(other.empty());
  EXPECT_EQ(dir.read("job.replicates.csv"), "old list");
  ASSERT_NE(set.find((dir.path() / "job.PRX").string()), nullptr);
  std::string problem;
  ASSERT_EQ(set.publish_all(problem), 0) << problem;
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"job.OCC", "job.PRX"}));
  EXPECT_EQ(dir.read("job.OCC"), "new report");
  EXPECT_EQ(dir.read("job.PRX"), "new proximity");
}

TEST(StagedFile, FolderThatCannotHoldItIsNamedInTheError) {
  ScratchDirectory dir;
  try {
    StagedFile file((dir.path() / "missing" / "job.PRX").string());
    FAIL() << "a temporary was made in a folder that does not exist";
  } catch (const std::system_error& error) {
    EXPECT_NE(std::string(error.what()).find("missing/job.PRX"), std::string::npos) << error.what();
  }
}

struct SignalCase {
  const char* name;
  int signal_number;
};

void PrintTo(const SignalCase& c, std::ostream* out) { *out << c.name; }

class StagedFileSignal : public ::testing::TestWithParam<SignalCase> {};

// A child writes a staged file over an earlier one and is stopped by the
// signal before publishing: it dies of that signal, the earlier file is
// whole and no temporary is left.
TEST_P(StagedFileSignal, RemovesTheTemporaryAndDiesOfTheSignal) {
  ScratchDirectory dir;
  dir.write("job.PRX", "earlier result");
  const std::string final_path = (dir.path() / "job.PRX").string();
  const int signal_number = GetParam().signal_number;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    remove_temporaries_on_signals();
    StagedFile file(final_path);
    StagedFile second((dir.path() / "job.OCC").string());
    if (write_all(file.fd(), "half") != 0) ::_exit(3);
    ::kill(::getpid(), signal_number);
    ::_exit(4);  // not reached: the signal ends the process
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), signal_number);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"job.PRX"});
  EXPECT_EQ(dir.read("job.PRX"), "earlier result");
}

INSTANTIATE_TEST_SUITE_P(EachSignal, StagedFileSignal,
                         ::testing::Values(SignalCase{"SIGINT", SIGINT},
                                           SignalCase{"SIGTERM", SIGTERM},
                                           SignalCase{"SIGHUP", SIGHUP}),
                         testing::NameOfCase());

// The process id of a child that has already ended.
pid_t ended_process() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

TEST(StaleTemporaries, OnlyThoseOfTheJobLeftByAnEndedProcessAreRemoved) {
  ScratchDirectory dir;
  const std::string dead = std::to_string(ended_process());
  const std::string alive = std::to_string(::getpid());
  const std::vector<std::string> removed = {".job.PRX.locprox-tmp." + dead + ".a1B2c3",
                                            ".job.pairs.csv.locprox-tmp." + dead + ".zzzzzz"};
  const std::vector<std::string> kept = {
      ".job.PRX.locprox-tmp." + alive + ".a1B2c3",  // a live writer's
      ".other.PRX.locprox-tmp." + dead + ".a1B2c3",  // another job's
      ".jobs.PRX.locprox-tmp." + dead + ".a1B2c3",  // another job's, same start
      ".job.PRX.locprox-tmp." + dead + ".short",    // not a temporary's name
      "job.PRX"};
  for (const auto& name : removed) dir.write(name, "x");
  for (const auto& name : kept) dir.write(name, "x");
  EXPECT_EQ(remove_stale_temporaries((dir.path() / "job").string()), 2);
  std::vector<std::string> want = kept;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(names_in(dir.path()), want);
}

// Whether a child process can take the lock of `stem` now.
JobLock::Outcome outcome_in_another_process(const std::string& stem) {
  const pid_t child = ::fork();
  if (child == 0) {
    JobLock lock;
    std::string problem;
    ::_exit(static_cast<int>(lock.take(stem, problem)));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return static_cast<JobLock::Outcome>(WEXITSTATUS(status));
}

TEST(JobLock, KeepsASecondWriterOfTheSameJobOutUntilReleased) {
  ScratchDirectory dir;
  const std::string stem = (dir.path() / "job").string();
  std::string problem;
  {
    JobLock lock;
    ASSERT_EQ(lock.take(stem, problem), JobLock::Outcome::kTaken) << problem;
    EXPECT_EQ(outcome_in_another_process(stem), JobLock::Outcome::kBusy);
    // Another job in the same folder is not held up.
    EXPECT_EQ(outcome_in_another_process((dir.path() / "other").string()),
              JobLock::Outcome::kTaken);
    // Nor is a second taking within the process that holds it.
    JobLock same;
    EXPECT_EQ(same.take(stem, problem), JobLock::Outcome::kBusy);
    EXPECT_NE(problem.find("another locprox is writing"), std::string::npos) << problem;
  }
  EXPECT_EQ(outcome_in_another_process(stem), JobLock::Outcome::kTaken);
}

TEST(JobLock, LockFileThatIsASymbolicLinkIsNotFollowed) {
  ScratchDirectory dir;
  dir.write("target.txt", "precious");
  fs::create_symlink(dir.path() / "target.txt", dir.path() / ".job.locprox-lock");
  JobLock lock;
  std::string problem;
  EXPECT_EQ(lock.take((dir.path() / "job").string(), problem), JobLock::Outcome::kFailed);
  EXPECT_NE(problem.find(".job.locprox-lock"), std::string::npos) << problem;
  EXPECT_EQ(dir.read("target.txt"), "precious");
}

}  // namespace
}  // namespace locprox
