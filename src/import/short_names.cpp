#include "import/short_names.h"

#include <limits>
#include <unordered_map>
#include <unordered_set>

#include "import/import_error.h"

namespace locprox {
namespace {

bool is_continuation_byte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::string without_control_bytes(std::string_view text) {
  std::string clean(text);
  for (char& c : clean) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
  return clean;
}

std::string right_trimmed(std::string_view text) {
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return std::string(text);
}

// A name without control bytes and without blanks at either end (a control
// byte at an end becomes a blank and goes).
std::string clean_name(std::string_view name) {
  std::string clean = right_trimmed(without_control_bytes(name));
  const std::size_t first = clean.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : clean.substr(first);
}

}  // namespace

std::string_view utf8_prefix(std::string_view text, std::size_t length) {
  if (text.size() <= length) return text;
  std::size_t end = length;
  // Back off over the continuation bytes of a character cut in two (at most
  // three: a UTF-8 character has four bytes at most).
  for (int steps = 0; steps < 3 && end > 0 && is_continuation_byte(text[end]); ++steps) --end;
  if (is_continuation_byte(text[end])) end = length;  // not UTF-8: cut at the byte
  return text.substr(0, end);
}

std::string one_line_text(std::string_view text, std::size_t length) {
  return right_trimmed(utf8_prefix(without_control_bytes(text), length));
}

ShortNames short_names(const std::vector<std::string>& full_names) {
  ShortNames result;
  result.names.resize(full_names.size());
  std::unordered_set<std::string> taken;
  std::vector<std::size_t> waiting;  // names cut, or equal to an earlier one once cleaned
  for (std::size_t i = 0; i < full_names.size(); ++i) {
    const std::string clean = clean_name(full_names[i]);
    if (!clean.empty() && clean.size() <= kNameLength && taken.insert(clean).second) {
      result.names[i] = clean;
    } else {
      waiting.push_back(i);
    }
  }
  // The next suffix to try for each cut name, so that many long names
  // sharing their first 8 bytes cost one try each.
  std::unordered_map<std::string, std::size_t> next_suffix;
  for (std::size_t i : waiting) {
    const std::string clean = clean_name(full_names[i]);
    if (clean.size() > kNameLength) ++result.cut;
    const std::string cut = right_trimmed(utf8_prefix(clean, kNameLength));
    if (!cut.empty() && taken.insert(cut).second) {
      result.names[i] = cut;
      continue;
    }
    std::size_t& suffix = next_suffix.try_emplace(cut, 2).first->second;
    for (;; ++suffix) {
      // Built by appending: GCC 12 warns wrongly (-Wrestrict) on "~" + string.
      std::string tail(1, '~');
      tail += std::to_string(suffix);
      if (tail.size() > kNameLength) {
        throw ImportError("more names starting with " + cut + " than 8 characters can tell apart");
      }
      std::string candidate = right_trimmed(utf8_prefix(clean, kNameLength - tail.size()));
      candidate += tail;
      if (taken.insert(candidate).second) {
        result.names[i] = std::move(candidate);
        ++result.suffixed;
        ++suffix;
        break;
      }
    }
  }
  return result;
}

}  // namespace locprox
