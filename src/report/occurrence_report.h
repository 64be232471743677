// The matrix sections of the occurrence report (unit 22): incidence, delta
// and gamma (OCCREP), and the kappa counts with their section (KAPPA).
#pragma once

#include <cstdint>
#include <span>

#include "format/output_unit.h"

namespace locprox {

void OCCREP(OutputUnit& report, std::span<const std::int32_t> INCID,
            std::span<const std::int32_t> DELTA, std::span<const std::int32_t> DELTOT,
            std::int32_t NDELTA, std::span<const std::int32_t> GAMMA,
            std::span<const std::int32_t> GAMTOT, std::span<const std::int32_t> GAMYR,
            std::int32_t NGAMMA, std::int32_t MAXL, std::int32_t NYA, std::int32_t MAXG,
            std::int32_t IYS, std::int32_t IY, std::int32_t K);

void KAPPA(OutputUnit& report, std::span<const std::int32_t> NGPAIR, std::span<std::int32_t> NGLOC,
           std::span<const std::int32_t> NYPAIR, std::span<std::int32_t> NYLOC,
           std::span<std::int32_t> KII, std::span<std::int32_t> KI, std::int32_t NTM,
           std::int32_t MAXL);

}  // namespace locprox
