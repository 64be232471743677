// Location centring and standardising: puts every location's values for the
// year on a common footing before locations are compared.
#pragma once

#include <cstdint>
#include <span>

namespace locprox {

// LOCCEN: centres every location's observed values on the location's mean for the
// year. The mean is taken over the observed cells only (INCID > 0); a location
// without observed cells and every unobserved cell are left as they are.
// YDATA and INCID are MAXL x MAXG, column-major with MAXL as leading dimension.
void centre_locations(std::span<float> YDATA, std::span<const std::int32_t> INCID,
                      std::int32_t MAXL, std::int32_t MAXG);

// LOCSTD: divides every location's observed values by the location's sample standard
// deviation (divisor N - 1), assuming YDATA has been centred by centre_locations. A
// location with fewer than two observed cells, or whose standard deviation is
// exactly 0 (all observed values equal, hence all 0.0 after centring), is left
// unchanged. Same array layout as centre_locations.
void standardise_locations(std::span<float> YDATA, std::span<const std::int32_t> INCID,
                           std::int32_t MAXL, std::int32_t MAXG);

}  // namespace locprox
