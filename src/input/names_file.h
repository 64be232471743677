// The names file (unit 21): the job title, the three counts of the data set
// and the names of its years, locations and entries.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "format/names.h"
#include "format/units.h"

namespace locprox {

using Title = std::array<char, 50>;

// Record 1: the first 50 characters of the line, blank padded.
Title read_title(InputUnit& names);

// The three counts, read free-form and compared with the problem size. On the
// first disagreement (years, then locations, then entries) writes an empty
// record and the message to the report, then the message to the console, and
// returns false. On agreement returns true and writes nothing.
bool check_names_counts(Units& units, std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG);

// The three lists of names, one record each: the first 8 characters of the
// line, blank padded, leading blanks kept.
void RDNAME(InputUnit& names, std::span<Name> YEARNAME, std::span<Name> LOCNAME,
            std::span<Name> ENTNAME, std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG);

}  // namespace locprox
