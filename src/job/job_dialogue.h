// The job dialogue: default file names built from a job name, or the four
// names typed one by one.
#pragma once

#include <array>
#include <string>

#include "format/units.h"

namespace locprox {

using FileName = std::array<char, 50>;

struct JobFileNames {
  FileName observations;  // unit 20, .SEQ
  FileName names;         // unit 21, .NAQ
  FileName report;        // unit 22, .OCC
  FileName proximity;     // unit 23, .PRX
};

// Asks the default-names question and then for the job name or the four file
// names, on the console.
JobFileNames ask_file_names(OutputUnit& console, InputUnit& console_input);

// The first n significant characters of the job name followed by the
// extension, cut to 50 characters and padded with blanks.
FileName default_file_name(const FileName& job_name, const char* extension);

}  // namespace locprox
