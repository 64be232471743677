#include "input/observations_file.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

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

// `text` is eight bytes XOR '0': a digit's byte holds its value 0 to 9, every
// other byte 10 or more. The number of digits at the start (0 to 8).
// Adding 0x76 sets the top bit of a byte from 10 to 0x7f and of no digit;
// bytes from 0x80 have it already. A byte of 0x8a or more carries into the
// next byte up, but it is not a digit, so the lowest flagged byte is right.
unsigned leading_digits(std::uint64_t text) {
  const std::uint64_t not_digit = ((text + 0x76 * kEveryByte) | text) & (0x80 * kEveryByte);
  return not_digit == 0 ? 8 : static_cast<unsigned>(std::countr_zero(not_digit)) / 8;
}

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

// The first `n` (0 to 4) digits of `text` at the top of a 32-bit lane,
// below them zeros: for the low lane of a word, and for its high lane.
std::uint64_t low_lane(std::uint64_t text, unsigned n) {
  return static_cast<std::uint32_t>(text << (32 - 8 * n));
}
std::uint64_t high_lane(std::uint64_t text, unsigned n) {
  return (text << 32) << (32 - 8 * n);
}

constexpr std::uint64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
constexpr double kNegativePowersOfTen[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7};

// The common line in a few steps per field: eight bytes are read at once,
// their leading digits counted without a branch per byte, and the line's
// end is found on the way (no second pass over the bytes). Numbers of at
// most four digits, nearly all, are converted two to a word. The shape:
// three unsigned integers of one to eight digits, each followed by one
// blank, then a value of at most seven digits before and seven after an
// optional point, then a line feed, CR LF, or a blank (anything after it is
// ignored, as by every reader). Nothing else is taken: leading or doubled
// blanks, longer numbers, tabs, signs, exponents go to the record readers.
[[gnu::always_inline]] inline const char* read_common_line(const char* line,
                                                           const char* lines_end,
                                                           ObservationFields& fields) {
  constexpr std::uint64_t kZeros = '0' * kEveryByte;
  // The three integers: each 1 to 8 digits and a blank.
  const char* p = line;
  const std::uint64_t year_text = load_eight(p) ^ kZeros;
  const unsigned year_digits = leading_digits(year_text);
  if (year_digits == 0 || p[year_digits] != ' ') return nullptr;
  p += year_digits + 1;
  const std::uint64_t location_text = load_eight(p) ^ kZeros;
  const unsigned location_digits = leading_digits(location_text);
  if (location_digits == 0 || p[location_digits] != ' ') return nullptr;
  p += location_digits + 1;
  const std::uint64_t entry_text = load_eight(p) ^ kZeros;
  const unsigned entry_digits = leading_digits(entry_text);
  if (entry_digits == 0 || p[entry_digits] != ' ') return nullptr;
  p += entry_digits + 1;
  // The value: 0 to 7 digits, then a point and 0 to 7 digits or not.
  const std::uint64_t whole_text = load_eight(p) ^ kZeros;
  const unsigned whole_digits = leading_digits(whole_text);
  p += whole_digits;
  std::uint64_t fraction_text = 0;
  unsigned decimals = 0;
  if (*p == '.') {
    fraction_text = load_eight(p + 1) ^ kZeros;
    decimals = leading_digits(fraction_text);
    p += decimals + 1;
  }
  if (whole_digits + decimals == 0 || whole_digits == 8 || decimals == 8) return nullptr;
  const char* after;
  if (*p == '\n') {
    after = p + 1;
  } else if (*p == '\r' && p[1] == '\n') {
    after = p + 2;
  } else if (*p == ' ') {
    after = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(lines_end - p))) + 1;
  } else {
    return nullptr;
  }
  std::uint32_t year, location, entry;
  std::uint64_t mantissa;
  // Every count at most 4 (count + 3 below 8).
  if (((year_digits + 3) | (location_digits + 3) | (entry_digits + 3) | (whole_digits + 3) |
       (decimals + 3)) < 8) {
    const std::uint64_t first = join_pairs(low_lane(year_text, year_digits) |
                                           high_lane(location_text, location_digits));
    const std::uint64_t second = join_pairs(low_lane(entry_text, entry_digits) |
                                            high_lane(whole_text, whole_digits));
    const std::uint64_t fraction = join_pairs(low_lane(fraction_text, decimals));
    year = static_cast<std::uint32_t>(first);
    location = static_cast<std::uint32_t>(first >> 32);
    entry = static_cast<std::uint32_t>(second);
    mantissa = (second >> 32) * kPowersOfTen[decimals] + fraction;
  } else {
    year = digits_value(year_text, year_digits);
    location = digits_value(location_text, location_digits);
    entry = digits_value(entry_text, entry_digits);
    mantissa = whole_digits == 0 ? 0 : digits_value(whole_text, whole_digits);
    if (decimals > 0) mantissa = mantissa * kPowersOfTen[decimals] + digits_value(fraction_text, decimals);
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
                                    ObservationFields& fields) {
  return read_common_line(line, lines_end, fields);
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
// miss in the MAXL x MAXG arrays; parsing a few records ahead and prefetching
// their cells lets the misses overlap. The records are stored strictly in
// file order, and everything else that the reader does (a note, a step back,
// an error stop) first stores what is waiting, so the arrays and the notes
// are the same as storing each record at once.

YearReader::YearReader(InputUnit& observations, ObservationFields& fields, std::span<float> YDATA,
                       std::span<std::int32_t> INCID, std::int32_t IY, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t IYS)
    : file_(observations),
      fields_(fields),
      YDATA_(YDATA),
      INCID_(INCID),
      IY_(IY),
      MAXL_(MAXL),
      MAXG_(MAXG),
      sequence_started_(IY > IYS) {
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

// Stores the waiting cells in order up to the first that was already
// observed, which is returned as a note; the next call goes on after it.
bool YearReader::store_waiting(YearNote& note) {
  while (stored_ < count_) {
    const Cell& c = waiting_[stored_++];
    YDATA_[c.cell] = c.value;
    const bool twice = INCID_[c.cell] == 1;
    INCID_[c.cell] = 1;
    if (!LOCSEEN_.empty()) {
      LOCSEEN_[static_cast<std::size_t>(c.L - 1)] = 1;
      ENTSEEN_[static_cast<std::size_t>(c.G - 1)] = 1;
    }
    if (twice) {
      note = {YearNote::Kind::kDuplicate, c.L, c.G, c.value};
      return true;
    }
  }
  count_ = 0;
  stored_ = 0;
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
  waiting_[count_++] = {cell, L, G, record.value};
  return true;
}

YearNote YearReader::next() {
  YearNote note;
  for (;;) {
    if (count_ == kAhead || (then_ != Then::kRead && count_ > 0)) {
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
    // The common case: records of the year, each a cell to store, a batch
    // at a time. Lines of the common shape are read straight from the
    // unit's buffer; any other line, and a last line without a line feed,
    // is taken as a record and read by the record readers.
    // The fields are parsed into a local copy and filed from it, so that
    // they are not read back from memory right after being stored.
    while (count_ < kAhead) {
      ObservationFields line;  // both short paths set every field or none
      const std::string_view lines = file_.whole_lines();
      if (!lines.empty()) {
        const char* const after =
            read_common_line(lines.data(), lines.data() + lines.size(), line);
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
