// The 32-byte scanner of the observations file's common line: three
// unsigned integers and a short decimal value, classed and converted a word
// at a time. Kept inline in a header of its own so that the year reader,
// which reads nearly every line through it, has it inlined into its loop,
// and the line parsers share the same code.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "input/observation_line.h"

namespace locprox::common_line {

// Eight bytes of text as one word, the first byte lowest.
inline std::uint64_t load_eight(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101;

// Joins neighbouring digit values in every lane of `v`: bytes, then pairs
// of bytes, then (with `quadruples`) groups of four, each as high * 10 + low,
// high * 100 + low, high * 10000 + low. A lane holds its number's digits at
// its top, the lower bytes zero; no lane carries into the next (99, 9999 and
// 99999999 fit 8, 16 and 32 bits).
inline std::uint64_t join_pairs(std::uint64_t v) {
  v = (v * 10 + (v >> 8)) & 0x00ff00ff00ff00ff;
  return (v * 100 + (v >> 16)) & 0x0000ffff0000ffff;
}

// The value of the first `n` (1 to 8) digits of `text` (as above).
inline std::uint32_t digits_value(std::uint64_t text, unsigned n) {
  const std::uint64_t v = join_pairs(text << (8 * (8 - n)));
  return static_cast<std::uint32_t>(v * 10000 + (v >> 32));
}

// The position of the lowest bit set in `bits`, which is not zero (without
// the test for zero that std::countr_zero adds where it cannot rule it out).
inline unsigned lowest_bit(std::uint32_t bits) {
  return static_cast<unsigned>(__builtin_ctz(bits));
}

// Four bytes of text as one word, the first byte lowest.
inline std::uint32_t load_four(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
  return word;
}

// A number of `n` (0 to 4) digits that ends before `end`, as a 32-bit lane:
// its digit values at the top, the bytes below them zero.
inline std::uint64_t lane(const char* end, unsigned n) {
  static constexpr std::uint32_t kLastBytes[] = {0, 0xff000000, 0xffff0000, 0xffffff00, 0xffffffff};
  return (load_four(end - 4) ^ 0x30303030) & kLastBytes[n];
}

inline constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
inline constexpr double kNegativePowersOfTen[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7};

// Which of the 32 bytes from `p` are digits and which are blanks, a bit for
// each byte (bit i for p[i]).
struct ByteClasses {
  std::uint32_t digits = 0;
  std::uint32_t blanks = 0;
  std::uint32_t line_feeds = 0;
};

// With plain integer arithmetic, eight bytes at a time. Masking each byte to
// its low seven bits before the addition keeps every carry inside its byte,
// so every byte is classed exactly.
inline ByteClasses classify_bytes_portably(const char* p) {
  constexpr std::uint64_t kLowSeven = 0x7f * kEveryByte;
  constexpr std::uint64_t kTop = 0x80 * kEveryByte;
  // The top bits of the eight bytes, gathered into the eight bits of a byte.
  const auto gather = [](std::uint64_t top_bits) {
    return static_cast<std::uint32_t>(((top_bits >> 7) * 0x0102040810204080) >> 56);
  };
  ByteClasses classes;
  for (unsigned k = 0; k < 4; ++k) {
    const std::uint64_t word = load_eight(p + 8 * k);
    const std::uint64_t digit_values = word ^ ('0' * kEveryByte);
    const std::uint64_t not_digit =
        (((digit_values & kLowSeven) + 0x76 * kEveryByte) | digit_values) & kTop;
    const std::uint64_t blank_zeros = word ^ (' ' * kEveryByte);
    const std::uint64_t not_blank = (((blank_zeros & kLowSeven) + kLowSeven) | blank_zeros) & kTop;
    const std::uint64_t line_feed_zeros = word ^ ('\n' * kEveryByte);
    const std::uint64_t not_line_feed =
        (((line_feed_zeros & kLowSeven) + kLowSeven) | line_feed_zeros) & kTop;
    classes.digits |= gather(~not_digit & kTop) << (8 * k);
    classes.blanks |= gather(~not_blank & kTop) << (8 * k);
    classes.line_feeds |= gather(~not_line_feed & kTop) << (8 * k);
  }
  return classes;
}

#if defined(__SSE2__)
// The same with 16-byte vector compares.
[[gnu::always_inline]] inline ByteClasses classify_bytes(const char* p) {
  const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
  const auto digits = [](__m128i bytes) {
    const __m128i values = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
    const __m128i small = _mm_cmpeq_epi8(_mm_min_epu8(values, _mm_set1_epi8(9)), values);
    return static_cast<std::uint32_t>(_mm_movemask_epi8(small));
  };
  const auto equal = [](__m128i bytes, char c) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c))));
  };
  return {digits(low) | digits(high) << 16, equal(low, ' ') | equal(high, ' ') << 16,
          equal(low, '\n') | equal(high, '\n') << 16};
}
#else
inline ByteClasses classify_bytes(const char* p) {
  return classify_bytes_portably(p);
}
#endif

