// The problem-size step: asks for the size of the data set and the year
// range, reports them, checks the work arrays against what the problem
// needs, and hands the partitions of the arrays to the analysis driver.
#pragma once

#include <cstdint>
#include <span>

#include "format/names.h"
#include "format/units.h"

namespace locprox {

void PROBSZ(Units& units, std::span<double> DZ, std::span<float> Z, std::span<std::int32_t> MZ,
            std::span<Name> AZ, std::int32_t DZDIM, std::int32_t ZDIM, std::int32_t MZDIM,
            std::int32_t AZDIM);

}  // namespace locprox
