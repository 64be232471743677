// An input file of the summary, read through the main program's record layer
// (format/input_unit.h): the same records, line ends and record-length bound
// as the run that wrote or read the file. The record layer stops on a fault
// with a RunError that names "unit N (FILE)"; the summary has no units, so
// its messages name the file alone, "FILE, line N: problem", as InputErrors
// (exit status 2).
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "format/input_unit.h"
#include "format/run_error.h"
#include "summary/errors.h"

namespace locprox::summary {

class InputFile {
 public:
  // Opens `path` for reading as unit `unit` (for the record layer only);
  // throws InputError "PATH: cannot be opened: REASON".
  InputFile(int unit, const std::string& path, std::size_t block_size);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  InputUnit& unit() { return unit_; }
  const std::string& path() const { return unit_.name(); }
  // The 1-based number of the record last read.
  long line() const { return unit_.line_number(); }

  // "PATH, line N: WHAT" at the record last read.
  InputError error(const std::string& what) const { return error_at(path(), line(), what); }
  // The record layer's message with the file named as the summary names it.
  InputError error(const RunError& stop) const;

  // Runs `read` and gives any RunError of the record layer as an InputError.
  template <class Read>
  decltype(auto) reading(Read&& read) {
    try {
      return std::forward<Read>(read)();
    } catch (const RunError& stop) {
      throw error(stop);
    }
  }

 private:
  int fd_ = -1;
  InputUnit unit_;
};

}  // namespace locprox::summary
