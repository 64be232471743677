#include "format/fields.h"

#include <array>
#include <bit>
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

// "00" to "99": two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The eight digits of v < 10^8 as bytes 0 to 9 in one word, the first digit in
// the lowest byte (a little-endian store puts it first). Each step splits
// every lane of the word at once, by multiplications that stand for exact
// divisions over the lane's range: v into two 4-digit halves (32-bit lanes),
// each half by 100 (x * 5243 >> 19 is x / 100 for x < 10^4), each pair by 10
// (x * 103 >> 10 is x / 10 for x < 100, in 16-bit lanes).
inline std::uint64_t eight_digits(std::uint32_t v) {
  const std::uint64_t halves = (v / 10000) | (std::uint64_t{v % 10000} << 32);
  const std::uint64_t hundreds = ((halves * 5243) >> 19) & 0x0000007F0000007FULL;
  const std::uint64_t pairs = hundreds | ((halves - 100 * hundreds) << 16);
  const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000FULL;
  return tens | ((pairs - 10 * tens) << 8);
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

// Blanks over a whole field. The usual widths take two fixed-size stores,
// which beat a call of memset for the few characters of an I5 or I6 field.
inline void blank_field(char* out, int width) {
  static constexpr char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  if (width >= 8 && width <= 16) {
    std::memcpy(out, kBlanks, 8);
    std::memcpy(out + width - 8, kBlanks, 8);
  } else if (width >= 4 && width < 8) {
    std::memcpy(out, kBlanks, 4);
    std::memcpy(out + width - 4, kBlanks, 4);
  } else if (width > 16) {
    std::memset(out, ' ', static_cast<std::size_t>(width));
  } else {
    if (width > 0) out[0] = ' ';
    if (width > 1) out[1] = ' ';
    if (width > 2) out[2] = ' ';
  }
}

// The `count` (at most 9) significant digits of x > 0, rounded correctly
// (ties to even), as an integer, and the decimal exponent of the first digit,
// by exact integer arithmetic: x = m * 2^q, and floor(x * 10^s) with its
// remainder are formed in 128 bits, s chosen so that the floor has `count`
// digits. That holds for x from about 1e-15 to 1e36, every sum and count
// of the proximity file in practice; false for the rest, which the general
// conversion below does.
using Wide = unsigned __int128;

constexpr int kMaxPower = 27;  // 10^27 < 2^90
constexpr auto kPowersOfTen = [] {
  std::array<Wide, kMaxPower + 1> powers{};
  Wide p = 1;
  for (int k = 0; k <= kMaxPower; ++k, p *= 10) powers[static_cast<std::size_t>(k)] = p;
  return powers;
}();

bool exact_significant_digits(double x, int count, std::uint32_t& digits, int& exponent) {
  if (count < 1 || count > 9) return false;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>(bits >> 52);
  if (biased == 0 || biased == 0x7ff) return false;  // subnormal, or not finite
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int q = biased - 1075;  // x = m * 2^q
  const std::uint64_t low =
      static_cast<std::uint64_t>(kPowersOfTen[static_cast<std::size_t>(count - 1)]);
  const std::uint64_t high = low * 10;
  // The decimal exponent from the binary one (log10(2) = 0.30103), then
  // corrected by the size of the floor.
  int e10 = static_cast<int>(std::floor((q + 52) * 0.30102999566398120));
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int s = count - 1 - e10;  // floor(x * 10^s) should have `count` digits
    Wide quotient = 0;
    int order = 0;  // the remainder against half a unit: -1 below, 0 at, +1 above
    if (s >= 0) {
      // x * 10^s = m * 10^s / 2^-q: a shift, when 10^s and 2^-q fit.
      if (s > kMaxPower - 5 || q >= 0 || q <= -127) return false;
      const Wide numerator = Wide{m} * kPowersOfTen[static_cast<std::size_t>(s)];
      const int shift = -q;
      quotient = numerator >> shift;
      const Wide remainder = numerator & ((Wide{1} << shift) - 1);
      const Wide half = Wide{1} << (shift - 1);
      order = remainder < half ? -1 : remainder == half ? 0 : 1;
    } else {
      if (-s > kMaxPower) return false;
      const Wide power = kPowersOfTen[static_cast<std::size_t>(-s)];
      Wide numerator = m;
      Wide denominator = power;
      if (q >= 0) {
        if (q > 74) return false;
        numerator <<= q;
      } else {
        if (-q > 127 - 90) return false;
        denominator <<= -q;
      }
      quotient = numerator / denominator;
      const Wide twice = 2 * (numerator % denominator);
      order = twice < denominator ? -1 : twice == denominator ? 0 : 1;
    }
    if (quotient < low) {
      --e10;
      continue;
    }
    if (quotient >= high) {
      ++e10;
      continue;
    }
    std::uint64_t d = static_cast<std::uint64_t>(quotient);
    if (order > 0 || (order == 0 && (d & 1) != 0)) ++d;
    if (d == high) {  // 9.99...95 and up round to 10.0...: one more decade
      d = low;
      ++e10;
    }
    digits = static_cast<std::uint32_t>(d);
    exponent = e10;
    return true;
  }
  return false;
}

