// The names file (unit 21): the job title, the three counts of the data set
// and the names of its years, locations and entries.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "format/input_unit.h"
#include "format/names.h"
#include "input/names_counts.h"

namespace locprox {

using Title = std::array<char, 50>;

// Record 1: the first 50 characters of the line, blank padded.
Title read_title(InputUnit& names);

// RDNAME: the three lists of names, one record each: the first 8 characters
// of the line, blank padded, leading blanks kept.
void read_names(InputUnit& names, std::span<Name> YEARNAME, std::span<Name> LOCNAME,
                std::span<Name> ENTNAME, std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG);

}  // namespace locprox
