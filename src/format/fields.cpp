#include "format/fields.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace locprox {
namespace {

char* asterisks(char* out, int width) {
  std::memset(out, '*', static_cast<std::size_t>(width));
  return out + width;
}

// Copies `length` characters of `text` right-aligned into the field.
char* right_aligned(char* out, const char* text, int length, int width) {
  if (length > width) return asterisks(out, width);
  std::memset(out, ' ', static_cast<std::size_t>(width - length));
  std::memcpy(out + (width - length), text, static_cast<std::size_t>(length));
  return out + width;
}

}  // namespace

char* format_integer(char* out, std::int64_t value, int width) {
  // Digits are produced from the right, straight into place.
  char digits[24];
  char* end = digits + sizeof digits;
  char* p = end;
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  return right_aligned(out, p, static_cast<int>(end - p), width);
}

char* format_fixed(char* out, double value, int width, int decimals) {
  char text[400];
  if (!std::isfinite(value)) return asterisks(out, width);
  auto result =
      std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, decimals);
  if (result.ec != std::errc()) return asterisks(out, width);
  int length = static_cast<int>(result.ptr - text);
  // A fixed-point field always shows its point: F4.0 of 2.0 is "  2.".
  if (decimals == 0) text[length++] = '.';
  const char* start = text;
  if (length > width) {
    // Drop the zero before the decimal point of a value below 1.
    bool negative = text[0] == '-';
    int zero_at = negative ? 1 : 0;
    if (length - 1 <= width && text[zero_at] == '0' && text[zero_at + 1] == '.') {
      std::memmove(text + zero_at, text + zero_at + 1,
                   static_cast<std::size_t>(length - zero_at - 1));
      --length;
    }
  }
  return right_aligned(out, start, length, width);
}

char* format_exponent(char* out, double value, int width, int decimals) {
  if (!std::isfinite(value) || decimals < 1 || decimals > 40) return asterisks(out, width);
  char text[80];
  int length = 0;
  if (std::signbit(value)) text[length++] = '-';
  text[length++] = '0';
  text[length++] = '.';
  int exponent = 0;
  if (value == 0.0) {
    std::memset(text + length, '0', static_cast<std::size_t>(decimals));
    length += decimals;
  } else {
    // to_chars gives d.ddd...e±x with d significant digits, rounded
    // correctly; the fraction form shifts the point one place left.
    char digits[80];
    auto result = std::to_chars(digits, digits + sizeof digits, std::fabs(value),
                                std::chars_format::scientific, decimals - 1);
    const char* e = static_cast<const char*>(
        std::memchr(digits, 'e', static_cast<std::size_t>(result.ptr - digits)));
    text[length++] = digits[0];
    for (const char* d = digits + 2; d < e; ++d) text[length++] = *d;
    exponent = std::atoi(e + 1) + 1;
  }
  int magnitude = std::abs(exponent);
  if (magnitude < 100) text[length++] = 'E';
  text[length++] = exponent < 0 ? '-' : '+';
  if (magnitude >= 100) text[length++] = static_cast<char>('0' + magnitude / 100);
  text[length++] = static_cast<char>('0' + magnitude / 10 % 10);
  text[length++] = static_cast<char>('0' + magnitude % 10);
  return right_aligned(out, text, length, width);
}

char* format_characters(char* out, std::string_view value, int width) {
  int length = static_cast<int>(value.size());
  if (length >= width) {
    std::memcpy(out, value.data(), static_cast<std::size_t>(width));
    return out + width;
  }
  return right_aligned(out, value.data(), length, width);
}

}  // namespace locprox
