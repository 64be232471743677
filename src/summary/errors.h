// The ways the summary stops: input it refuses (a message naming the file,
// and the line where there is one; exit status 2), the proximity file of a
// run that was refused or that compared no pair of locations (nothing to
// summarise; exit status 1, as the run's own) and an output it cannot write
// (exit status 1).
#pragma once

#include <stdexcept>
#include <string>

namespace locprox::summary {

class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The proximity file holds only what a refused run writes: the dimension
// record (a problem size the run does not take, or work arrays too small for
// it), or the dimension and option records (names-file counts that disagree
// with the problem size).
class RefusedRun : public std::runtime_error {
 public:
  RefusedRun(const std::string& message, std::string dimension_record, bool option_record)
      : std::runtime_error(message),
        dimension_record_(std::move(dimension_record)),
        option_record_(option_record) {}
  // The file's dimension record, as written.
  const std::string& dimension_record() const { return dimension_record_; }
  // Whether the option record follows it.
  bool option_record() const { return option_record_; }

 private:
  std::string dimension_record_;
  bool option_record_;
};

// No pair of distinct locations has a positive count in the year
// summarised (or the job has one location): there are no averages to group
// (exit status 1, as for a refused run).
class NothingCompared : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OutputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "FILE, line N: WHAT", the form of every message about a record.
inline InputError error_at(const std::string& file, long line, const std::string& what) {
  return InputError(file + ", line " + std::to_string(line) + ": " + what);
}

}  // namespace locprox::summary
