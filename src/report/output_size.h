// The sizes of a run's report (STEM.OCC) and proximity file (STEM.PRX),
// worked out from the problem before anything is written: every record of
// both has a fixed layout, so the sizes follow from the numbers of years,
// locations and entries, the sequence and the measure. The one part that
// depends on the data is the report's note of each duplicate or
// out-of-range observation and of an observations file ending within the
// sequence, one line each, which the report's size here leaves out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "format/measure.h"

namespace locprox {

struct OutputSizes {
  std::uint64_t report = 0;     // bytes, saturating at 2^64 - 1
  std::uint64_t proximity = 0;  // bytes, saturating
  std::uint64_t total() const;
};

// The sizes of the outputs of a run of years IYS to IYF of a problem of MAXY
// years, MAXL locations and MAXG entries that the run accepts.
OutputSizes output_sizes(std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                         std::int32_t IYF, const Measure& measure);

// The room the outputs may take by default: the free space of the file
// system of `folder` less a margin for the files written beside them (a
// twentieth of it, at most 1 GiB);
// nothing when it cannot be found.
std::optional<std::uint64_t> default_output_limit(const std::string& folder);

}  // namespace locprox