// 10^s for |s| <= kScaledRange as a 64-bit significand and a binary
// exponent: 10^s = T * 2^k * (1 + e), 2^63 <= T < 2^64, T rounded to
// nearest, so |e| <= 2^-64. Built here from exact 128-bit integers: 10^s for
// s >= 0 (10^38 < 2^127), and for s < 0 the quotient 2^(63 + L) / 10^-s,
// L the bit length of 10^-s, by binary long division.
constexpr int kScaledRange = 38;

struct ScaledPowers {
  std::array<std::uint64_t, 2 * kScaledRange + 1> significand{};
  std::array<int, 2 * kScaledRange + 1> binary_exponent{};
};

constexpr int bit_length(Wide v) {
  int length = 0;
  for (; v != 0; v >>= 1) ++length;
  return length;
}

constexpr ScaledPowers kScaledPowers = [] {
  ScaledPowers table;
  Wide power = 1;  // 10^t
  for (int t = 0; t <= kScaledRange; ++t, power *= 10) {
    const int length = bit_length(power);
    // 10^t itself: its top 64 bits, rounded.
    std::uint64_t top = 0;
    int k = length - 64;
    if (length <= 64) {
      top = static_cast<std::uint64_t>(power << (64 - length));
    } else {
      const Wide shifted = power >> (length - 64);
      const bool round_up = ((power >> (length - 65)) & 1) != 0;
      top = static_cast<std::uint64_t>(shifted);
      if (round_up && ++top == 0) {
        top = std::uint64_t{1} << 63;
        ++k;
      }
    }
    table.significand[static_cast<std::size_t>(kScaledRange + t)] = top;
    table.binary_exponent[static_cast<std::size_t>(kScaledRange + t)] = k;
    if (t == 0) continue;
    // 10^-t = 2^(63 + L) / 10^t * 2^-(63 + L): the first quotient bit is
    // 1 (2^L > 10^t), the remainder 2^L - 10^t; 63 more bits follow.
    Wide remainder = (Wide{1} << length) - power;  // length <= 127
    std::uint64_t quotient = 1;
    for (int bit = 0; bit < 63; ++bit) {
      remainder <<= 1;  // remainder < 10^t < 2^127: no overflow
      quotient <<= 1;
      if (remainder >= power) {
        remainder -= power;
        quotient |= 1;
      }
    }
    k = -(63 + length);
    if (2 * remainder >= power && ++quotient == 0) {
      quotient = std::uint64_t{1} << 63;
      ++k;
    }
    table.significand[static_cast<std::size_t>(kScaledRange - t)] = quotient;
    table.binary_exponent[static_cast<std::size_t>(kScaledRange - t)] = k;
  }
  return table;
}();

