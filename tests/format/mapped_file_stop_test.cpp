// A mapped input file that another program cuts short while it is read: the
// program stops as from an error (its message, status 2, no temporary left)
// instead of dying of SIGBUS; a SIGBUS that is not about such a file keeps
// its default action.
#include "format/mapped_file_stop.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "format/staged_file.h"
#include "format/whole_file.h"
#include "support/run_program.h"

namespace locprox {
namespace {

using testing::ScratchDirectory;

std::vector<std::string> names_in(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(MappedFileStop, ACutShortFileStopsTheProgramWithItsMessageAndStatus2) {
  ScratchDirectory dir;
  dir.write("table.csv", std::string(3 * 4096, 'x'));
  dir.write("job.PRX", "earlier result");
  const std::string table = (dir.path() / "table.csv").string();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int err = ::open((dir.path() / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0 || ::dup2(err, 2) < 0) ::_exit(3);
    remove_temporaries_on_signals();
    stop_when_a_mapped_file_shrinks("locprox");
    StagedFile output((dir.path() / "job.PRX").string());
    const WholeFile file(table, WholeFile::Pages::kAllAtOnce);
    if (::truncate(table.c_str(), 0) != 0) ::_exit(4);
    volatile char last = file.bytes()[file.bytes().size() - 1];
    (void)last;
    ::_exit(5);  // not reached: the read past the new end stops the process
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_EQ(dir.read("stderr.txt"),
            "locprox: " + table +
                ": the file became shorter while it was being read (changed by another program)\n");
  EXPECT_EQ(names_in(dir.path()),
            (std::vector<std::string>{"job.PRX", "stderr.txt", "table.csv"}));
  EXPECT_EQ(dir.read("job.PRX"), "earlier result");
}

TEST(MappedFileStop, ASigbusSentByAnotherProgramKeepsItsDefaultAction) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    stop_when_a_mapped_file_shrinks("locprox");
    ::kill(::getpid(), SIGBUS);
    ::_exit(5);  // not reached
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), SIGBUS);
}

}  // namespace
}  // namespace locprox
