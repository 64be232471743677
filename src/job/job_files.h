// Opening the four job files in their order: the two input files, which must
// exist, then the two output files, created or replaced.
#pragma once

#include <string>

#include "format/units.h"
#include "job/job_dialogue.h"

namespace locprox {

// A file name as handed to the operating system: trimmed of blanks at both
// ends.
std::string trimmed_file_name(const FileName& name);

// Opens units 20 and 21 for reading and units 22 and 23 for writing, under
// the names the units were given. Stops the run before any output file is
// created or changed when a name is empty, an input file cannot be opened,
// or two of the four names name the same file.
void open_job_files(Units& units);

}  // namespace locprox
