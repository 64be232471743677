// `locprox import`: a tidy trial table (one row per plot: year, location,
// entry, value) becomes the job files STEM.NAQ, STEM.SEQ and STEM.names.csv
// that the run reads. The table is read once, as a stream; what is held
// until the files are written is 16 bytes per row with a value, and every
// name once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "format/zeroed_block.h"
#include "import/import_options.h"
#include "import/job_writer.h"
#include "import/trial_table.h"

namespace locprox {

class StagedFiles;

struct ImportResult {
  std::string table;          // as given
  char delimiter = 0;
  bool delimiter_found = false;  // found from the header, not given
  TableColumns columns;
  std::string stem;
  std::string names_file, observations_file, names_table;
  std::string title;

  std::int32_t years = 0, locations = 0, entries = 0;
  bool years_numeric = false;
  std::string first_year, last_year;  // full names of years 1 and MAXY

  std::size_t rows_read = 0, rows_missing = 0, rows_empty = 0;
  ObservationCounts observations;
  Replicates replicates = Replicates::kMean;
  std::size_t names_cut = 0, names_suffixed = 0;

  // STEM.replicates.csv, written when cells' rows were merged into their
  // mean (empty otherwise), and the merged cells whose rows are far apart:
  // their range, the largest value less the smallest, is more than
  // kFarApart times the median range of the merged cells.
  std::string replicates_file;
  float median_range = 0;
  std::size_t far_apart = 0;
  std::string first_far_apart;  // the first such cell: its names and its lines

  // With ImportOptions::keep_observations: the bytes of STEM.SEQ, with
  // InputUnit::kReadPadding bytes before and after them, for the run to read
  // instead of the file.
  ByteBuffer observations_bytes;

  // Empty when the console dialogue's fixed work arrays hold the job; else
  // what they lack, e.g. "MZ needs 1234567 elements, it has 720000".
  std::string dialogue_shortfall;
};

// How many times the median range of the merged cells a cell's range must
// exceed for its rows to count as far apart.
inline constexpr float kFarApart = 4.0f;

// What a caller does with the imported job while the import writes
// STEM.replicates.csv, which nothing that follows reads: the result is
// complete (its far-apart cells included) and the other job files are in
// the caller's outputs.
using ImportMeanwhile = std::function<void(ImportResult&)>;

// Reads the table and writes the job files; throws ImportError, having
// written nothing, when the table or the files fail. With `outputs`, the job
// files are left there under their temporary names, unpublished; and
// `meanwhile`, when given, is called on this thread with the result while
// STEM.replicates.csv is written on another, which is waited for (and its
// failure thrown) once `meanwhile` returns. A `meanwhile` that throws has
// the writing waited for, and the exception passed on.
ImportResult import_table(const ImportOptions& options, StagedFiles* outputs = nullptr,
                          const ImportMeanwhile& meanwhile = nullptr);

// The job files for the rows of `table` (at least one), whoever filled it:
// numbers the years, makes the short names and writes STEM.NAQ, STEM.SEQ,
// STEM.names.csv and, when cells were merged, STEM.replicates.csv, filling
// in the rest of `result` (its stem, file names and title already set).
// With `outputs`, the files are handed over to it staged, as import_table's
// are, and `meanwhile` called as import_table does. Throws ImportError,
// having written nothing, when a file fails.
void write_job_files(const TrialTable& table, const ImportOptions& options, ImportResult& result,
                     StagedFiles* outputs = nullptr, const ImportMeanwhile& meanwhile = nullptr);

// What the import did, and (with `next_command`) the command to run next.
void print_import_report(const ImportResult& result, std::FILE* out, bool next_command = true);

// The job stem a table gives by default: its file name without the last
// extension, in the current directory.
std::string default_stem(const std::string& table);

// `text` quoted for a POSIX shell where it needs it.
std::string shell_word(const std::string& text);

// The whole command: import, report to `out`, a failure as one line to
// `err`. Returns the exit status: 0, or 2 after a failure.
int import_command(const ImportOptions& options, std::FILE* out, std::FILE* err);

}  // namespace locprox
