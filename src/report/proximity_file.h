// The yearly blocks of the proximity file (unit 23): the proximity sums
// (PRXMAT) and the three count blocks (PRXCNT).
#pragma once

#include <cstdint>
#include <span>

#include "format/output_unit.h"

namespace locprox {

void PRXMAT(OutputUnit& proximity, std::span<const double> PROX, std::int32_t NTM,
            std::int32_t MAXL);

void PRXCNT(OutputUnit& proximity, std::span<const std::int32_t> NGPAIR,
            std::span<const std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
            std::span<const std::int32_t> NYLOC, std::span<const std::int32_t> KII,
            std::span<const std::int32_t> KI, std::int32_t NTM, std::int32_t MAXL);

}  // namespace locprox
