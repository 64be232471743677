// The words the summary uses for a run, and the short report it prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "summary/averages.h"
#include "summary/proximity_reader.h"

namespace locprox::summary {

std::string measure_text(const Measure& measure, bool keep_z);
std::string weighting_text(const Measure& measure);
// What the averages are, for the colour scale: "average correlation r", ...
std::string value_label(const Measure& measure, bool keep_z);
// What the clustering joins on: "squared Euclidean distance" or "1 - r".
std::string distance_label(const Measure& measure);

// The span of years that the state after year `last` covers, from the
// sequence's first year: "1977-1988, 12 years", "1995, 1 year"; by their
// numbers ("years 1-12, 12 years") where a name is empty.
std::string years_span(const std::string& first_name, const std::string& last_name,
                       std::int32_t first, std::int32_t last);

struct ReportFacts {
  std::string proximity_file;
  std::string names_source;  // "names from X" or "numbered: no names file X"
  std::string first_year_name;  // the name of the sequence's first year, display form
  std::string year_name;     // the name of the year summarised, display form
  const ProximityFile* file = nullptr;
  bool keep_z = false;
  PairCounts pairs;
  std::int64_t min_common = 10;
  std::vector<std::string> written;
};

std::string summary_text(const ReportFacts& facts);

// "K groups ...", then one line per group: its size and its names.
std::string groups_text(const std::vector<std::int32_t>& group_of,
                        const std::vector<std::int32_t>& order,
                        const std::vector<std::string>& names, std::int32_t groups,
                        const std::string& distance);

}  // namespace locprox::summary
