// The job's names as the summary shows them, read from the names file through
// the main program's own readers (input/names_file.h, input/names_counts.h):
// the title, the three counts (checked against the proximity file's
// dimension record, so that the names of another job are never put on this
// job's locations), the year names and the location names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "summary/proximity_reader.h"

namespace locprox::summary {

struct JobNames {
  std::string title;                   // as written, 50 characters, trailing blanks dropped
  std::vector<std::string> years;      // display form (see display_name)
  std::vector<std::string> locations;  // display form, MAXL of them
};

// Throws InputError naming the file and line for a missing, empty or short
// file, a malformed count, or counts that disagree with `dims`.
JobNames read_job_names(const std::string& path, const Dimensions& dims);

// Location names numbered 1 to maxl, for a job whose names file is absent.
std::vector<std::string> numbered_locations(std::int32_t maxl);

// A name as the outputs show it: trailing blanks dropped, control characters
// shown as "?", and bytes that are not UTF-8 taken as Latin-1, so that the
// CSV files and the SVG are always valid UTF-8 text.
std::string display_name(std::string_view raw);

}  // namespace locprox::summary
