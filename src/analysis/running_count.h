// Adds a year's count to a running 32-bit count. A count of entries in
// common can outgrow 32 bits only with billions of observations of one pair,
// but then it stops at the largest value (shown as asterisks in its field)
// instead of overflowing.
#pragma once

#include <cstdint>
#include <limits>

namespace locprox {

inline std::int32_t add_to_running_count(std::int32_t running, std::int32_t year) {
  std::int32_t sum = 0;
  if (__builtin_add_overflow(running, year, &sum)) return std::numeric_limits<std::int32_t>::max();
  return sum;
}

}  // namespace locprox