// 10 = 0xA000000000000000 * 2^-60 exactly; 0.1 = 0xCCCCCCCCCCCCCCCD * 2^-67,
// rounded up.
static_assert(kScaledPowers.significand[kScaledRange + 1] == 0xA000000000000000u &&
              kScaledPowers.binary_exponent[kScaledRange + 1] == -60);
static_assert(kScaledPowers.significand[kScaledRange - 1] == 0xCCCCCCCCCCCCCCCDu &&
              kScaledPowers.binary_exponent[kScaledRange - 1] == -67);

// The table's powers of ten as doubles, to place x between two of them:
// 10^k from T * 2^k, rounded to a double (exact up to 10^22, otherwise within
// an ulp or two of 10^k; a value that close to a power of ten may be placed
// one decade off, which the digit count below then catches).
constexpr auto kDecades = [] {
  std::array<double, 2 * kScaledRange + 1> decades{};
  for (std::size_t i = 0; i < decades.size(); ++i) {
    double v = static_cast<double>(kScaledPowers.significand[i]);
    for (int k = kScaledPowers.binary_exponent[i]; k > 0; --k) v *= 2.0;
    for (int k = kScaledPowers.binary_exponent[i]; k < 0; ++k) v *= 0.5;
    decades[i] = v;
  }
  return decades;
}();

static_assert(kDecades[kScaledRange] == 1.0 && kDecades[kScaledRange + 3] == 1000.0 &&
              kDecades[kScaledRange - 1] == 0.1);

// The `count` (1 to 9) significant digits of x > 0 rounded correctly, and
// the decimal exponent of the first, from one multiplication. The decimal
// exponent e comes from the binary one and a comparison with 10^(e+1); then
// y = x * 10^(count-1-e) has `count` digits before the point, and y is m * T
// scaled by a power of two, m the 53-bit significand and T the table's
// power of ten. The 117-bit product gives y's integer part and the first 64
// bits of its fraction; T's rounding puts y off by less than y * 2^-64 <
// 2^-34. The result is taken unless the fraction lies within 2^-29 of a half
// (a tie, or too close to one to tell), x is outside the table's range, or
// the integer part has not `count` digits (x within an ulp or two of a power
// of ten); false then, and the exact conversions decide. An error that
// carries y across a whole number moves its integer part and fraction
// together and leaves the rounded result as it is: only the halves are in
// doubt.
inline bool scaled_significant_digits(double x, int count, std::uint32_t& digits, int& exponent) {
  if (count < 1 || count > 9) return false;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
  const int biased = static_cast<int>(bits >> 52);
  const std::uint64_t m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int q = biased - 1075;  // x = m * 2^q, x in [2^(q+52), 2^(q+53))
  // floor((q + 52) * log10(2)): the decimal exponent of x or one less.
  const int guess = ((q + 52) * 78913) >> 18;
  if (guess < -kScaledRange - 1 || guess >= kScaledRange) return false;  // also 0, inf, nan
  const int e = guess + (x >= kDecades[static_cast<std::size_t>(guess + 1 + kScaledRange)] ? 1 : 0);
  const int s = count - 1 - e;
  if (s < -kScaledRange || s > kScaledRange) return false;
  const auto index = static_cast<std::size_t>(s + kScaledRange);
  const Wide product = Wide{m} * kScaledPowers.significand[index];
  const int shift = -(q + kScaledPowers.binary_exponent[index]);  // y = product / 2^shift
  if (shift <= 64 || shift >= 128) return false;
  const auto upper = static_cast<std::uint64_t>(product >> 64);
  const auto lower = static_cast<std::uint64_t>(product);
  const std::uint64_t whole = upper >> (shift - 64);
  // The fraction in units of 2^-64, truncated.
  const std::uint64_t fraction = (upper << (128 - shift)) | (lower >> (shift - 64));
  const std::uint64_t low =
      static_cast<std::uint64_t>(kPowersOfTen[static_cast<std::size_t>(count - 1)]);
  const std::uint64_t high = low * 10;
  if (whole - low >= high - low) return false;  // not `count` digits
  // y's fraction less a half, two's complement, in units of 2^-64; y's
  // error is under 2^30 of them. One unsigned comparison tests the doubt:
  // two would make a branch on the direction of rounding, which goes either
  // way at random.
  const std::uint64_t from_half = fraction - (std::uint64_t{1} << 63);
  constexpr std::uint64_t kDoubt = std::uint64_t{1} << 35;
  if (from_half + kDoubt <= 2 * kDoubt) return false;
  std::uint64_t d = whole + 1 - (from_half >> 63);
  const bool carry = d == high;  // 9.99...95 and up round to 10.0...: one more decade
  d = carry ? low : d;
  digits = static_cast<std::uint32_t>(d);
  exponent = e + (carry ? 1 : 0);
  return true;
}

