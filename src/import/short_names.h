// Names for the names file, which holds 8 characters a name.
//
// The rule, within one kind (years, locations or entries):
//  1. Control bytes inside a name become blanks (a name is one line of the
//     names file); blanks at either end go.
//  2. A name of at most 8 bytes is kept as it is. These names are placed
//     first, in numbering order, so that no cut name can take one of them.
//  3. A longer name is cut to its first 8 bytes, never inside a UTF-8
//     character, and blanks at the end of the cut are dropped (the names
//     file pads with blanks anyway).
//  4. When that name is already taken (by a name of step 2, or by an earlier
//     cut name), the name becomes the longest such cut that leaves room for
//     "~2", then "~3", and so on, with the suffix appended: the first of
//     these that no other name of the kind has. "Station-North",
//     "Station-South" and "Station-East" become "Station-", "Statio~2" and
//     "Statio~3".
// The names stay distinct because each one is checked against every name
// already placed. The full names go to STEM.names.csv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace locprox {

constexpr std::size_t kNameLength = 8;

struct ShortNames {
  std::vector<std::string> names;  // in the order of the full names
  std::size_t cut = 0;             // names longer than 8 bytes
  std::size_t suffixed = 0;        // of those, names made distinct with ~N
};

ShortNames short_names(const std::vector<std::string>& full_names);

// The longest start of `text` of at most `length` bytes that does not end
// inside a UTF-8 character.
std::string_view utf8_prefix(std::string_view text, std::size_t length);

// `text` with every control byte replaced by a blank, cut to at most
// `length` bytes (not inside a UTF-8 character), blanks at its end dropped.
std::string one_line_text(std::string_view text, std::size_t length);

}  // namespace locprox
