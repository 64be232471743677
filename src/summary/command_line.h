// The command line of locprox-summary, parsed by CLI11 as locprox's is, with
// the same --help layout, the same complaint (one line, then the usage) and
// exit status 2 for a wrong command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace locprox::summary {

struct CommandLine {
  std::string proximity_file;          // JOB.PRX
  std::optional<std::string> names;    // --names FILE
  std::optional<std::int32_t> year;    // --year N
  bool keep_z = false;                 // --z
  std::optional<std::int32_t> groups;  // --groups K
  std::int64_t min_common = 10;        // --min-common N
  double max_interval = 0.5;           // --max-interval W
  std::optional<std::string> out;      // --out STEM
  bool html = true;                    // false with --no-html
  unsigned threads = 0;                // --threads N; 0: every hardware thread
};

struct ParsedCommandLine {
  std::optional<CommandLine> command;  // empty: --help, or a wrong command line
  int exit_status = 0;                 // when `command` is empty: 0 after --help, else 2
};

// Parses the arguments (argv[0] is the program's name). --help prints the
// help text to `out` and needs nothing else. An unknown option, a missing or
// bad value, or a missing or second proximity file prints one line saying
// what is wrong, then the usage, to `err`.
ParsedCommandLine parse_command_line(int argc, const char* const* argv, std::FILE* out,
                                     std::FILE* err);

extern const char* const kHelpText;

// The job stem of a proximity file (the path without ".PRX", any case) and
// the names file beside it (".NAQ" in the same case).
std::string job_stem(const std::string& proximity_file);
std::string default_names_file(const std::string& proximity_file);

}  // namespace locprox::summary
