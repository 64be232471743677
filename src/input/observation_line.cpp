#include "input/observation_line.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>


#include "format/free_form.h"

#include "input/common_line.h"

namespace locprox {
namespace {

// Values beyond this magnitude would overflow single precision once centred
// (and reach the proximity file as infinities), so they are refused.
constexpr float kLargestValue = 1.0e30f;

// A decimal m / 10^k with m below 2^24 and k at most 10 has m and 10^k exact
// in single precision.
constexpr std::uint64_t kExactMantissa = std::uint64_t{1} << 24;
constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                       1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

bool is_digit(char c) {
  return static_cast<unsigned char>(c - '0') < 10;
}

// Reads an unsigned integer of at most nine digits (so it fits 32 bits)
// followed by a blank. Returns the position after the blank, or null.
const char* plain_integer(const char* p, const char* end, std::int32_t& value) {
  const char* const start = p;
  std::int32_t v = 0;
  while (p < end && is_digit(*p)) {
    if (p - start == 9) return nullptr;
    v = v * 10 + (*p++ - '0');
  }
  if (p == start || p == end || *p != ' ') return nullptr;
  value = v;
  return p + 1;
}

const char* skip_blanks(const char* p, const char* end) {
  while (p < end && *p == ' ') ++p;
  return p;
}

}  // namespace


const char* read_common_observation(const char* line, const char* lines_end,
                                    ObservationFields& fields, bool portably) {
  return portably ? common_line::read_common_line<true>(line, lines_end, fields)
                  : common_line::read_common_line<false>(line, lines_end, fields);
}

// The shape nearly every line of a real file has: three unsigned integers
// and a plain decimal number (digits with at most one point), separated by
// blanks, with nothing or a blank after the number. Such a line means the
// same under the free-form rules as the plain reading below, so it is read
// here without the list scanner. Anything else (commas, slashes, r*, signs,
// exponents, tabs, a value that does not read as an ordinary float or is
// beyond 1.0E+30) returns false with `fields` untouched, and the line goes
// to the general reader, which applies every rule and reports every fault.
bool parse_plain_observation(std::string_view record, ObservationFields& fields) {
  const char* p = record.data();
  const char* const end = p + record.size();
  std::int32_t numbers[3];
  for (std::int32_t& number : numbers) {
    p = skip_blanks(p, end);
    p = plain_integer(p, end, number);
    if (p == nullptr) return false;
  }
  p = skip_blanks(p, end);
  // The value: digits, then a point and more digits or not, then a blank or
  // the end of the record.
  const char* const value_start = p;
  std::uint64_t mantissa = 0;  // all the digits as one integer (exact up to 19 digits)
  while (p < end && is_digit(*p)) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
  const std::ptrdiff_t whole_digits = p - value_start;
  std::ptrdiff_t decimals = 0;  // digits after the point
  if (p < end && *p == '.') {
    const char* const fraction = ++p;
    while (p < end && is_digit(*p)) mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    decimals = p - fraction;
  }
  const std::ptrdiff_t digits = whole_digits + decimals;
  if (digits == 0 || (p < end && *p != ' ')) return false;
  float value = 0.0f;
  if (digits <= 19 && mantissa < kExactMantissa &&
      decimals < static_cast<std::ptrdiff_t>(std::size(kExactPowersOfTen))) {
    // Both operands are exact in single precision, so the one rounding of
    // the division is the correct rounding of the decimal text.
    value = static_cast<float>(mantissa) / kExactPowersOfTen[decimals];
  } else {
    const auto result = std::from_chars(value_start, p, value, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != p) return false;
  }
  if (!(value <= kLargestValue)) return false;
  fields.year = numbers[0];
  fields.location = numbers[1];
  fields.entry = numbers[2];
  fields.value = value;
  return true;
}

ObservationLine parse_observation(const InputUnit& unit, std::string_view record,
                                  ObservationFields& fields) {
  if (parse_plain_observation(record, fields)) return ObservationLine::kObservation;
  return parse_general_observation(unit, record, fields);
}

ObservationLine parse_general_observation(const InputUnit& unit, std::string_view record,
                                          ObservationFields& fields) {
  std::int32_t* const integers[3] = {&fields.year, &fields.location, &fields.entry};
  ListScanner scanner;
  scanner.feed(record);
  ListItem item;
  std::string_view malformed;
  int given = 0;  // values and null values met so far
  bool slash = false;
  while (given < 4 && scanner.next(item, malformed)) {
    if (item.kind == ListItem::Kind::kSlash) {
      slash = true;
      break;
    }
    for (std::int64_t r = 0; r < item.repeat && given < 4; ++r, ++given) {
      if (item.kind == ListItem::Kind::kNull) continue;
      if (given < 3) {
        if (!parse_integer(item.text, *integers[given])) {
          unit.fail("malformed number " + quoted_for_message(item.text) +
                    " where an integer is expected");
        }
      } else {
        if (!parse_real(item.text, fields.value)) {
          unit.fail("malformed number " + quoted_for_message(item.text) +
                    " where a real number is expected");
        }
        if (std::fabs(fields.value) > kLargestValue) {
          unit.fail("observed value " + quoted_for_message(item.text) +
                    " exceeds 1.0E+30 in magnitude");
        }
      }
    }
  }
  if (!malformed.empty()) {
    unit.fail("malformed repeat count in " + quoted_for_message(malformed));
  }
  if (given == 0 && !slash) return ObservationLine::kBlank;
  if (given < 4 && !slash) {
    unit.fail(
        "an observation needs its year, location, entry and value on one line, and this "
        "line holds " +
        std::to_string(given) + (given == 1 ? " value" : " values"));
  }
  return ObservationLine::kObservation;
}

}  // namespace locprox
