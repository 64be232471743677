// The summary of one proximity file, as a function: locprox-summary calls it
// after reading its command line, and so can any other front end.
#pragma once

#include <cstdio>

#include "summary/command_line.h"

namespace locprox::summary {

// Reads the proximity file and the names beside it, forms the averages,
// groups the locations, writes the CSV tables and the picture, and prints the
// summary to `out`; warnings go to standard error. Returns the exit status:
// 0 when summarised. Throws InputError for input it refuses (exit status 2),
// RefusedRun for the proximity file of a refused run, with the reason from
// the report beside it where there is one (exit status 1), and OutputError
// for an output it cannot write (exit status 1).
int summarise(const CommandLine& command, std::FILE* out);

}  // namespace locprox::summary
