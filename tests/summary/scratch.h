// A fresh directory per test, and running the built locprox-summary in it:
// the summary tests' names for the shared helpers of tests/support.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/run_program.h"

namespace locprox::summary::testing {

class Scratch : public locprox::testing::ScratchDirectory {
 public:
  std::string file(const std::string& name) const { return (path() / name).string(); }
};

struct ProgramRun {
  int status = -1;  // exit status, -1 when killed by a signal
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` in `directory`, `input` on standard input.
inline ProgramRun run(const std::string& program, const std::vector<std::string>& arguments,
                      const std::filesystem::path& directory, std::string_view input = {}) {
  locprox::testing::ProgramRun run =
      locprox::testing::run_program(directory, input, program, arguments);
  return {run.exit_status, std::move(run.console), std::move(run.errors)};
}

using locprox::testing::read_file;

// The full path of `name` on the PATH, or empty when it is not installed.
inline std::string program_on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::filesystem::path candidate =
        std::filesystem::path(dirs.substr(start, end - start)) / name;
    if (std::filesystem::exists(candidate)) return candidate.string();
    start = end + 1;
  }
  return {};
}

}  // namespace locprox::summary::testing
