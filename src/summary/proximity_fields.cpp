#include "summary/proximity_fields.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace locprox::summary {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// 10^0 .. 10^22: every one exactly a double.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kLargestExactPower = 22;

// "0.dddddddd" "E" sign "dd": the 14 characters the writer puts after the
// blanks and the sign.
constexpr std::size_t kWrittenLength = 14;

}  // namespace

std::optional<double> real_field_value(std::string_view field) {
  std::size_t at = 0;
  while (at < field.size() && field[at] == ' ') ++at;
  const bool negative = at < field.size() && field[at] == '-';
  if (negative) ++at;
  const char* c = field.data() + at;
  if (field.size() - at != kWrittenLength || c[0] != '0' || c[1] != '.' || c[10] != 'E' ||
      (c[11] != '+' && c[11] != '-') || !is_digit(c[12]) || !is_digit(c[13])) {
    return parse_real_field(field);
  }
  std::int64_t digits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t digit_bytes;
    std::memcpy(&digit_bytes, c + 2, sizeof digit_bytes);
    if (digits_detail::not_digits(digit_bytes) != 0) return parse_real_field(field);
    digits = digits_detail::eight_digits(digit_bytes);
  } else {
    for (int k = 2; k < 10; ++k) {
      if (!is_digit(c[k])) return parse_real_field(field);
      digits = digits * 10 + (c[k] - '0');
    }
  }
  const int exponent = (c[11] == '-' ? -1 : 1) * ((c[12] - '0') * 10 + (c[13] - '0'));
  // The value is digits * 10^(exponent - 8). The digits (below 10^8) and a
  // power of ten up to 10^22 are both exact doubles, so one multiplication
  // or division rounds the exact decimal value once, to the nearest double:
  // the value a correctly rounding reader gives. Other scales take that reader.
  const int scale = exponent - 8;
  if (scale > kLargestExactPower || scale < -kLargestExactPower) return parse_real_field(field);
  const double mantissa = static_cast<double>(digits);
  const double value = scale >= 0 ? mantissa * kExactPowersOfTen[scale]
                                  : mantissa / kExactPowersOfTen[-scale];
  return negative ? -value : value;
}

std::optional<CountField> count_field_value(std::string_view field) {
  if (const std::int32_t count = usual_count_field(field); count >= 0) {
    return CountField{count, true};
  }
  std::size_t at = 0;
  while (at < field.size() && field[at] == ' ') ++at;
  const bool negative = at < field.size() && field[at] == '-';
  if (negative) ++at;
  const std::size_t first_digit = at;
  std::int32_t value = 0;
  // Nine digits at most, as the general reader takes, so no overflow.
  while (at < field.size() && at - first_digit < 9 && is_digit(field[at])) {
    value = value * 10 + (field[at] - '0');
    ++at;
  }
  // No digit, or something after them (blanks, asterisks, letters, a tenth
  // digit): the general reader decides.
  if (at == first_digit || at != field.size()) return parse_count_field(field);
  return CountField{negative ? -value : value, true};
}

}  // namespace locprox::summary
