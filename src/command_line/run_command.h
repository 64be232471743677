// `locprox run STEM`: the run of a job whose files are STEM.NAQ and STEM.SEQ,
// with the problem size taken from the names file and the options from the
// command line. It writes STEM.OCC and STEM.PRX byte for byte as the console
// dialogue does with the equivalent answers, and the console messages to
// standard output (none with --quiet). Its work arrays are sized to the
// problem: there is no fixed capacity, only a limit on memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "format/measure.h"

namespace locprox {

struct RunOptions {
  std::string stem;
  std::optional<std::string> from;  // the first year: a name or #N (default: the first)
  std::optional<std::string> to;    // the last year (default: the last)
  // --distance centred|standardised or --correlation plain|fisher-z, and
  // --unweighted: the letters the dialogue's answers give for them.
  Measure measure = Measure::of(MeasureKind::kFisherZCorrelation, true);
  bool quiet = false;
  unsigned threads = 0;                     // 0: every hardware thread
  std::optional<std::uint64_t> max_memory;  // bytes; default: available less a margin
};

// Runs the job. Returns the exit status: 0 when the run is complete, 1 when
// it is refused (too large for the memory allowed, refused before anything
// is written; or a problem the run refuses after its records, as the
// dialogue does), 2 after an error stop. Messages and warnings go to
// `error_fd`, the console to `output_fd`.
int run_command(const RunOptions& options, int output_fd, int error_fd);

}  // namespace locprox
