// An input file of the summary, read through the main program's record layer
// (format/input_unit.h): the same records, line ends and record-length bound
// as the run that wrote or read the file. The record layer stops on a fault
// with a RunError that names "unit N (FILE)"; the summary has no units, so
// its messages name the file alone, "FILE, line N: problem", as InputErrors
// (exit status 2).
//
// The proximity file, the largest input by far, is held whole in memory
// instead (WholeFile) and cut into records by the same rules (RecordCursor),
// so that its year groups can be read at once on several threads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include "format/input_unit.h"
#include "format/whole_file.h"
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

namespace locprox::summary {

// The proximity file held whole (format/whole_file.h), its pages coming in
// as they are read; a file in the making is read from its temporary
// (readable_path). Throws InputError "PATH: cannot be opened: REASON" (or
// "...: it is a directory") or "PATH: read failed: REASON".
WholeFile whole_proximity_file(const std::string& path);

// The records of a file held in memory, from a given byte and line on, cut
// as the record layer cuts them: at each line feed, a carriage return before
// it dropped, and a last line without a line feed a record all the same. A
// record longer than 64 MiB is refused, as the record layer refuses it.
class RecordCursor {
 public:
  // `line` is the number of the records before `offset`.
  RecordCursor(std::string_view bytes, std::size_t offset, long line, const std::string& path)
      : bytes_(bytes), next_(offset), line_(line), path_(&path) {}

  // The next record, or false at the end of the bytes.
  bool next(std::string_view& record);
  // The next record when it is `length` characters long as a writer wrote
  // it (a line end, LF or CR LF, right after them): cut there without
  // searching for the line end, else as next() cuts it. The one difference
  // from next(): a record with a line feed among its first `length`
  // characters is cut after them, so the caller must refuse any record
  // holding a line feed (the fields' readers do) and then read the records
  // again with next().
  bool next_of_length(std::size_t length, std::string_view& record) {
    const std::size_t end = next_ + length;
    if (end < bytes_.size()) {
      const std::size_t line_end =
          bytes_[end] == '\n' ? 1
          : bytes_[end] == '\r' && end + 1 < bytes_.size() && bytes_[end + 1] == '\n' ? 2
                                                                                       : 0;
      if (line_end != 0) {
        record = bytes_.substr(next_, length);
        // A CR before the LF ends the line, as next() drops it.
        if (line_end == 1 && !record.empty() && record.back() == '\r') record.remove_suffix(1);
        last_ = next_;
        next_ = end + line_end;
        ++line_;
        return true;
      }
    }
    return next(record);
  }
  // The next call of next() returns the record just read again (once).
  void step_back() {
    next_ = last_;
    --line_;
  }

  // The 1-based number of the record last read.
  long line() const { return line_; }
  // True when no record follows the one just read.
  bool at_end() const { return next_ >= bytes_.size(); }
  // The byte where the next record starts.
  std::size_t offset() const { return next_; }
  const std::string& path() const { return *path_; }
  // "PATH, line N: WHAT" at the record last read.
  InputError error(const std::string& what) const { return error_at(*path_, line_, what); }

 private:
  std::string_view bytes_;
  std::size_t next_ = 0;
  std::size_t last_ = 0;
  long line_ = 0;
  const std::string* path_;
};

}  // namespace locprox::summary
