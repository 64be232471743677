// Console texts that several program-level tests expect, written out as the
// user sees them when the console is redirected: records end in CR LF, and
// the record after a prompt continues on the prompt's line.
#pragma once

#include <string>

namespace locprox::testing {

// A default-names run up to and including the last problem-size prompt.
inline const std::string kSizeDialogue =
    " Do you wish default file names (Y or N)? - "
    " Enter job name (ie. name for files without extension)\r\n"
    " Type the number of unique \r\n"
    "               years in whole data set  - "
    "           locations in whole data set  - "
    "             entries in whole data set  - "
    "   Type year sequential analysis starts - "
    " Type year sequential analysis finishes - ";

}  // namespace locprox::testing
