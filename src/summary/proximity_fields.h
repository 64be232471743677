// The proximity file's fields converted on their usual short path: an E16.8
// sum as the writer forms it ("  0.12345678E+02", an optional minus sign
// before the 0) and an I6 count of right-aligned digits. Anything else takes
// the general readers of format/field_reader.h, so every field gives exactly
// the value (or the refusal) those readers give.
#pragma once

#include <optional>
#include <string_view>

#include "format/field_reader.h"

namespace locprox::summary {

// As parse_real_field(field).
std::optional<double> real_field_value(std::string_view field);

// As parse_count_field(field).
std::optional<CountField> count_field_value(std::string_view field);

}  // namespace locprox::summary
