// The year loop of a run (SEQANL): the job's title and options, the names
// file, and for every year of the sequence its reading, counts, centring,
// accumulation and records, in that order.
#pragma once

#include <cstdint>

#include "format/measure.h"
#include "format/units.h"
#include "job/problem_requirements.h"
#include "job/workspace.h"

namespace locprox {

// How the year loop runs. The results do not depend on it: every setting
// gives the same bytes in every file.
// The most memory (8 bytes a cell) a problem takes for a second pair of
// YDATA and INCID, into which the year loop reads every other year so that
// the workers gather a year's blocks while the next is read.
inline constexpr std::uint64_t kSecondArraysBytes = std::uint64_t{16} << 20;

struct SequenceSettings {
  // Threads that share the year's work, the calling one included; 0 means
  // one per hardware thread.
  unsigned threads = 0;
  // A problem whose second pair of arrays would take more than this reads
  // every year into YDATA and INCID (0: every problem does).
  std::uint64_t second_arrays_bytes = kSecondArraysBytes;
};

enum class SequenceOutcome {
  kCompleted,      // every year of the sequence was done
  kNamesDisagree,  // the names file's counts are not the problem's: nothing was done
};

// What a run's caller may learn besides the records: where the year loop
// is, and the records of the observations file that no year read.
struct SequenceNotes {
  // Called as each year of the sequence starts (IY, and K from 1), when set.
  void (*year_started)(void* context, std::int32_t IY, std::int32_t K) = nullptr;
  void* context = nullptr;
  // Records skipped because their year number was below the year being
  // read once the sequence had started (the file is out of year order
  // there), with the line of the first.
  std::int64_t skipped_records = 0;
  long first_skipped_line = 0;
};

// The most memory the year loop takes besides the work arrays, in bytes, for
// a problem with these requirements on `threads` threads (0: every hardware
// thread); saturates instead of wrapping. The largest parts: a year's values
// and incidence gathered into blocks (as large as YDATA and INCID for a year
// that observed everything), for a problem of few cells the second pair of
// arrays to read into (kSecondArraysBytes at most, with the default
// settings), and the texts of the kappa section and the proximity blocks
// kept from year to year (40 bytes a pair of locations).
std::uint64_t year_loop_memory(const ProblemRequirements& need, unsigned threads);

// Clears the accumulators, writes the title and the options, checks the
// names file's counts against the problem and reads its names, then runs
// the years IYS to IYF. The options were asked before (they are only echoed
// here). Every file error stops the run with a RunError. `notes`, when
// given, is told of each year and given the skipped records.
SequenceOutcome run_sequence(Units& units, const Workspace& work, const ProblemSize& size,
                             const Measure& measure, SequenceNotes* notes = nullptr,
                             const SequenceSettings& settings = {});

}  // namespace locprox
