// The one way an import stops: an ImportError carries a one-line message
// naming the table (or the file being written), and where there is one the
// line, the column and the text at fault. Nothing of the job is written
// then: the job files only take their names once every one is complete.
#pragma once

#include <stdexcept>
#include <string>

namespace locprox {

class ImportError : public std::runtime_error {
 public:
  explicit ImportError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace locprox
