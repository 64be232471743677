// `locprox run STEM`: the run of a job whose files are STEM.NAQ and STEM.SEQ,
// with the problem size taken from the names file and the options from the
// command line. It writes STEM.OCC and STEM.PRX byte for byte as the console
// dialogue does with the equivalent answers, and the console messages to
// standard output (none with --quiet). Its work arrays are sized to the
// problem: there is no fixed capacity, only a limit on memory.
#pragma once

#include <string>
#include <vector>

#include "format/job_lock.h"
#include "format/zeroed_block.h"

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
  // --max-output SIZE: the most the report and the proximity file may take
  // together; default: the free space of their folder less a margin.
  std::optional<std::uint64_t> max_output;
};

// The files a run reads: by default STEM.NAQ, STEM.SEQ and STEM.names.csv;
// `locprox analyse` has it read the temporaries its import wrote. Messages
// name the job's files all the same.
struct JobSources {
  std::string names, observations, names_table;
  // When given, the observations file's bytes in memory (as
  // InputUnit::adopt_bytes takes them), read instead of `observations`.
  ByteBuffer* observations_bytes = nullptr;
};
JobSources job_sources(const std::string& stem);

class StagedFiles;

// Runs the job. Returns the exit status: 0 when the run is complete, 1 when
// it is refused (too large for the memory or the disk allowed, refused before
// anything is written; a problem the run refuses after its console records,
// as the dialogue does; or another process writing the same job in the same
// folder), 2 after an error stop. STEM.OCC and STEM.PRX are written under
// temporary names and put in place only when the run is complete: a run that
// stops, however it stops, leaves the earlier files as they were. Messages
// and warnings go to `error_fd`, the console to `output_fd`.
int run_command(const RunOptions& options, int output_fd, int error_fd);

// Takes the lock of the job `stem` for `lock`: true when taken, or when the
// folder cannot hold a lock file (the outputs then fail with their own
// messages); false, with the message on `error_fd`, when another writer holds it.
bool take_job_lock(JobLock& lock, const std::string& stem, int error_fd);

// The run of run_command without its lock and without putting its outputs
// in place: the report and the proximity file are left in `outputs`, to be
// published by the caller when the status is 0 (and removed otherwise).
int run_staged(const RunOptions& options, const JobSources& sources, StagedFiles& outputs,
               int output_fd, int error_fd);

}  // namespace locprox
