#include "format/free_form.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "format/input_unit.h"

namespace locprox {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool ends_value(char c) {
  return is_blank(c) || c == ',' || c == '/';
}

// The shape of a real: [sign] digits [. digits] [(E|D) [sign] digits], with
// at least one mantissa digit. Returns false for anything else.
struct RealShape {
  bool negative = false;
  std::size_t mantissa_start = 0;  // first character after the sign
  std::size_t exponent_letter = std::string_view::npos;
};

bool real_shape(std::string_view text, RealShape& shape) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    shape.negative = text[i] == '-';
    ++i;
  }
  shape.mantissa_start = i;
  std::size_t digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && is_digit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i == text.size()) return true;
  char letter = text[i];
  if (letter != 'E' && letter != 'e' && letter != 'D' && letter != 'd') return false;
  shape.exponent_letter = i++;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  std::size_t exponent_digits = 0;
  while (i < text.size() && is_digit(text[i])) ++i, ++exponent_digits;
  return exponent_digits > 0 && i == text.size();
}

// The decimal order of magnitude of a well-shaped real that is not zero:
// the value lies in [10^(m-1), 10^m). Saturates far outside any float range.
long long decimal_order(std::string_view text, const RealShape& shape) {
  std::size_t end =
      shape.exponent_letter == std::string_view::npos ? text.size() : shape.exponent_letter;
  long long exponent = 0;
  if (end < text.size()) {
    std::size_t i = end + 1;
    bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    for (; i < text.size(); ++i) {
      if (exponent < 1000000000LL) exponent = exponent * 10 + (text[i] - '0');
    }
    if (negative) exponent = -exponent;
  }
  long long position = 0;  // digits before the point, counted from the first non-zero one
  bool seen_point = false;
  bool seen_nonzero = false;
  for (std::size_t i = shape.mantissa_start; i < end; ++i) {
    char c = text[i];
    if (c == '.') {
      seen_point = true;
      continue;
    }
    if (!seen_nonzero && c == '0') {
      if (seen_point) --position;
      continue;
    }
    seen_nonzero = true;
    if (!seen_point) ++position;
  }
  return position + exponent;
}

}  // namespace

bool ListScanner::next(ListItem& item, std::string_view& malformed) {
  for (;;) {
    while (position_ < text_.size() && is_blank(text_[position_])) ++position_;
    if (position_ >= text_.size()) return false;
    char c = text_[position_];
    if (c == ',') {
      ++position_;
      if (after_comma_) {
        item = {ListItem::Kind::kNull, {}, 1};
        return true;
      }
      after_comma_ = true;
      continue;
    }
    if (c == '/') {
      ++position_;
      item = {ListItem::Kind::kSlash, {}, 1};
      return true;
    }
    std::size_t start = position_;
    while (position_ < text_.size() && !ends_value(text_[position_])) ++position_;
    std::string_view token = text_.substr(start, position_ - start);
    after_comma_ = false;
    std::size_t star = token.find('*');
    if (star == std::string_view::npos) {
      item = {ListItem::Kind::kValue, token, 1};
      return true;
    }
    std::int32_t repeat = 0;
    std::string_view count = token.substr(0, star);
    bool all_digits = !count.empty();
    for (char d : count) all_digits = all_digits && is_digit(d);
    if (!all_digits || !parse_integer(count, repeat) || repeat < 1) {
      malformed = token;
      return false;
    }
    std::string_view value = token.substr(star + 1);
    item = {value.empty() ? ListItem::Kind::kNull : ListItem::Kind::kValue, value, repeat};
    return true;
  }
}

std::string quoted_for_message(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string quoted = "\"";
  for (char c : text.substr(0, kShown)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      constexpr char kHex[] = "0123456789ABCDEF";
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 15];
    } else {
      quoted += c;
    }
  }
  if (text.size() > kShown) quoted += "...";
  return quoted + "\"";
}

bool parse_integer(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (!is_digit(text[i])) return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > std::int64_t{1} << 31) return false;
  }
  std::int64_t result = negative ? -magnitude : magnitude;
  if (result > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(result);
  return true;
}

bool parse_real(std::string_view text, float& value) {
  RealShape shape;
  if (!real_shape(text, shape)) return false;
  // from_chars takes neither a leading plus nor a D exponent.
  std::string_view digits = text.substr(shape.mantissa_start);
  std::string respelled;
  if (shape.exponent_letter != std::string_view::npos) {
    char letter = text[shape.exponent_letter];
    if (letter == 'D' || letter == 'd') {
      respelled.assign(digits);
      respelled[shape.exponent_letter - shape.mantissa_start] = 'E';
      digits = respelled;
    }
  }
  float magnitude = 0.0f;
  auto result = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude,
                                std::chars_format::general);
  if (result.ptr != digits.data() + digits.size()) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // Out of range either way: too large is malformed, too small is zero.
    if (decimal_order(text, shape) > 0) return false;
    magnitude = 0.0f;
  } else if (result.ec != std::errc() || !std::isfinite(magnitude)) {
    return false;
  }
  value = shape.negative ? -magnitude : magnitude;
  return true;
}

ReadOutcome read_free_form(InputUnit& unit, std::span<const FreeFormTarget> targets,
                           bool end_allowed) {
  std::size_t next = 0;
  ListScanner scanner;
  std::string_view record;
  while (next < targets.size()) {
    if (!unit.next_record(record)) {
      if (end_allowed) return ReadOutcome::kEndOfFile;
      unit.fail_at_end();
    }
    scanner.feed(record);
    ListItem item;
    std::string_view malformed;
    while (next < targets.size()) {
      if (!scanner.next(item, malformed)) {
        if (!malformed.empty()) {
          unit.fail("malformed repeat count in " + quoted_for_message(malformed));
        }
        break;
      }
      if (item.kind == ListItem::Kind::kSlash) return ReadOutcome::kDone;
      for (std::int64_t r = 0; r < item.repeat && next < targets.size(); ++r) {
        const FreeFormTarget& target = targets[next++];
        if (item.kind == ListItem::Kind::kNull) continue;
        bool ok = target.kind == FreeFormTarget::Kind::kInteger
                      ? parse_integer(item.text, *static_cast<std::int32_t*>(target.variable))
                      : parse_real(item.text, *static_cast<float*>(target.variable));
        if (!ok) {
          unit.fail(
              "malformed number " + quoted_for_message(item.text) + " where " +
              (target.kind == FreeFormTarget::Kind::kInteger ? "an integer" : "a real number") +
              " is expected");
        }
      }
    }
  }
  return ReadOutcome::kDone;
}

void read_integer(InputUnit& unit, std::int32_t& value) {
  FreeFormTarget target = FreeFormTarget::integer(value);
  read_free_form(unit, std::span(&target, 1));
}

}  // namespace locprox
