// The command line of locprox-summary.
#pragma once

#include <cstdint>
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
  std::optional<std::string> out;      // --out STEM
  bool help = false;                   // --help
};

// Throws InputError with a message for an unknown option, a missing or bad
// value, or a missing or second proximity file. With --help nothing else is
// required.
CommandLine parse_command_line(const std::vector<std::string>& arguments);

extern const char* const kHelpText;

// The job stem of a proximity file (the path without ".PRX", any case) and
// the names file beside it (".NAQ" in the same case).
std::string job_stem(const std::string& proximity_file);
std::string default_names_file(const std::string& proximity_file);

}  // namespace locprox::summary
