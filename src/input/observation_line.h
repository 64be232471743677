// One line of the observations file (unit 20): year number, location
// number, entry number and value, read with the free-form rules, with short
// paths for the shape nearly every line has.
#pragma once

#include <cstdint>
#include <string_view>

#include "format/input_unit.h"

namespace locprox {

// The four fields of the record last read. They are kept from one record to
// the next and from one year to the next, so a line that ends early with a
// slash keeps the earlier values; all are zero at the start of a run.
struct ObservationFields {
  std::int32_t year = 0;
  std::int32_t location = 0;
  std::int32_t entry = 0;
  float value = 0.0f;
};

// What one record of the file holds.
enum class ObservationLine { kBlank, kObservation };

// Parses one record into `fields` with the free-form rules. A record without
// any value is blank. Every observation stands complete on its own line: a
// record with one to three values and no slash, a malformed number, or a
// value beyond 1.0E+30 in magnitude stops the run with a message naming
// the file and the line.
ObservationLine parse_observation(const InputUnit& unit, std::string_view record,
                                  ObservationFields& fields);

// The readers parse_observation and the year reader are made of; each
// short path gives the same fields as the general reader or declines.
//
// The short path for a record of the common shape: three unsigned integers
// and a plain decimal number (digits with at most one point), separated by
// blanks, with nothing or a blank after the number. Anything else (commas,
// slashes, r*, signs, exponents, tabs, a value that does not read as an
// ordinary float or is beyond 1.0E+30) returns false with `fields`
// untouched.
bool parse_plain_observation(std::string_view record, ObservationFields& fields);

// The shortest path, on a file's buffer: the line at `line`, which ends with
// a line feed before `lines_end` (with InputUnit::kReadPadding readable bytes
// after it), when it holds three integers of one to eight digits, each
// followed by one blank, then a number of at most seven digits before and
// seven after an optional point, then the line's end or a blank, within 32
// bytes. Returns the start of the next line, or null with `fields`
// untouched. `portably` classes the bytes with plain integer arithmetic, as
// on machines without vector compares (the year reader uses those where it
// has them).
const char* read_common_observation(const char* line, const char* lines_end,
                                    ObservationFields& fields, bool portably = false);

// The general reader: every free-form rule and every fault.
ObservationLine parse_general_observation(const InputUnit& unit, std::string_view record,
                                          ObservationFields& fields);

}  // namespace locprox
