// The output fields of a record. Each writes exactly `width` characters at
// `out` and returns the position after them. A value that does not fit its
// field is written as `width` asterisks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace locprox {

// Iw: decimal, right-aligned, minus sign when negative.
char* format_integer(char* out, std::int64_t value, int width);
// `count` I fields of the same width, one after another.
char* format_integers(char* out, const std::int32_t* values, std::size_t count, int width);

// Fw.d: rounded correctly from the exact binary value to d decimals, ties to
// even. A negative value keeps its minus sign even when it rounds to zero
// (F10.3 of -0.0004 is "    -0.000"). The zero before the decimal point of a
// value below 1 is dropped only when the field is too narrow for it.
char* format_fixed(char* out, double value, int width, int decimals);

// Ew.d: 0.ddd...E+xx, d significant digits rounded correctly, ties to even.
// A three-digit exponent drops the E: 0.12345678+100.
char* format_exponent(char* out, double value, int width, int decimals);
// `count` Ew.d fields, one after another.
char* format_exponents(char* out, const double* values, std::size_t count, int width, int decimals);

// Aw: the first w characters of a longer value, or a shorter value
// right-aligned after blanks.
char* format_characters(char* out, std::string_view value, int width);

}  // namespace locprox
