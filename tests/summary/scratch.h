// A fresh directory per test, and running the built locprox-summary in it:
// the summary tests' names for the shared helpers of tests/support.
#pragma once

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

}  // namespace locprox::summary::testing
