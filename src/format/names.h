// Fixed-length, blank-padded character fields: the 8-character names of
// years, locations and entries, and the 50-character title and file names.
#pragma once

#include <array>
#include <string_view>

namespace locprox {

using Name = std::array<char, 8>;

template <std::size_t N>
std::string_view as_text(const std::array<char, N>& field) {
  return std::string_view(field.data(), N);
}

// The field without its trailing blanks.
template <std::size_t N>
std::string_view trimmed_right(const std::array<char, N>& field) {
  std::string_view text = as_text(field);
  std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace locprox
