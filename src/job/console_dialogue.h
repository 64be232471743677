// The console dialogue: one whole run of the program, asking for the job
// files, the problem size and the options, then running the year loop.
#pragma once

#include "format/units.h"
#include "job/run_warnings.h"
#include "job/work_arrays.h"

namespace locprox {

// How a run from the dialogue ended, short of an error stop.
enum class RunOutcome {
  kCompleted,       // every year of the sequence was done
  kProblemRefused,  // the problem size makes no sense
  kArraysTooSmall,  // a work array cannot hold the problem
  kNamesDisagree,   // the names file's counts are not the problem's
};

// The run once the job files are open: asks the problem size, checks it
// against the work arrays and cuts them up (or ends), asks the options and
// runs the sequence. Warnings (job/run_warnings.h) go to `warnings` when
// given: those of the options as soon as they are answered, the skipped
// records and equal names at the end of a completed run.
RunOutcome run_problem(Units& units, const WorkArrayViews& work,
                       const WarningSink* warnings = nullptr);

// The exit status of a run that ended without an error stop: 0 when it
// completed, 1 when it was refused (after writing its messages and records).
int exit_status(RunOutcome outcome);

// The whole run on the given console descriptors. Returns the exit status:
// exit_status() at a normal end, 2 after an error stop, whose message goes
// to `error_fd`.
int run_console_dialogue(int input_fd, int output_fd, int error_fd);

}  // namespace locprox
