// The yearly blocks of the proximity file (unit 23): the proximity sums
// (write_proximity_block) and the three count blocks (write_count_blocks).
// The record layouts are those of format/proximity_records.h.
#pragma once

#include <cstdint>
#include <span>

#include "format/output_unit.h"

namespace locprox {

// PRXMAT: column J of the packed PROX for every location J.
void write_proximity_block(OutputUnit& proximity, std::span<const double> PROX, std::int32_t MAXL);

// PRXCNT: the blocks of NGPAIR, NYPAIR and KII, each record a location's
// total (NGLOC, NYLOC, KI) followed by its column.
void write_count_blocks(OutputUnit& proximity, std::span<const std::int32_t> NGPAIR,
                        std::span<const std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
                        std::span<const std::int32_t> NYLOC, std::span<const std::int32_t> KII,
                        std::span<const std::int32_t> KI, std::int32_t MAXL);

}  // namespace locprox
