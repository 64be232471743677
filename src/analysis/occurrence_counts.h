// Occurrence counts: how many entries each location had in each year (delta)
// and in which years each location was used at all (gamma), with running
// totals by location, by year and overall.
#pragma once

#include <cstdint>
#include <span>

namespace locprox {

// OCCCNT: adds the year at sequence position K (1 to NYA) to the occurrence counts.
//
// INCID is the year's MAXL x MAXG incidence (0 or 1), column-major with MAXL
// as leading dimension. DELTA and GAMMA are MAXL x NYA, DELTOT and GAMTOT hold
// MAXL totals, GAMYR holds NYA totals. The caller zeroes every count once
// before the first year and calls this once per year in increasing K; column K
// of DELTA must still be zero on entry (it is added to, not assigned).
void count_occurrences(std::span<const std::int32_t> INCID, std::span<std::int32_t> DELTA,
                       std::span<std::int32_t> DELTOT, std::int32_t& NDELTA,
                       std::span<std::int32_t> GAMMA, std::span<std::int32_t> GAMTOT,
                       std::span<std::int32_t> GAMYR, std::int32_t& NGAMMA, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t NYA, std::int32_t K);

}  // namespace locprox
