// The four fixed work arrays of a run, set aside once at start. The problem
// size step cuts them into the partitions that the analysis works on;
// nothing else is allocated for the problem afterwards.
#pragma once

#include <cstdint>
#include <vector>

#include "format/names.h"

namespace locprox {

constexpr std::int32_t DZDIM = 250000;  // double-precision reals
constexpr std::int32_t ZDIM = 300000;   // single-precision reals
constexpr std::int32_t MZDIM = 720000;  // 32-bit integers
constexpr std::int32_t AZDIM = 1100;    // 8-character names

struct WorkArrays {
  std::vector<double> DZ = std::vector<double>(DZDIM);
  std::vector<float> Z = std::vector<float>(ZDIM);
  std::vector<std::int32_t> MZ = std::vector<std::int32_t>(MZDIM);
  std::vector<Name> AZ = std::vector<Name>(AZDIM);
};

}  // namespace locprox
