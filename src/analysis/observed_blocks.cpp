#include "analysis/observed_blocks.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>

namespace locprox {
namespace {

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

}  // namespace

ObservedCounts list_observed(std::span<std::int32_t> observed_locations,
                             std::span<std::int32_t> observed_entries,
                             std::span<const std::int32_t> LOCSEEN,
                             std::span<const std::int32_t> ENTSEEN, std::int32_t MAXL,
                             std::int32_t MAXG) {
  ObservedCounts counts;
  for (std::int32_t l = 0; l < MAXL; ++l) {
    if (LOCSEEN[at(l)] != 0) observed_locations[at(counts.observed_location_count++)] = l;
  }
  for (std::int32_t g = 0; g < MAXG; ++g) {
    if (ENTSEEN[at(g)] != 0) observed_entries[at(counts.observed_entry_count++)] = g;
  }
  return counts;
}

void clear_observed(std::span<float> YDATA, std::span<std::int32_t> INCID,
                    std::span<const std::int32_t> observed_locations,
                    std::span<const std::int32_t> observed_entries, std::int32_t MAXL,
                    std::int32_t observed_location_count, std::int32_t observed_entry_count) {
  for (std::int32_t m = 0; m < observed_entry_count; ++m) {
    const std::size_t column = at(observed_entries[at(m)]) * at(MAXL);
    if (observed_location_count == MAXL) {  // every location: the whole column
      std::fill_n(YDATA.begin() + static_cast<std::ptrdiff_t>(column), at(MAXL), 0.0f);
      std::fill_n(INCID.begin() + static_cast<std::ptrdiff_t>(column), at(MAXL), 0);
      continue;
    }
    for (std::int32_t k = 0; k < observed_location_count; ++k) {
      const std::size_t cell = column + at(observed_locations[at(k)]);
      YDATA[cell] = 0.0f;
      INCID[cell] = 0;
    }
  }
}

void count_observed_occurrences(std::span<const std::int32_t> LOCSEEN,
                                std::span<const std::int32_t> observed_locations,
                                std::span<std::int32_t> DELTA, std::span<std::int32_t> DELTOT,
                                std::int32_t& NDELTA, std::span<std::int32_t> GAMMA,
                                std::span<std::int32_t> GAMTOT, std::span<std::int32_t> GAMYR,
                                std::int32_t& NGAMMA, std::int32_t MAXL,
                                std::int32_t observed_location_count, std::int32_t K) {
  if (K < 1) return;
  const std::size_t col = at(K - 1) * at(MAXL);  // column K of DELTA and GAMMA
  // Integer sums do not depend on their order: a row's sum is added at once.
  for (std::int32_t k = 0; k < observed_location_count; ++k) {
    const std::size_t l = at(observed_locations[at(k)]);
    const std::int32_t observed = LOCSEEN[l];
    DELTA[col + l] += observed;
    DELTOT[l] += observed;
    NDELTA += observed;
    GAMMA[col + l] = DELTA[col + l] != 0 ? 1 : 0;
    GAMTOT[l] += GAMMA[col + l];
    GAMYR[at(K - 1)] += GAMMA[col + l];
    NGAMMA += GAMMA[col + l];
  }
}

void gather_observed(std::span<float> observed_values, std::span<std::int32_t> observed_incidence,
                     std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                     std::span<const std::int32_t> observed_locations,
                     std::span<const std::int32_t> observed_entries, std::int32_t MAXL,
                     std::int32_t observed_location_count, std::int32_t observed_entry_count) {
  if (observed_location_count <= 0 || observed_entry_count <= 0) return;
  const std::size_t nl = at(observed_location_count);
  const std::size_t ng = at(observed_entry_count);
  assert(observed_values.size() >= nl * ng && observed_incidence.size() >= nl * ng);
  assert(observed_locations.size() >= nl && observed_entries.size() >= ng);
  for (std::size_t m = 0; m < ng; ++m) {
    const std::size_t from = at(observed_entries[m]) * at(MAXL);
    const std::size_t to = m * nl;
    assert(from + at(MAXL) <= YDATA.size() && from + at(MAXL) <= INCID.size());
    if (nl == at(MAXL)) {  // every location: the whole column, in storage order
      const float* __restrict y = YDATA.data() + from;
      const std::int32_t* __restrict inc = INCID.data() + from;
      float* __restrict yobs = observed_values.data() + to;
      std::int32_t* __restrict iobs = observed_incidence.data() + to;
      // The value's bits, or none of them: a select without a branch, which
      // the compiler vectorises (the incidence is 0 or 1 at random).
      for (std::size_t k = 0; k < nl; ++k) {
        const std::uint32_t keep = inc[k] != 0 ? ~std::uint32_t{0} : 0;
        iobs[k] = inc[k];
        yobs[k] = std::bit_cast<float>(std::bit_cast<std::uint32_t>(y[k]) & keep);
      }
      continue;
    }
    for (std::size_t k = 0; k < nl; ++k) {
      const std::size_t cell = from + at(observed_locations[k]);
      const std::int32_t observed = INCID[cell];
      observed_incidence[to + k] = observed;
      observed_values[to + k] = observed != 0 ? YDATA[cell] : 0.0f;
    }
  }
}

}  // namespace locprox
