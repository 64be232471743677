// Runs the built locprox program as a user would: in a working directory,
// with the console answers on standard input, capturing what it prints.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace locprox::testing {

struct ProgramRun {
  int exit_status = -1;  // the exit status, or -1 when the program died by a signal
  std::string console;   // everything written to standard output
  std::string errors;    // everything written to standard error
};

// Runs `program` (LOCPROX_EXE by default) with `arguments` in `directory`,
// with `answers` as its whole standard input (closed after them).
ProgramRun run_program(const std::filesystem::path& directory, std::string_view answers,
                       const std::string& program = LOCPROX_EXE,
                       const std::vector<std::string>& arguments = {});

// A fresh, empty directory for one test, removed by the destructor.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Writes `contents` to the file `name` in the directory, byte for byte.
  void write(const std::string& name, std::string_view contents) const;
  // The whole contents of the file `name`; empty when it does not exist.
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Reads a whole file, byte for byte.
std::string read_file(const std::filesystem::path& path);

// Everything a program writes to the pseudo terminal whose master side is
// `master`, until it closes its side; then closes `master`.
std::string read_terminal_to_end(int master);

// Waits for the child `pid`: its exit status, or -1 when a signal ended it.
int wait_for_exit_status(int pid);

}  // namespace locprox::testing
