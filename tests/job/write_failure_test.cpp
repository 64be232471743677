// A failed write is an error stop, never a normal end: for an output file,
// for standard output on a full device, and for standard output into a pipe
// that nobody reads any more.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::ProgramRun;
using locprox::testing::read_file;
using locprox::testing::run_program;
using locprox::testing::ScratchDirectory;

// A job that is refused at once (a negative count), so it writes little.
const char* const kAnswers = "y\nT\n-1\n0\n0\n0\n0\n";

struct Ended {
  int exit_status = -1;  // -1 when killed by a signal
  std::string errors;
};

// Runs the program in `dir` with kAnswers on standard input and standard
// output on `out_fd`.
Ended run_with_output(const ScratchDirectory& dir, int out_fd) {
  dir.write("answers", kAnswers);
  pid_t pid = ::fork();
  if (pid == 0) {
    int in = ::open((dir.path() / "answers").c_str(), O_RDONLY);
    int err = ::open((dir.path() / "errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || err < 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out_fd, 1);
    ::dup2(err, 2);
    ::execl(LOCPROX_EXE, LOCPROX_EXE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, dir.read("errors")};
}

TEST(WriteFailure, ReportOnAFullDevice) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "");
  std::filesystem::create_symlink("/dev/full", dir.path() / "T.OCC");
  ProgramRun run = run_program(dir.path(), kAnswers);
  EXPECT_EQ(run.exit_status, 2);
  EXPECT_EQ(run.errors, "locprox: unit 22 (T.OCC): write failed: No space left on device\n");
  // The proximity file is still written out.
  EXPECT_EQ(dir.read("T.PRX"), "    -1     0     0     0     0     1     0\r\n");
}

TEST(WriteFailure, StandardOutputOnAFullDevice) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "");
  int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  Ended ended = run_with_output(dir, full);
  ::close(full);
  EXPECT_EQ(ended.exit_status, 2);
  EXPECT_EQ(ended.errors, "locprox: the console: write failed: No space left on device\n");
}

TEST(WriteFailure, StandardOutputIntoAClosedPipe) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "");
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ::close(pipe_fds[0]);  // nobody will read
  Ended ended = run_with_output(dir, pipe_fds[1]);
  ::close(pipe_fds[1]);
  // Not killed by the broken pipe: an error stop with its message.
  EXPECT_EQ(ended.exit_status, 2);
  EXPECT_EQ(ended.errors, "locprox: the console: write failed: Broken pipe\n");
}

}  // namespace
}  // namespace locprox
