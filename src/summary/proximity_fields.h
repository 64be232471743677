// The proximity file's fields converted on their usual short path: an E16.8
// sum as the writer forms it ("  0.12345678E+02", an optional minus sign
// before the 0) and an I6 count of right-aligned digits. Anything else takes
// the general readers of format/field_reader.h, so every field gives exactly
// the value (or the refusal) those readers give.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "format/field_reader.h"

namespace locprox::summary {

// As parse_real_field(field).
std::optional<double> real_field_value(std::string_view field);

namespace digits_detail {

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;

// A byte of 0x80 where the byte of `word` is not an ASCII digit: 0 only when
// all eight are digits. (A carry out of a byte that is not ASCII may also
// mark the digit above it; the word is then refused all the same.)
inline std::uint64_t not_digits(std::uint64_t word) {
  const std::uint64_t value = word ^ (kEveryByte * '0');  // digits become 0 .. 9
  // Bytes of 10 or more, and bytes with the top bit set (not ASCII).
  return ((value + kEveryByte * (0x80 - 10)) | value | word) & (kEveryByte * 0x80);
}

// The number that eight ASCII digits spell, the first digit in the lowest
// byte: pairs of digits, then fours, then the eight, each step one multiply.
inline std::uint32_t eight_digits(std::uint64_t word) {
  std::uint64_t value = word & (kEveryByte * 0x0f);
  value = (value * (10 * 256 + 1)) >> 8;
  value = ((value & 0x00ff00ff00ff00ffULL) * (100 * 65536 + 1)) >> 16;
  value = ((value & 0x0000ffff0000ffffULL) * (10000ULL * (1ULL << 32) + 1)) >> 32;
  return static_cast<std::uint32_t>(value);
}

}  // namespace digits_detail

// The count of a field as the writer makes nearly all of them (six columns,
// blanks, then at least one digit), read at once; -1 for any other field,
// which parse_count_field() must take. Inline, so that the reader's loop
// keeps the value in a register.
inline std::int32_t usual_count_field(std::string_view field) {
  using namespace digits_detail;
  constexpr std::size_t kWidth = 6;
  if constexpr (std::endian::native != std::endian::little) return -1;
  if (field.size() != kWidth) return -1;
  // Loaded as four and two bytes into registers (six bytes stored into a
  // word in memory and read back whole would wait for the stores), above
  // two bytes of '0's.
  std::uint32_t first_four;
  std::uint16_t last_two;
  std::memcpy(&first_four, field.data(), sizeof first_four);
  std::memcpy(&last_two, field.data() + sizeof first_four, sizeof last_two);
  const std::uint64_t word = (std::uint64_t{last_two} << 48) | (std::uint64_t{first_four} << 16) |
                             ((kEveryByte * '0') & 0xffff);
  const std::uint64_t others = not_digits(word);
  // The field's last byte must be a digit, and every byte up to the last
  // that is not one a blank.
  if (others >> 56 != 0) return -1;
  const int last_other = others == 0 ? -1 : 63 - std::countl_zero(others);
  const std::uint64_t leading =
      last_other < 0 ? 0 : (~std::uint64_t{0} >> (63 - last_other)) & ~std::uint64_t{0xffff};
  if ((word & leading) != ((kEveryByte * ' ') & leading)) return -1;
  // The blanks read as leading zeros.
  return static_cast<std::int32_t>(
      eight_digits((word & ~leading) | ((kEveryByte * '0') & leading)));
}

// As parse_count_field(field).
std::optional<CountField> count_field_value(std::string_view field);

}  // namespace locprox::summary
