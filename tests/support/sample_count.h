// How many random cases a long oracle test draws: its everyday number times
// a scale, 1 by default and 0.05 under AddressSanitizer (whose build runs
// many times slower), or the number the environment variable `variable`
// holds (LOCPROX_NATURAL_LOG_SCALE=100 for a long run, say). At least 1.
#pragma once

#include <cstdint>
#include <cstdlib>

namespace locprox::testing {

inline std::uint64_t scaled_samples(std::uint64_t everyday, const char* variable) {
#if defined(__SANITIZE_ADDRESS__)
  double scale = 0.05;
#else
  double scale = 1.0;
#endif
  if (const char* text = std::getenv(variable)) scale = std::atof(text);
  const double n = static_cast<double>(everyday) * scale;
  return n < 1.0 ? 1 : static_cast<std::uint64_t>(n);
}

}  // namespace locprox::testing
