// The matrix sections of the occurrence report (unit 22): incidence, delta
// and gamma (write_occurrences), and the kappa counts with their section
// (write_kappa).
#pragma once

#include <cstdint>
#include <span>

#include "format/output_unit.h"

namespace locprox {

// OCCREP: the year's incidence, then the delta and gamma matrices of the
// years IYS to IY so far (K of them) with their totals.
void write_occurrences(OutputUnit& report, std::span<const std::int32_t> INCID,
                       std::span<const std::int32_t> DELTA, std::span<const std::int32_t> DELTOT,
                       std::int32_t NDELTA, std::span<const std::int32_t> GAMMA,
                       std::span<const std::int32_t> GAMTOT, std::span<const std::int32_t> GAMYR,
                       std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t MAXG, std::int32_t IYS,
                       std::int32_t IY, std::int32_t K);

// KAPPA: derives the location totals NGLOC, NYLOC and KI and the indicators
// KII from the pair counts, and writes the kappa section.
void write_kappa(OutputUnit& report, std::span<const std::int32_t> NGPAIR,
                 std::span<std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
                 std::span<std::int32_t> NYLOC, std::span<std::int32_t> KII,
                 std::span<std::int32_t> KI, std::int32_t NTM, std::int32_t MAXL);

}  // namespace locprox
