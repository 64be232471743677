#include "input/observations_file.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "format/free_form.h"

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

// Eight bytes of text as one word, the first byte lowest.
std::uint64_t load_eight(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

constexpr std::uint64_t kEveryByte = 0x0101010101010101;

// Joins neighbouring digit values in every lane of `v`: bytes, then pairs
// of bytes, then (with `quadruples`) groups of four, each as high * 10 + low,
// high * 100 + low, high * 10000 + low. A lane holds its number's digits at
// its top, the lower bytes zero; no lane carries into the next (99, 9999 and
// 99999999 fit 8, 16 and 32 bits).
std::uint64_t join_pairs(std::uint64_t v) {
  v = (v * 10 + (v >> 8)) & 0x00ff00ff00ff00ff;
  return (v * 100 + (v >> 16)) & 0x0000ffff0000ffff;
}

// The value of the first `n` (1 to 8) digits of `text` (as above).
std::uint32_t digits_value(std::uint64_t text, unsigned n) {
  const std::uint64_t v = join_pairs(text << (8 * (8 - n)));
  return static_cast<std::uint32_t>(v * 10000 + (v >> 32));
}

// The position of the lowest bit set in `bits`, which is not zero (without
// the test for zero that std::countr_zero adds where it cannot rule it out).
unsigned lowest_bit(std::uint32_t bits) {
  return static_cast<unsigned>(__builtin_ctz(bits));
}

// Four bytes of text as one word, the first byte lowest.
std::uint32_t load_four(const char* p) {
  std::uint32_t word;
  std::memcpy(&word, p, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap32(word);
  return word;
}

// A number of `n` (0 to 4) digits that ends before `end`, as a 32-bit lane:
// its digit values at the top, the bytes below them zero.
std::uint64_t lane(const char* end, unsigned n) {
  static constexpr std::uint32_t kLastBytes[] = {0, 0xff000000, 0xffff0000, 0xffffff00, 0xffffffff};
  return (load_four(end - 4) ^ 0x30303030) & kLastBytes[n];
}

constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
constexpr double kNegativePowersOfTen[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7};

// Which of the 32 bytes from `p` are digits and which are blanks, a bit for
// each byte (bit i for p[i]).
struct ByteClasses {
  std::uint32_t digits = 0;
  std::uint32_t blanks = 0;
};

// With plain integer arithmetic, eight bytes at a time. Masking each byte to
// its low seven bits before the addition keeps every carry inside its byte,
// so every byte is classed exactly.
ByteClasses classify_bytes_portably(const char* p) {
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
    classes.digits |= gather(~not_digit & kTop) << (8 * k);
    classes.blanks |= gather(~not_blank & kTop) << (8 * k);
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
  const auto blanks = [](__m128i bytes) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' '))));
  };
  return {digits(low) | digits(high) << 16, blanks(low) | blanks(high) << 16};
}
#else
ByteClasses classify_bytes(const char* p) {
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
  const char* after;
  if (*p == '\n') {
    after = p + 1;
  } else if (*p == '\r' && p[1] == '\n') {
    after = p + 2;
  } else if (*p == ' ') {
    const auto rest = static_cast<std::size_t>(lines_end - p);
    after = static_cast<const char*>(std::memchr(p, '\n', rest)) + 1;
  } else {
    return nullptr;
  }
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
}  // namespace

const char* read_common_observation(const char* line, const char* lines_end,
                                    ObservationFields& fields, bool portably) {
  return portably ? read_common_line<true>(line, lines_end, fields)
                  : read_common_line<false>(line, lines_end, fields);
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

// A year's records come in no particular order, so every store meets a cache
// miss in the MAXL x MAXG arrays; parsing records ahead and prefetching their
// cells lets the misses overlap: a cell is stored kAhead records after its
// own was read. The records are stored strictly in file order, and
// everything else that the reader does (a note, a step back, an error stop)
// first stores what is waiting, so the arrays and the notes are the same as
// storing each record at once.

YearReader::YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
                       std::span<std::int32_t> INCID, std::int32_t IY, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t IYS)
    : YearReader(observations, fields, YDATA, INCID, {}, {}, IY, MAXL, MAXG, IYS) {
  const std::size_t cells = static_cast<std::size_t>(MAXL) * static_cast<std::size_t>(MAXG);
  std::fill_n(YDATA.begin(), cells, 0.0f);
  std::fill_n(INCID.begin(), cells, 0);
}

YearReader::YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
                       std::span<std::int32_t> INCID, std::span<std::int32_t> LOCSEEN,
                       std::span<std::int32_t> ENTSEEN, std::int32_t IY, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t IYS)
    : file_(observations),
      fields_(fields),
      YDATA_(YDATA),
      INCID_(INCID),
      LOCSEEN_(LOCSEEN),
      ENTSEEN_(ENTSEEN),
      IY_(IY),
      MAXL_(MAXL),
      MAXG_(MAXG),
      sequence_started_(IY > IYS) {}