// The `count` significant digits of x > 0, rounded correctly (ties to even),
// into `digits`, and the decimal exponent of the first: x ~ d.ddd * 10^exp.
//
// The shortest decimal that reads back as x (to_chars without a precision)
// is much cheaper to find than a fixed number of digits. When it has at most
// `count` digits, padding it with zeros gives the correct rounding: x and it
// differ by less than half a unit in the last place of a double, far less
// than half a unit in the count-th digit. When it has more, rounding it at
// the count-th digit gives the same result as rounding x, unless a midpoint
// between two count-digit decimals lay between the two; such a midpoint has
// count + 1 digits and would itself read back as x, so the shortest decimal
// would be that midpoint (the closest of its length), which is the one case
// handed to the fixed-precision conversion. Far from 1 the exponent's own
// length could weigh in the choice of the shortest, so the fixed-precision
// conversion does those too.
void significant_digits(double x, int count, char* digits, int& exponent) {
  if (count <= 9 && x > 1e-90 && x < 1e90) {
    char text[40];
    const auto result = std::to_chars(text, text + sizeof text, x, std::chars_format::scientific);
    char shortest[24];
    int n = 0;
    const char* p = text;
    shortest[n++] = *p++;
    if (*p == '.') {
      for (++p; *p != 'e'; ++p) shortest[n++] = *p;
    }
    int e = 0;
    for (const char* q = p + 2; q < result.ptr; ++q) e = e * 10 + (*q - '0');
    if (p[1] == '-') e = -e;
    if (n <= count) {
      std::memcpy(digits, shortest, static_cast<std::size_t>(n));
      std::memset(digits + n, '0', static_cast<std::size_t>(count - n));
      exponent = e;
      return;
    }
    if (n > count + 1 || shortest[count] != '5') {
      std::memcpy(digits, shortest, static_cast<std::size_t>(count));
      if (shortest[count] >= '5') {
        int k = count - 1;
        while (k >= 0 && digits[k] == '9') digits[k--] = '0';
        if (k >= 0) {
          ++digits[k];
        } else {
          digits[0] = '1';  // 9.99...95 and up round to 10.0...: one more decade
          ++e;
        }
      }
      exponent = e;
      return;
    }
  }
  char text[80];
  const auto result =
      std::to_chars(text, text + sizeof text, x, std::chars_format::scientific, count - 1);
  digits[0] = text[0];
  if (count > 1) std::memcpy(digits + 1, text + 2, static_cast<std::size_t>(count - 1));
  const char* p = text + (count > 1 ? count + 1 : 1);  // the e
  int e = 0;
  for (const char* q = p + 2; q < result.ptr; ++q) e = e * 10 + (*q - '0');
  exponent = p[1] == '-' ? -e : e;
}

