// Free-form numeric input. Values are separated by blanks or tabs, or by a
// comma with optional blanks around it. Two commas in succession give a null
// value, which leaves its variable unchanged; r*v stands for r copies of v
// (and r* for r null values); a slash ends the read, leaving the variables
// not yet assigned unchanged. A read starts at the beginning of the next
// record, continues over as many records as it needs, and discards whatever
// is left of the last record it used.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace locprox {

class InputUnit;

// One item of a free-form record.
struct ListItem {
  enum class Kind { kValue, kNull, kSlash };
  Kind kind = Kind::kValue;
  std::string_view text;    // the value's text, for kValue
  std::int64_t repeat = 1;  // r of r*v or r*
};

// Splits records into list items. A comma that follows a value separates;
// a comma with no value since the last comma (or since the start of the
// read) is a null value. The state carries over from one record to the next.
class ListScanner {
 public:
  void feed(std::string_view record) {
    text_ = record;
    position_ = 0;
  }
  // The next item of the record, or false when the record is used up.
  // A malformed repeat count is reported through `malformed`.
  bool next(ListItem& item, std::string_view& malformed);

 private:
  std::string_view text_;
  std::size_t position_ = 0;
  bool after_comma_ = true;
};

// Number parsing. Both return false for anything malformed: letters, a lone
// sign or dot, a fraction where an integer is wanted, an integer outside the
// 32-bit range, a real beyond single precision, NaN or infinity. Reals take
// an E or D exponent and are rounded correctly from the decimal text to
// single precision; a value too small for single precision becomes zero.
bool parse_integer(std::string_view text, std::int32_t& value);
bool parse_real(std::string_view text, float& value);

// A token as error messages show it: in double quotes, cut to its first 40
// characters (then followed by "..."), with every byte that a terminal would
// not show as a character (NUL, carriage return, escape, ...) written as \xNN,
// so that a message stays one readable line whatever the file holds.
std::string quoted_for_message(std::string_view text);

// A variable to be read.
struct FreeFormTarget {
  enum class Kind { kInteger, kReal };
  Kind kind;
  void* variable;

  static FreeFormTarget integer(std::int32_t& v) { return {Kind::kInteger, &v}; }
  static FreeFormTarget real(float& v) { return {Kind::kReal, &v}; }
};

enum class ReadOutcome { kDone, kEndOfFile };

// Reads the variables from `unit`. Meeting the end of the file before every
// variable has been given its value returns kEndOfFile when `end_allowed`;
// otherwise it stops the run, as does a malformed number.
ReadOutcome read_free_form(InputUnit& unit, std::span<const FreeFormTarget> targets,
                           bool end_allowed = false);

// Convenience for one integer, as the console dialogue reads them.
void read_integer(InputUnit& unit, std::int32_t& value);

}  // namespace locprox
