// Warnings of a run: what it computes that its answers or its files may not
// have meant. They go to standard error only, one line each ("locprox:
// warning: ..."); the console, the report and the proximity file are byte
// for byte what they are without them, and the exit status is unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/measure.h"
#include "job/workspace.h"

namespace locprox {

// Writes each warning at once, as one line, to a file descriptor.
class WarningSink {
 public:
  explicit WarningSink(int fd) : fd_(fd) {}
  void warn(const std::string& text) const;

 private:
  int fd_;
};

// An answer that is none of the letters its prompt offers, with what the run
// makes of it: "answer 'x' to WEIGHT is taken as unweighted", and for a
// CORTYP other than N or Z, that plain correlations are averaged although
// the console says Fisher z.
std::vector<std::string> option_warnings(const Measure& measure);

// Records of the observations file skipped because their year number was
// below the year being read once the sequence had started.
std::string skipped_records_warning(const std::string& observations_file, std::int64_t count,
                                    long first_line);

// Names that are equal within their kind (years, locations or entries): the
// report and the summary cannot tell them apart. One warning per kind that
// has any, naming them by their numbers.
std::vector<std::string> equal_names_warnings(const Workspace& work, const ProblemSize& size,
                                              const std::string& names_file);

// A run in which no pair of distinct locations was compared in any year of
// the sequence (or a job of one location) has nothing to group: the warning
// says so and what to check, the year and location columns; when most years
// that observed anything observed a single location, that the years look
// like site-years. Empty when some pair was compared.
std::string no_pair_compared_warning(const Workspace& work, const ProblemSize& size,
                                     const std::string& job);

}  // namespace locprox
