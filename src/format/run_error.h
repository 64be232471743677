// The one way the program stops on a failure: a RunError carries a message
// that names the unit, the file, the line where there is one, and the fault.
// It is caught at the top of the run, which flushes what was written, prints
// the message to standard error and ends with exit status 2.
#pragma once

#include <stdexcept>
#include <string>

namespace locprox {

class RunError : public std::runtime_error {
 public:
  explicit RunError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace locprox
