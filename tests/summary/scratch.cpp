#include "summary/scratch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace locprox::summary::testing {

Scratch::Scratch() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "locprox-summary-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

Scratch::~Scratch() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void Scratch::write(const std::string& name, std::string_view contents) const {
  std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

std::string Scratch::read(const std::string& name) const {
  return read_file(path_ / name);
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

ProgramRun run(const std::string& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& directory, std::string_view input) {
  // Standard streams go through files so that no pipe can fill up.
  const std::filesystem::path io = directory / ".io";
  std::filesystem::create_directories(io);
  {
    std::ofstream in(io / "in", std::ios::binary);
    in.write(input.data(), static_cast<std::streamsize>(input.size()));
  }
  std::vector<std::string> argv_text{program};
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int in = ::open((io / "in").c_str(), O_RDONLY);
    int out = ::open((io / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = ::open((io / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
  ProgramRun result;
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_file(io / "out");
  result.err = read_file(io / "err");
  std::filesystem::remove_all(io);
  return result;
}

}  // namespace locprox::summary::testing
