#include "job/problem_requirements.h"

#include "format/saturating.h"

namespace locprox {
namespace {

// Every figure in 64 bits, held at the limits instead of wrapping.
std::int64_t add(std::int64_t a, std::int64_t b) {
  return saturating_add(a, b);
}
std::int64_t multiply(std::int64_t a, std::int64_t b) {
  return saturating_multiply(a, b);
}

}  // namespace

ProblemRequirements problem_requirements(std::int32_t MAXY, std::int32_t MAXL, std::int32_t MAXG,
                                         std::int32_t IYS, std::int32_t IYF) {
  const std::int64_t L = MAXL;
  const std::int64_t G = MAXG;
  ProblemRequirements r{};
  r.NYA = std::int64_t{IYF} - IYS + 1;
  r.NTM = (L + 1) * L / 2;
  const std::int64_t N = r.NYA;
  const std::int64_t T = r.NTM;
  const std::int64_t LG = L * G;
  r.DZREQ = add(T, 1);
  r.ZREQ = add(LG, 1);
  std::int64_t mz = LG;
  mz = add(mz, multiply(2 * L, N));
  mz = add(mz, 5 * L);
  mz = add(mz, N);
  mz = add(mz, multiply(3, T));
  r.MZREQ = add(mz, 1);
  r.AZREQ = std::int64_t{MAXY} + L + G + 1;
  return r;
}

}  // namespace locprox
