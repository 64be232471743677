// Reading a whole trial table into a TrialTable, on several threads where
// the table allows it: the file is read into memory at once; when the table
// holds no quote character (so no field can hold a line end), the part after
// the header line is cut into large stretches at line ends,
// each stretch is split into rows and checked on a thread of its own with
// its names numbered locally, and the stretches are joined in table order,
// which numbers the names as a row-by-row reading would. Otherwise the table
// reader takes the whole table as before. Either way the rows, names,
// numbers, counts, line numbers and messages are the same.
#pragma once

#include <cstddef>
#include <string>

#include "import/trial_table.h"
#include "input/table_reader.h"

namespace locprox {

// Stretches of about this many bytes: large enough that a thread's work
// outweighs handing it out, small enough that the threads share the table
// evenly and the rows waiting to be joined stay few.
inline constexpr std::size_t kTableChunkBytes = std::size_t{4} << 20;

// Reads the table at `path` into `table` (made with `reader`): `threads`
// threads (0: every hardware thread), stretches of `chunk_bytes` (0: the
// usual size). Throws ImportError with the message of the first fault in
// the table, as a reading from front to back meets it.
void load_trial_table(const std::string& path, TableReader& reader, TrialTable& table,
                      unsigned threads = 0, std::size_t chunk_bytes = 0);

// The same for a table already in memory.
void load_trial_table_text(std::string_view text, TableReader& reader, TrialTable& table,
                           unsigned threads = 0, std::size_t chunk_bytes = 0);

// The threads a count of 0 stands for: every hardware thread (at least 1).
unsigned table_threads(unsigned threads);

}  // namespace locprox