// The common line, in one pass that also finds its end: the classes of its
// first 32 bytes give where every number starts and ends, and each number is
// read eight bytes at a time; numbers of at most four digits, nearly all,
// are converted two to a word. The shape: three unsigned integers of one to
// eight digits, each followed by one blank, then a value of at most seven
// digits before and seven after an optional point, then a line feed, CR LF,
// or a blank (anything after it is ignored, as by every reader), all within
// 32 bytes. Nothing else is taken: leading or doubled blanks, longer
// numbers, tabs, signs, exponents go to the record readers.
template <bool kPortably>
[[gnu::always_inline]] inline const char* read_common_line(const char* line, const char* lines_end,
                                                           ObservationFields& fields) {
  constexpr std::uint64_t kZeros = '0' * kEveryByte;
  const ByteClasses classes = kPortably ? classify_bytes_portably(line) : classify_bytes(line);
  // The bytes that are not digits, and the same less the first, the first
  // two, the first three: the blanks after the three integers, then the
  // point or the end of the value.
  const std::uint32_t others = ~classes.digits;
  const std::uint32_t after_first = others & (others - 1);
  const std::uint32_t after_second = after_first & (after_first - 1);
  const std::uint32_t after_third = after_second & (after_second - 1);
  const std::uint32_t blanks = others ^ after_third;
  // Blanks, the first not at the start and no two together: every integer
  // has a digit. (Fewer than four such bytes in 32 leave after_third empty.)
  if ((blanks & ~classes.blanks) != 0 || (blanks & ((blanks << 1) | 1)) != 0 || after_third == 0) {
    return nullptr;
  }
  const unsigned first_blank = lowest_bit(others);
  const unsigned second_blank = lowest_bit(after_first);
  const unsigned third_blank = lowest_bit(after_second);
  const unsigned value_end = lowest_bit(after_third);
  const unsigned year_digits = first_blank;
  const unsigned location_digits = second_blank - first_blank - 1;
  const unsigned entry_digits = third_blank - second_blank - 1;
  const unsigned whole_digits = value_end - third_blank - 1;
  const char* p = line + value_end;
  unsigned decimals = 0;
  if (*p == '.') {
    const std::uint32_t after_fourth = after_third & (after_third - 1);
    if (after_fourth == 0) return nullptr;
    decimals = lowest_bit(after_fourth) - value_end - 1;
    p += decimals + 1;
  }
  if (whole_digits + decimals == 0) return nullptr;
  if (*p != '\n' && !(*p == '\r' && p[1] == '\n') && *p != ' ') return nullptr;
  // The line ends at its first line feed, which is at p or after it (every
  // byte before p is a digit, a blank or the point). Taken from the classes
  // rather than from p, the end (where the next line starts) waits for the
  // load and one compare alone, not for the whole of this line's parse, so
  // that a reader going from line to line overlaps their parses.
  const char* const after =
      classes.line_feeds != 0
          ? line + lowest_bit(classes.line_feeds) + 1
          : static_cast<const char*>(
                std::memchr(p, '\n', static_cast<std::size_t>(lines_end - p))) + 1;
  std::uint32_t year, location, entry;
  std::uint64_t mantissa;
  // No five digits in a row up to the end of the value: every number has at
  // most four, and two of them are converted in one word.
  const std::uint64_t digit_bits = classes.digits;
  const std::uint64_t runs =
      digit_bits & (digit_bits >> 1) & (digit_bits >> 2) & (digit_bits >> 3) & (digit_bits >> 4);
  const char* const fraction_end = line + value_end + 1 + decimals;
  if ((runs & ((std::uint64_t{2} << value_end << decimals) - 1)) == 0) {
    const std::uint64_t first = join_pairs(lane(line + first_blank, year_digits) |
                                           lane(line + second_blank, location_digits) << 32);
    const std::uint64_t second = join_pairs(lane(line + third_blank, entry_digits) |
                                            lane(line + value_end, whole_digits) << 32);
    const std::uint64_t fraction = join_pairs(lane(fraction_end, decimals));
    year = static_cast<std::uint32_t>(first);
    location = static_cast<std::uint32_t>(first >> 32);
    entry = static_cast<std::uint32_t>(second);
    mantissa = (second >> 32) * kPowersOfTen[decimals] + fraction;
  } else {
    if (year_digits > 8 || location_digits > 8 || entry_digits > 8 || whole_digits > 7 ||
        decimals > 7) {
      return nullptr;
    }
    year = digits_value(load_eight(line) ^ kZeros, year_digits);
    location = digits_value(load_eight(line + first_blank + 1) ^ kZeros, location_digits);
    entry = digits_value(load_eight(line + second_blank + 1) ^ kZeros, entry_digits);
    mantissa = whole_digits == 0
                   ? 0
                   : digits_value(load_eight(line + third_blank + 1) ^ kZeros, whole_digits);
    if (decimals > 0) {
      mantissa = mantissa * kPowersOfTen[decimals] +
                 digits_value(load_eight(line + value_end + 1) ^ kZeros, decimals);
    }
  }
  // At most 14 digits, so the mantissa m is exact in double precision; the
  // value is m / 10^k. With r = 10^-k rounded to double, q = m * r rounded
  // to double is within 2^-52 q of it, less than 2.2 units in the last place
  // of q. Single precision has a point halfway between two floats every
  // 2^29 such units; unless one lies within 3 units of q, the decimal and q
  // are on the same side of every such point, so q rounds to the float
  // nearest the decimal. Values that near a halfway point are left to the
  // record readers.
  const double quotient = static_cast<double>(mantissa) * kNegativePowersOfTen[decimals];
  const std::uint64_t below_float = std::bit_cast<std::uint64_t>(quotient) & 0x1fffffff;
  if (below_float - (0x10000000 - 3) <= 6) return nullptr;
  fields.year = static_cast<std::int32_t>(year);
  fields.location = static_cast<std::int32_t>(location);
  fields.entry = static_cast<std::int32_t>(entry);
  fields.value = static_cast<float>(quotient);
  return after;
}

}  // namespace locprox::common_line
