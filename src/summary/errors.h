// The two ways the summary stops: input it refuses (a message naming the file,
// and the line where there is one; exit status 2) and an output it cannot
// write (exit status 1).
#pragma once

#include <stdexcept>
#include <string>

namespace locprox::summary {

class InputError : public std::runtime_error {
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
