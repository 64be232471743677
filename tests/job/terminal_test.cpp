// The console on an interactive terminal: the first character of every
// record is carriage control and not shown, lines end in LF, and each answer
// is typed on the line of its prompt. The program is run on a pseudo
// terminal with echo and output processing turned off, so the bytes read
// from it are exactly what the program wrote.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/run_program.h"

namespace locprox {
namespace {

using locprox::testing::read_terminal_to_end;
using locprox::testing::ScratchDirectory;
using locprox::testing::wait_for_exit_status;

struct TerminalRun {
  bool have_terminal = false;  // false where no pseudo terminal can be opened
  int exit_status = -1;
  std::string screen;  // what the program wrote to the terminal
};

TerminalRun run_on_terminal(const ScratchDirectory& dir, const std::string& answers) {
  int master = -1;
  int slave = -1;
  TerminalRun run;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return run;
  run.have_terminal = true;
  termios modes{};
  ::tcgetattr(slave, &modes);
  modes.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  modes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  ::tcsetattr(slave, TCSANOW, &modes);
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    int err = ::open((dir.path() / "errors").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err < 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(127);
    ::dup2(slave, 0);
    ::dup2(slave, 1);
    ::dup2(err, 2);
    ::execl(LOCPROX_EXE, LOCPROX_EXE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(slave);
  (void)!::write(master, answers.data(), answers.size());
  run.screen = read_terminal_to_end(master);
  run.exit_status = wait_for_exit_status(pid);
  return run;
}

TEST(Terminal, RecordsLoseTheirFirstCharacterAndPromptsLineUp) {
  ScratchDirectory dir;
  dir.write("T.SEQ", "");
  dir.write("T.NAQ", "");
  TerminalRun run = run_on_terminal(dir, "y\nT\n-1\n0\n0\n0\n0\n");
  if (!run.have_terminal) GTEST_SKIP() << "no pseudo terminal here";
  EXPECT_EQ(run.exit_status, 1) << dir.read("errors");  // the size -1 is refused
  // Each answer follows its prompt on the screen; every prompt's hyphen is
  // in column 40.
  EXPECT_EQ(run.screen,
            "Do you wish default file names (Y or N)? - "
            "Enter job name (ie. name for files without extension)\n"
            "Type the number of unique \n"
            "              years in whole data set  - "
            "          locations in whole data set  - "
            "            entries in whole data set  - "
            "  Type year sequential analysis starts - "
            "Type year sequential analysis finishes - "
            "Numbers of years, locations and entries must not be negative\n");
  // The files are written as files, first characters included.
  EXPECT_TRUE(dir.read("T.OCC").ends_with(
      " Numbers of years, locations and entries must not be negative\r\n"));
}

}  // namespace
}  // namespace locprox
