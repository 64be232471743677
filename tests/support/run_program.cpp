#include "support/run_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace locprox::testing {
ProgramRun run_program(const std::filesystem::path& directory, std::string_view answers,
                       const std::string& program, const std::vector<std::string>& arguments) {
  // Answers, output and errors go through temporary files so that no pipe can
  // fill up and stall either side.
  std::filesystem::path io = directory / ".run-io";
  std::filesystem::create_directories(io);
  {
    std::ofstream in(io / "stdin", std::ios::binary);
    in.write(answers.data(), static_cast<std::streamsize>(answers.size()));
  }
  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argv_text) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = ::open((io / "stdin").c_str(), O_RDONLY);
    int out = ::open((io / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open((io / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (::chdir(directory.c_str()) != 0) ::_exit(127);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ProgramRun run;
  run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.console = read_file(io / "stdout");
  run.errors = read_file(io / "stderr");
  std::filesystem::remove_all(io);
  return run;
}

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "locprox-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDirectory::write(const std::string& name, std::string_view contents) const {
  std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string ScratchDirectory::read(const std::string& name) const {
  return read_file(path_ / name);
}

bool ScratchDirectory::exists(const std::string& name) const {
  return std::filesystem::exists(path_ / name);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string read_terminal_to_end(int master) {
  std::string screen;
  char block[4096];
  for (;;) {
    const ssize_t got = ::read(master, block, sizeof block);
    if (got > 0) {
      screen.append(block, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // EIO once the program has closed its side
    }
  }
  ::close(master);
  return screen;
}

int wait_for_exit_status(int pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace locprox::testing