// Stores the oldest waiting cell; true, with its note, when the cell was
// already observed.
[[gnu::always_inline]] inline bool YearReader::store_oldest(YearNote& note) {
  const Cell& c = waiting_[stored_++ % kAhead];
  YDATA_[c.cell] = c.value;
  const bool twice = INCID_[c.cell] == 1;
  INCID_[c.cell] = 1;
  if (!LOCSEEN_.empty()) {
    LOCSEEN_[static_cast<std::size_t>(c.L - 1)] = 1;
    ENTSEEN_[static_cast<std::size_t>(c.G - 1)] = 1;
  }
  if (twice) note = {YearNote::Kind::kDuplicate, c.L, c.G, c.value};
  return twice;
}

// Stores the waiting cells in order up to the first that was already
// observed, which is returned as a note; the next call goes on after it.
bool YearReader::store_waiting(YearNote& note) {
  while (stored_ < taken_) {
    if (store_oldest(note)) return true;
  }
  return false;
}

// Keeps the fields of the record just parsed for the records and years
// after it. Field by field: a copy of the whole struct is made by some
// compilers through a 16-byte load of four 4-byte stores, which stalls.
[[gnu::always_inline]] inline void YearReader::keep_fields(const ObservationFields& record) {
  fields_.year = record.year;
  fields_.location = record.location;
  fields_.entry = record.entry;
  fields_.value = record.value;
}

// Files the record just parsed (`record`, a copy of `fields_`): skips it, or
// adds its cell to those waiting; false when it ends the batch (a later year, a record out of
// range).
[[gnu::always_inline]] inline bool YearReader::take_fields(const ObservationFields& record) {
  if (record.year < IY_) {
    if (sequence_started_ && skipped_++ == 0) first_skipped_line_ = file_.line_number();
    return true;
  }
  sequence_started_ = true;
  if (record.year > IY_) {
    then_ = Then::kLaterYear;
    return false;
  }
  const std::int32_t L = record.location;
  const std::int32_t G = record.entry;
  if (L < 1 || L > MAXL_ || G < 1 || G > MAXG_) {
    out_of_range_ = {YearNote::Kind::kOutOfRange, L, G, record.value};
    then_ = Then::kOutOfRange;
    return false;
  }
  const std::size_t cell = static_cast<std::size_t>(L - 1) +
                           static_cast<std::size_t>(G - 1) * static_cast<std::size_t>(MAXL_);
  __builtin_prefetch(&YDATA_[cell], 1);
  __builtin_prefetch(&INCID_[cell], 1);
  waiting_[taken_++ % kAhead] = {cell, L, G, record.value};
  return true;
}

YearNote YearReader::next() {
  YearNote note;
  for (;;) {
    if (then_ != Then::kRead && stored_ < taken_) {
      if (store_waiting(note)) return note;
    }
    switch (then_) {
      case Then::kRead:
        break;
      case Then::kGeneralParse:
        // The general reader may stop the run: the records before are
        // stored and their notes returned by now.
        then_ = Then::kRead;
        if (parse_general_observation(file_, record_, fields_) == ObservationLine::kObservation) {
          take_fields(fields_);
        }
        continue;
      case Then::kOutOfRange:
        then_ = Then::kRead;
        return out_of_range_;
      case Then::kLaterYear:
        // The first record of a later year is read again by the next year.
        file_.step_back();
        then_ = Then::kDone;
        last_ = YearNote::Kind::kYearEnd;
        return {last_};
      case Then::kEndOfData:
        then_ = Then::kDone;
        last_ = YearNote::Kind::kEndOfData;
        return {last_};
      case Then::kDone:
        return {last_};
    }
    // The common case: records of the year, each a cell to store once
    // kAhead more have been taken (and their cells prefetched). Lines of the
    // common shape are read straight from the unit's buffer; any other line,
    // and a last line without a line feed, is taken as a record and read by
    // the record readers. The fields are parsed into a local copy and filed
    // from it, so that they are not read back from memory right after being
    // stored.
    for (;;) {
      if (taken_ - stored_ == kAhead && store_oldest(note)) return note;
      ObservationFields line;  // both short paths set every field or none
      const std::string_view lines = file_.whole_lines();
      if (!lines.empty()) {
        const char* const after =
            read_common_line<false>(lines.data(), lines.data() + lines.size(), line);
        if (after != nullptr) {
          keep_fields(line);
          file_.take_line(static_cast<std::size_t>(after - lines.data()));
          if (!take_fields(line)) break;
          continue;
        }
      }
      std::string_view record;
      if (!file_.next_record(record)) {
        then_ = Then::kEndOfData;
        break;
      }
      if (!parse_plain_observation(record, line)) {
        record_ = record;
        then_ = Then::kGeneralParse;
        break;
      }
      keep_fields(line);
      if (!take_fields(line)) break;
    }
  }
}

}  // namespace locprox
