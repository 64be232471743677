#include "summary/number_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cstdint>

namespace locprox::summary {

std::string number_text(double value) {
  std::string text;
  append_number(text, value);
  return text;
}

std::string average_text(double value) {
  std::string text;
  append_average(text, value);
  return text;
}

void append_number(std::string& out, double value) {
  std::array<char, 32> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

namespace {

static_assert(kAverageDigits == 9, "the short path below writes nine digits");

__extension__ typedef unsigned __int128 Wide;  // GCC and Clang

constexpr std::uint64_t kPowersOfTen[] = {1,
                                          10,
                                          100,
                                          1000,
                                          10000,
                                          100000,
                                          1000000,
                                          10000000,
                                          100000000,
                                          1000000000,
                                          10000000000,
                                          100000000000,
                                          1000000000000,
                                          10000000000000,
                                          100000000000000,
                                          1000000000000000};

// The general format of `value` to nine significant digits, as
// std::to_chars(general, 9) writes it, for magnitudes from 1e-7 up to 1e9
// that are not halfway between two nine-digit decimals; nullptr for every
// other value, which the library then writes.
//
// |value| = m * 2^-s exactly (m below 2^53). With k = 8 - (its decimal
// exponent), |value| * 10^k = m * 10^k / 2^s lies in [10^8, 10^9): its
// integer part and remainder come from one 128-bit product and a shift, so
// the rounding to nine digits is that of the exact value, as the library's.
char* short_average(char* out, double value) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  const int biased = static_cast<int>(bits >> 52 & 0x7ff);
  // Magnitudes in [2^-24, 2^30): about 6e-8 to 1.07e9; the decimal range is
  // checked below.
  if (biased < 1023 - 24 || biased >= 1023 + 30) return nullptr;
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int s = 1075 - biased;  // |value| = m / 2^s, s from 23 to 76
  // The decimal exponent: floor(log10 |value|) is within one of
  // floor(log2 |value| * log10 2).
  int exponent = ((biased - 1023) * 1233) >> 12;
  Wide scaled = 0;
  std::uint64_t digits = 0;
  for (int attempt = 0;; ++attempt) {
    const int k = 8 - exponent;
    if (k < 0 || k > 15 || attempt == 3) return nullptr;
    scaled = static_cast<Wide>(m) * kPowersOfTen[k];
    digits = static_cast<std::uint64_t>(scaled >> s);
    if (digits < 100000000) {
      --exponent;
    } else if (digits >= 1000000000) {
      ++exponent;
    } else {
      break;
    }
  }
  // Round half to even on the exact remainder; an exact half is left to the
  // library.
  const Wide remainder = scaled & ((Wide{1} << s) - 1);
  const Wide half = Wide{1} << (s - 1);
  if (remainder == half) return nullptr;
  if (remainder > half) ++digits;
  if (digits == 1000000000) {
    digits = 100000000;
    ++exponent;
  }
  char text[9];
  for (int k = 8; k >= 0; --k) {
    text[k] = static_cast<char>('0' + digits % 10);
    digits /= 10;
  }
  int used = 9;  // the digits after trailing zeros are dropped
  while (used > 1 && text[used - 1] == '0') --used;
  if (value < 0) *out++ = '-';
  if (exponent < -4 || exponent >= 9) {
    // d.ddd then e-0X (two exponent digits at least; here -5 to -7).
    *out++ = text[0];
    if (used > 1) {
      *out++ = '.';
      for (int k = 1; k < used; ++k) *out++ = text[k];
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    *out++ = static_cast<char>('0' + magnitude / 10);
    *out++ = static_cast<char>('0' + magnitude % 10);
    return out;
  }
  if (exponent >= 0) {
    for (int k = 0; k <= exponent; ++k) *out++ = text[k];
    if (used > exponent + 1) {
      *out++ = '.';
      for (int k = exponent + 1; k < used; ++k) *out++ = text[k];
    }
    return out;
  }
  *out++ = '0';
  *out++ = '.';
  for (int k = -1; k > exponent; --k) *out++ = '0';
  for (int k = 0; k < used; ++k) *out++ = text[k];
  return out;
}

}  // namespace

void append_average(std::string& out, double value) {
  std::array<char, 40> buffer{};
  char* end = short_average(buffer.data(), value);
  if (end == nullptr) {
    end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                        std::chars_format::general, kAverageDigits)
              .ptr;
  }
  out.append(buffer.data(), end);
}

void append_integer(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

}  // namespace locprox::summary