inline char* integer_field(char* out, std::int64_t value, int width) {
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  int length = value < 0 ? 2 : 1;
  for (std::uint64_t rest = magnitude; rest >= 10; rest /= 10) ++length;
  if (length > width) return asterisks(out, width);
  // Digits are produced from the right, straight into place, two at a time.
  blank_field(out, width);
  char* const end = out + width;
  char* p = end;
  std::uint64_t rest = magnitude;
  while (rest >= 100) {
    const std::size_t pair = static_cast<std::size_t>(rest % 100) * 2;
    rest /= 100;
    p -= 2;
    p[0] = kDigitPairs[pair];
    p[1] = kDigitPairs[pair + 1];
  }
  if (rest >= 10) {
    p -= 2;
    p[0] = kDigitPairs[rest * 2];
    p[1] = kDigitPairs[rest * 2 + 1];
  } else {
    *--p = static_cast<char>('0' + rest);
  }
  if (value < 0) *--p = '-';
  return end;
}

}  // namespace

char* format_integer(char* out, std::int64_t value, int width) {
  return integer_field(out, value, width);
}

namespace {

// "  " to " 9", then "10" to "99": the last two columns of an I field of a
// value below 100.
constexpr auto kLastTwoColumns = [] {
  std::array<char, 200> columns{};
  for (std::size_t v = 0; v < 100; ++v) {
    columns[2 * v] = v < 10 ? ' ' : static_cast<char>('0' + v / 10);
    columns[2 * v + 1] = static_cast<char>('0' + v % 10);
  }
  return columns;
}();

// The four digits of v < 10^4 as bytes 0 to 9 in one 32-bit word, the first
// digit in the lowest byte: eight_digits with one half.
inline std::uint32_t four_digits(std::uint32_t v) {
  const std::uint32_t hundreds = (v * 5243) >> 19;
  const std::uint32_t pairs = hundreds | ((v - 100 * hundreds) << 16);
  const std::uint32_t tens = ((pairs * 103) >> 10) & 0x000F000Fu;
  return tens | ((pairs - 10 * tens) << 8);
}

// W-column I fields of values that fit them unsigned (0 to 10^W - 1, W up
// to 8), without a branch on the number of digits: the value's digits as
// one word, the leading zeros but the last turned into blanks, and the last
// W characters stored. The leading zero digits are the low zero bytes (a
// little-endian store puts them first); they turn into blanks, the other
// digits into characters ('0' ^ 0x10 is ' '). Other values take the general
// code.
template <int W>
char* small_integer_fields(char* out, const std::int32_t* values, std::size_t count) {
  static_assert(W >= 1 && W <= 8);
  constexpr std::uint32_t kLimit = W == 8 ? 100000000u : [] {
    std::uint32_t limit = 1;
    for (int i = 0; i < W; ++i) limit *= 10;
    return limit;
  }();
  if (count == 0) return out;
  if constexpr (W >= 2) {
    // A stretch of values below 100 (years, the small counts): blanks over
    // it, then each value's last two columns.
    std::uint32_t beyond = 0;
    for (std::size_t i = 0; i < count; ++i) beyond |= static_cast<std::uint32_t>(values[i]) >= 100u;
    if (beyond == 0) {
      std::memset(out, ' ', count * W);
      for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(out + i * W + W - 2, kLastTwoColumns.data() + 2 * values[i], 2);
      }
      return out + count * W;
    }
  }
  for (std::size_t i = 0; i < count; ++i, out += W) {
    const std::uint32_t v = static_cast<std::uint32_t>(values[i]);
    if (v >= kLimit) {
      integer_field(out, values[i], W);
      continue;
    }
    if constexpr (W == 1) {
      out[0] = static_cast<char>('0' + v);
    } else if constexpr (kLittleEndian) {
      if constexpr (W >= 4) {
        if (v < 10000) {
          // Four columns of digits after W - 4 blanks.
          const std::uint32_t digits = four_digits(v);
          const int blanks = std::countr_zero(digits | (std::uint32_t{1} << 24)) / 8;
          const std::uint32_t leading = (std::uint32_t{1} << (8 * blanks)) - 1;
          const std::uint32_t text = (digits | 0x30303030u) ^ (leading & 0x10101010u);
          constexpr std::uint64_t kBlanks = W == 4 ? 0 : 0x2020202020202020ULL >> (8 * (12 - W));
          const std::uint64_t field = kBlanks | (std::uint64_t{text} << (8 * (W - 4)));
          std::memcpy(out, &field, W);
          continue;
        }
      }
      const std::uint64_t digits = eight_digits(v);
      const int blanks = std::countr_zero(digits | (std::uint64_t{1} << 56)) / 8;
      const std::uint64_t leading = (std::uint64_t{1} << (8 * blanks)) - 1;
      const std::uint64_t text =
          (digits | 0x3030303030303030ULL) ^ (leading & 0x1010101010101010ULL);
      const std::uint64_t field = text >> (8 * (8 - W));
      std::memcpy(out, &field, W);
    } else {
      char text[8];
      std::memcpy(text, kDigitPairs + 2 * (v / 1000000), 2);
      std::memcpy(text + 2, kDigitPairs + 2 * (v / 10000 % 100), 2);
      std::memcpy(text + 4, kDigitPairs + 2 * (v / 100 % 100), 2);
      std::memcpy(text + 6, kDigitPairs + 2 * (v % 100), 2);
      const unsigned digits = 1u + (v >= 10) + (v >= 100) + (v >= 1000) + (v >= 10000) +
                              (v >= 100000) + (v >= 1000000) + (v >= 10000000);
      // The first 8 - digits characters become blanks.
      const unsigned blanks = 8 - digits;
      const std::uint64_t leading = blanks == 0 ? 0 : ~std::uint64_t{0} << (64 - 8 * blanks);
      std::uint64_t word;
      std::memcpy(&word, text, 8);
      word = (word & ~leading) | (0x2020202020202020ULL & leading);
      std::memcpy(text, &word, 8);
      std::memcpy(out, text + 8 - W, W);
    }
  }
  return out;
}

