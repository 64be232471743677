// The progress line of `locprox run`: on a terminal's standard error, when
// the console messages go elsewhere, one line counting the years, rewritten
// at each year and cleared at the end; nothing when standard error is not a
// terminal. The program runs with standard error on a pseudo terminal
// (output processing off, so the bytes read are those written).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace locprox {
namespace {

using testing::read_terminal_to_end;
using testing::ScratchDirectory;
using testing::wait_for_exit_status;

struct TerminalErrors {
  bool have_terminal = false;
  int exit_status = -1;
  std::string screen;  // what the program wrote to standard error
};

TerminalErrors run_with_terminal_errors(const ScratchDirectory& dir,
                                        const std::vector<std::string>& arguments) {
  TerminalErrors run;
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return run;
  run.have_terminal = true;
  termios modes{};
  ::tcgetattr(slave, &modes);
  modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  ::tcsetattr(slave, TCSANOW, &modes);
  std::vector<std::string> argv_text{LOCPROX_EXE};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(argument.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    const int out = ::open((dir.path() / "console").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(slave, 2);
    ::execv(LOCPROX_EXE, argv.data());
    ::_exit(127);
  }
  ::close(slave);
  run.screen = read_terminal_to_end(master);
  run.exit_status = wait_for_exit_status(pid);
  return run;
}

TEST(RunProgress, CountsTheYearsOnATerminal) {
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n3 2 1\n1990\n1991\n1992\nL1\nL2\nG\n");
  // 1992 compares the two locations: a run that compares none is warned about.
  dir.write("J.SEQ", "1 1 1 1\n1 2 1 2\n2 1 1 3\n3 1 1 5\n3 2 1 4\n");
  const TerminalErrors run =
      run_with_terminal_errors(dir, {"run", "J", "--distance", "centred", "--from", "1991"});
  if (!run.have_terminal) GTEST_SKIP() << "no pseudo terminal here";
  EXPECT_EQ(run.exit_status, 0) << run.screen;
  EXPECT_EQ(run.screen,
            "\rlocprox: year 1 of 2 (1991)\x1b[K\rlocprox: year 2 of 2 (1992)\x1b[K\r\x1b[K");
  EXPECT_NE(dir.read("console").find(" For each year"), std::string::npos);
}

TEST(RunProgress, NoneWhenStandardErrorIsAFile) {
  ScratchDirectory dir;
  dir.write("J.NAQ", "t\n1 2 1\n1990\nL1\nL2\nG\n");
  dir.write("J.SEQ", "1 1 1 1\n1 2 1 3\n");
  const auto run =
      testing::run_program(dir.path(), "", LOCPROX_EXE, {"run", "J", "--distance", "centred"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.errors, "");
}

}  // namespace
}  // namespace locprox
