// The analysis driver: the options dialogue, the job's title and options,
// the names file, and the year-sequential loop that calls the yearly
// operations in their order.
#pragma once

#include <cstdint>
#include <span>

#include "format/names.h"
#include "format/units.h"

namespace locprox {

void SEQANL(Units& units, std::span<double> PROX, std::span<float> YDATA,
            std::span<std::int32_t> INCID, std::span<std::int32_t> DELTA,
            std::span<std::int32_t> DELTOT, std::span<std::int32_t> GAMMA,
            std::span<std::int32_t> GAMTOT, std::span<std::int32_t> GAMYR,
            std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::span<std::int32_t> KII, std::span<std::int32_t> NGLOC,
            std::span<std::int32_t> NYLOC, std::span<std::int32_t> KI, std::span<Name> YEARNAME,
            std::span<Name> LOCNAME, std::span<Name> ENTNAME, std::int32_t MAXY, std::int32_t MAXL,
            std::int32_t MAXG, std::int32_t IYS, std::int32_t IYF, std::int32_t NYA,
            std::int32_t NTM);

}  // namespace locprox