// I1 fields: a row of 0 and 1 (the incidence) is a digit each. When every
// value is a single digit, both passes are plain loops that the compiler
// vectorises; otherwise the general code.
char* digit_fields(char* out, const std::int32_t* values, std::size_t count) {
  std::uint32_t beyond = 0;
  for (std::size_t i = 0; i < count; ++i) beyond |= static_cast<std::uint32_t>(values[i]) > 9u;
  if (beyond != 0) return small_integer_fields<1>(out, values, count);
  for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<char>('0' + values[i]);
  return out + count;
}

}  // namespace

char* format_integers(char* out, const std::int32_t* values, std::size_t count, int width) {
  switch (width) {
    case 1:
      return digit_fields(out, values, count);
    case 2:
      return small_integer_fields<2>(out, values, count);
    case 3:
      return small_integer_fields<3>(out, values, count);
    case 4:
      return small_integer_fields<4>(out, values, count);
    case 5:
      return small_integer_fields<5>(out, values, count);
    case 6:
      return small_integer_fields<6>(out, values, count);
    case 7:
      return small_integer_fields<7>(out, values, count);
    case 8:
      return small_integer_fields<8>(out, values, count);
    default:
      for (std::size_t i = 0; i < count; ++i) out = integer_field(out, values[i], width);
      return out;
  }
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

namespace {

// The scaled path's exponents have two digits, so its fields keep the E.
static_assert(kScaledRange + 9 < 99);

// The 16 characters of an E16.8 text (below) in another width. Kept apart:
// were the text stored in a block that the E16.8 fields also use, the
// compiler would build every field there and read it back whole, and the
// read would wait for the stores to drain.
[[gnu::noinline]] char* other_width_field_8(char* out, std::uint64_t first, std::uint64_t second,
                                            int length, int width) {
  char text[16];
  std::memcpy(text, &first, 8);
  std::memcpy(text + 8, &second, 8);
  return right_aligned(out, text + 16 - length, length, width);
}

// Ew.8 of a value whose digits and exponent the scaled path found. The 16
// characters of the widest text (blank, sign, 0., eight digits, E, sign,
// two digits) are put together in two words and stored whole.
inline char* exponent_field_8(char* out, bool negative, std::uint32_t digits, int exponent,
                              int width) {
  const auto word = [](const char* text) {
    std::uint32_t w;
    std::memcpy(&w, text, 4);
    return std::uint64_t{w};
  };
  const std::uint64_t characters = eight_digits(digits) + 0x3030303030303030ULL;
  const int shown = exponent + 1;  // 0.ddd form: the point moves one place left
  const unsigned magnitude = static_cast<unsigned>(shown < 0 ? -shown : shown);
  std::uint16_t pair;
  std::memcpy(&pair, kDigitPairs + 2 * magnitude, 2);
  const std::uint64_t tail =
      (shown < 0 ? word("E-\0\0") : word("E+\0\0")) | (std::uint64_t{pair} << 16);
  // The sign by arithmetic ('-' is ' ' + 13), not by a branch on it.
  const std::uint64_t sign = std::uint64_t{negative} * (('-' - ' ') << 8);
  const std::uint64_t first = (word("  0.") + sign) | (characters << 32);
  const std::uint64_t second = (characters >> 32) | (tail << 32);
  if (width == 16) {
    std::memcpy(out, &first, 8);
    std::memcpy(out + 8, &second, 8);
    return out + 16;
  }
  return other_width_field_8(out, first, second, negative ? 15 : 14, width);
}

// Ew.d in general: the scaled path when it decides, the exact conversions
// otherwise.
char* general_exponent_field(char* out, double value, int width, int decimals) {
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
    // d.ddd...E±x with d significant digits; the fraction form shifts the
    // point one place left.
    std::uint32_t digits = 0;
    if (scaled_significant_digits(std::fabs(value), decimals, digits, exponent) ||
        exact_significant_digits(std::fabs(value), decimals, digits, exponent)) {
      int k = decimals;
      for (; k >= 2; k -= 2, digits /= 100) {
        std::memcpy(text + length + k - 2, kDigitPairs + 2 * (digits % 100), 2);
      }
      if (k == 1) text[length] = static_cast<char>('0' + digits);
    } else {
      significant_digits(std::fabs(value), decimals, text + length, exponent);
    }
    length += decimals;
    exponent += 1;
  }
  int magnitude = std::abs(exponent);
  if (magnitude < 100) text[length++] = 'E';
  text[length++] = exponent < 0 ? '-' : '+';
  if (magnitude >= 100) text[length++] = static_cast<char>('0' + magnitude / 100);
  text[length++] = static_cast<char>('0' + magnitude / 10 % 10);
  text[length++] = static_cast<char>('0' + magnitude % 10);
  return right_aligned(out, text, length, width);
}

// Ew.8, the proximity file's field: the scaled path and the word-wide digits
// for the values it decides, the general code for the rest (zero, ties and
// near-ties, magnitudes outside about 1e-31 to 1e38, a value within an ulp
// or two of a power of ten).
inline char* exponent_field_8(char* out, double value, int width) {
  if constexpr (kLittleEndian) {
    std::uint32_t digits = 0;
    int exponent = 0;
    if (scaled_significant_digits(std::fabs(value), 8, digits, exponent)) {
      return exponent_field_8(out, std::signbit(value), digits, exponent, width);
    }
  }
  return general_exponent_field(out, value, width, 8);
}

}  // namespace

char* format_exponent(char* out, double value, int width, int decimals) {
  if (decimals == 8) return exponent_field_8(out, value, width);
  return general_exponent_field(out, value, width, decimals);
}

char* format_exponents(char* out, const double* values, std::size_t count, int width,
                       int decimals) {
  if (decimals == 8) {
    for (std::size_t i = 0; i < count; ++i) out = exponent_field_8(out, values[i], width);
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      out = general_exponent_field(out, values[i], width, decimals);
    }
  }
  return out;
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
