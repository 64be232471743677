// Reading back the fields that fields.h writes: Iw counts and Ew.d reals of
// fixed-column records (the proximity file), exactly as they were written,
// plus the cheap shape checks for records that are walked over but not
// converted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace locprox {

// An Iw field. A count too wide for its columns was written as asterisks: its
// value is then unknown, which is not the same as malformed.
struct CountField {
  std::int32_t value = 0;
  bool known = true;
};

// Right-aligned optionally signed digits, or a field of asterisks.
// nullopt for anything else (blank field, embedded blanks, letters).
std::optional<CountField> parse_count_field(std::string_view field);

// A real in exponent form as written by Ew.d (" 0.12500000E+02", and the form
// without the letter when the exponent needs three digits, "0.12345678+100"),
// or in any plain decimal form. The nearest double to the text, so the value
// is exactly the one a correctly rounding reader gets on every machine.
// nullopt for malformed text, asterisks or a value out of double range.
std::optional<double> parse_real_field(std::string_view field);

// True when `record` holds `count` fields of `width` columns: exactly that
// many characters, or more that are all blanks.
bool has_fields(std::string_view record, int width, int count);

// Character classes for the shape check of records that are not converted:
// what may appear in an Iw record and in an Ew.d record.
bool is_count_text(std::string_view record);
bool is_real_text(std::string_view record);

}  // namespace locprox
