#include "analysis/occurrence_counts.h"

#include <cassert>
#include <cstddef>

namespace locprox {

void count_occurrences(std::span<const std::int32_t> INCID, std::span<std::int32_t> DELTA,
                       std::span<std::int32_t> DELTOT, std::int32_t& NDELTA,
                       std::span<std::int32_t> GAMMA, std::span<std::int32_t> GAMTOT,
                       std::span<std::int32_t> GAMYR, std::int32_t& NGAMMA, std::int32_t MAXL,
                       std::int32_t MAXG, std::int32_t NYA, std::int32_t K) {
  if (MAXL <= 0 || K < 1) return;
  const std::size_t nl = static_cast<std::size_t>(MAXL);
  const std::size_t ng = MAXG > 0 ? static_cast<std::size_t>(MAXG) : 0;
  const std::size_t col = static_cast<std::size_t>(K - 1) * nl;  // column K of DELTA and GAMMA
  assert(K <= NYA);
  (void)NYA;  // the declared number of columns; only the assertion above uses it
  assert(INCID.size() >= nl * ng && DELTA.size() >= col + nl && GAMMA.size() >= col + nl);
  assert(DELTOT.size() >= nl && GAMTOT.size() >= nl && GAMYR.size() >= static_cast<std::size_t>(K));

  // Integer sums do not depend on their order, so the incidence is walked
  // column by column (the order it is stored in) rather than location first.
  for (std::size_t g = 0; g < ng; ++g) {
    const std::int32_t* inc = INCID.data() + g * nl;
    for (std::size_t l = 0; l < nl; ++l) {
      DELTA[col + l] += inc[l];
      DELTOT[l] += inc[l];
      NDELTA += inc[l];
    }
  }
  for (std::size_t l = 0; l < nl; ++l) GAMMA[col + l] = DELTA[col + l] != 0 ? 1 : 0;
  for (std::size_t l = 0; l < nl; ++l) {
    GAMTOT[l] += GAMMA[col + l];
    GAMYR[K - 1] += GAMMA[col + l];
    NGAMMA += GAMMA[col + l];
  }
}

}  // namespace locprox
