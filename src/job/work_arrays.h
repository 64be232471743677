// The four fixed work arrays of a run from the dialogue, set aside once at
// start. The problem-size step cuts them into the partitions that the run
// works on; nothing else is allocated for the problem afterwards.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/names.h"
#include "format/zeroed_block.h"

namespace locprox {

constexpr std::int32_t DZDIM = 250000;  // double-precision reals
constexpr std::int32_t ZDIM = 300000;   // single-precision reals
constexpr std::int32_t MZDIM = 720000;  // 32-bit integers
constexpr std::int32_t AZDIM = 1100;    // 8-character names

// Work arrays as the problem-size step sees them: the arrays and the
// capacities it checks the requirements against and reports (each at most
// its array's length).
struct WorkArrayViews {
  std::span<double> DZ;
  std::span<float> Z;
  std::span<std::int32_t> MZ;
  std::span<Name> AZ;
  std::int32_t DZDIM, ZDIM, MZDIM, AZDIM;
  // Every element of DZ, Z and MZ is zero and has never been written (memory
  // the system hands out zeroed): the problem-size step and the year loop
  // then need not clear them.
  bool zeroed = false;
};

// The numeric arrays come zeroed from the system (ZeroedBlock): nothing
// clears them up front, and the pages a problem never reaches are never
// mapped. The first views() says so; a later one (the arrays may then hold
// an earlier run's values) does not, and the run clears what it uses.
class WorkArrays {
 public:
  WorkArrayViews views() {
    WorkArrayViews views{DZ_.span(), Z_.span(), MZ_.span(), AZ_, DZDIM, ZDIM, MZDIM, AZDIM};
    views.zeroed = !handed_out_;
    handed_out_ = true;
    return views;
  }

 private:
  ZeroedBlock<double> DZ_{DZDIM};
  ZeroedBlock<float> Z_{ZDIM};
  ZeroedBlock<std::int32_t> MZ_{MZDIM};
  std::vector<Name> AZ_ = std::vector<Name>(AZDIM);
  bool handed_out_ = false;
};

}  // namespace locprox
