#include "import/numbering.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace locprox {

bool year_value(const std::string& name, double& value) {
  const char* first = name.data();
  const char* const last = name.data() + name.size();
  if (first != last && *first == '+') ++first;
  if (first == last || *first == '+' || *first == ' ') return false;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  return result.ec == std::errc() && result.ptr == last && std::isfinite(value);
}

YearNumbering number_years(const std::vector<std::string>& names) {
  YearNumbering numbering;
  const std::size_t count = names.size();
  std::vector<double> values(count);
  numbering.numeric = true;
  for (std::size_t i = 0; i < count && numbering.numeric; ++i)
    numbering.numeric = year_value(names[i], values[i]);
  numbering.in_order.resize(count);
  for (std::size_t i = 0; i < count; ++i) numbering.in_order[i] = static_cast<std::uint32_t>(i);
  if (numbering.numeric) {
    std::stable_sort(numbering.in_order.begin(), numbering.in_order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
  }
  numbering.number.resize(count);
  for (std::size_t n = 0; n < count; ++n)
    numbering.number[numbering.in_order[n]] = static_cast<std::uint32_t>(n + 1);
  return numbering;
}

}  // namespace locprox
