// The year loop of a run (SEQANL): the job's title and options, the names
// file, and for every year of the sequence its reading, counts, centring,
// accumulation and records, in that order.
#pragma once

#include "format/units.h"
#include "job/analysis_options.h"
#include "job/workspace.h"

namespace locprox {

enum class SequenceOutcome {
  kCompleted,      // every year of the sequence was done
  kNamesDisagree,  // the names file's counts are not the problem's: nothing was done
};

// Clears the accumulators, writes the title and the options, checks the
// names file's counts against the problem and reads its names, then runs
// the years IYS to IYF. The options were asked before (they are only echoed
// here). Every file error stops the run with a RunError.
SequenceOutcome run_sequence(Units& units, const Workspace& work, const ProblemSize& size,
                             const AnalysisOptions& options);

}  // namespace locprox
