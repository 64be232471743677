#include "job/problem_requirements.h"

#include <limits>

namespace locprox {
namespace {
constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
}  // namespace

std::int64_t saturating_add(std::int64_t a, std::int64_t b) {
  std::int64_t sum = 0;
  if (__builtin_add_overflow(a, b, &sum)) return b > 0 ? kMost : kLeast;
  return sum;
}

std::int64_t saturating_multiply(std::int64_t a, std::int64_t b) {
  std::int64_t product = 0;
  if (__builtin_mul_overflow(a, b, &product)) return (a < 0) == (b < 0) ? kMost : kLeast;
  return product;
}

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
  r.DZREQ = saturating_add(T, 1);
  r.ZREQ = saturating_add(LG, 1);
  std::int64_t mz = LG;
  mz = saturating_add(mz, saturating_multiply(2 * L, N));
  mz = saturating_add(mz, 5 * L);
  mz = saturating_add(mz, N);
  mz = saturating_add(mz, saturating_multiply(3, T));
  r.MZREQ = saturating_add(mz, 1);
  r.AZREQ = std::int64_t{MAXY} + L + G + 1;
  return r;
}

}  // namespace locprox
