// What a problem needs of the work arrays. Every figure is computed in
// saturating 64-bit arithmetic: the typed counts may be anything a 32-bit
// integer holds, and a requirement must never wrap into a small number that
// would pass the checks.
#pragma once

#include <cstdint>

namespace locprox {

struct ProblemRequirements {
  std::int64_t NYA;    // IYF - IYS + 1
  std::int64_t NTM;    // (MAXL + 1) * MAXL / 2
  std::int64_t DZREQ;  // NTM + 1
  std::int64_t ZREQ;   // L*G + 1
  std::int64_t MZREQ;  // L*G + 2*L*N + 5*L + N + 3*T + 1
  std::int64_t AZREQ;  // MAXY + L + G + 1
};

ProblemRequirements problem_requirements(std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG,
                                         std::int32_t IYS, std::int32_t IYF);

}  // namespace locprox
