#include "format/field_reader.h"

#include <array>
#include <charconv>
#include <cstring>
#include <system_error>

namespace locprox {

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view trim_blanks(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// The years that are walked over but not summarised can be a gigabyte and
// more, so their character check works on 16 bytes at a time (the vector
// extension of GCC and Clang, SSE2 or NEON code on the usual machines), with
// a plain loop for the last few bytes.
using Bytes = unsigned char __attribute__((vector_size(16)));
using Mask = signed char __attribute__((vector_size(16)));

struct CountChars {
  static Mask ok(Bytes c) {
    return static_cast<Mask>(static_cast<Bytes>(c - '0') < 10) | (c == ' ') | (c == '-') |
           (c == '*');
  }
  static bool ok(unsigned char c) {
    return static_cast<unsigned char>(c - '0') < 10 || c == ' ' || c == '-' || c == '*';
  }
};

struct RealChars {
  static Mask ok(Bytes c) {
    const Bytes upper = c & 0xDF;  // e and d as E and D
    return static_cast<Mask>(static_cast<Bytes>(c - '0') < 10) | (c == ' ') | (c == '-') |
           (c == '+') | (c == '.') | (upper == 'E') | (upper == 'D');
  }
  static bool ok(unsigned char c) {
    const unsigned char upper = c & 0xDF;
    return static_cast<unsigned char>(c - '0') < 10 || c == ' ' || c == '-' || c == '+' ||
           c == '.' || upper == 'E' || upper == 'D';
  }
};

template <typename Chars>
bool only(std::string_view record) {
  const auto* c = reinterpret_cast<const unsigned char*>(record.data());
  const size_t n = record.size();
  size_t i = 0;
  Mask bad = {};
  for (; i + 16 <= n; i += 16) {
    Bytes v;
    std::memcpy(&v, c + i, 16);
    bad |= ~Chars::ok(v);
  }
  std::uint64_t lanes[2];
  std::memcpy(lanes, &bad, 16);
  if ((lanes[0] | lanes[1]) != 0) return false;
  for (; i < n; ++i) {
    if (!Chars::ok(c[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<CountField> parse_count_field(std::string_view field) {
  std::string_view text = trim_blanks(field);
  if (text.empty()) return std::nullopt;
  if (text.find_first_not_of('*') == std::string_view::npos) {
    if (text.size() != field.size()) return std::nullopt;  // asterisks fill the field
    return CountField{0, false};
  }
  bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 9) return std::nullopt;
  std::int32_t value = 0;
  for (char c : text) {
    if (!is_digit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return CountField{negative ? -value : value, true};
}

std::optional<double> parse_real_field(std::string_view field) {
  std::string_view text = trim_blanks(field);
  if (text.empty() || text.size() > 40) return std::nullopt;
  // Rebuild the text in the one form from_chars takes: [-]digits[.digits][e[-]digits].
  std::array<char, 48> buffer{};
  size_t out = 0;
  size_t at = 0;
  if (text[at] == '-' || text[at] == '+') {
    if (text[at] == '-') buffer[out++] = '-';
    ++at;
  }
  size_t digits = 0;
  while (at < text.size() && is_digit(text[at])) buffer[out++] = text[at++], ++digits;
  if (at < text.size() && text[at] == '.') {
    buffer[out++] = text[at++];
    while (at < text.size() && is_digit(text[at])) buffer[out++] = text[at++], ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (at < text.size()) {
    char c = text[at];
    if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
      ++at;
    } else if (c != '+' && c != '-') {
      return std::nullopt;  // the letter may only be left out before a signed exponent
    }
    buffer[out++] = 'e';
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
      if (text[at] == '-') buffer[out++] = '-';
      ++at;
    }
    size_t exponent_digits = 0;
    while (at < text.size() && is_digit(text[at])) buffer[out++] = text[at++], ++exponent_digits;
    if (exponent_digits == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  double value = 0.0;
  auto [end, error] = std::from_chars(buffer.data(), buffer.data() + out, value);
  if (error != std::errc() || end != buffer.data() + out) return std::nullopt;
  return value;
}

bool has_fields(std::string_view record, int width, int count) {
  size_t needed = static_cast<size_t>(width) * static_cast<size_t>(count);
  if (record.size() < needed) return false;
  return record.find_first_not_of(' ', needed) == std::string_view::npos;
}

bool is_count_text(std::string_view record) {
  return only<CountChars>(record);
}
bool is_real_text(std::string_view record) {
  return only<RealChars>(record);
}

}  // namespace locprox
