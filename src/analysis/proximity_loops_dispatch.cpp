// The dispatch of the accumulation's inner loops: the AVX-512 loops for
// blocks of 16 pairs and more where the processor has AVX-512 (F and VL),
// the portable loops otherwise. The choice is made once, at load time, and
// may be narrowed to the portable loops (use_accumulation_loops) for the
// tests that compare the two and for measurements.
#include <atomic>

#include "analysis/proximity_accumulation.h"
#include "analysis/proximity_loops.h"

namespace locprox {
namespace proximity_loops {
namespace {

#if LOCPROX_AVX512
constexpr std::size_t kWideFrom = 16;  // pairs in a block from which AVX-512 pays
const bool kHaveAvx512 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("avx512vl") != 0;
}();
std::atomic<bool> use_avx512{kHaveAvx512};
#endif

}  // namespace

void sed_sums(const float* values, const std::int32_t* incidence, const ColumnEntries& entries,
              std::size_t i0, std::size_t len, double* s, std::int32_t* c) {
#if LOCPROX_AVX512
  if (len >= kWideFrom && use_avx512.load(std::memory_order_relaxed)) {
    sed_sums_avx512(values, incidence, entries, i0, len, s, c);
    return;
  }
#endif
  sed_sums_portable(values, incidence, entries, i0, len, s, c);
}

void cor_sums(const float* values, const std::int32_t* incidence, const ColumnEntries& entries,
              std::size_t i0, std::size_t len, double* a, double* b, double* e, std::int32_t* n) {
#if LOCPROX_AVX512
  if (len >= kWideFrom && use_avx512.load(std::memory_order_relaxed)) {
    cor_sums_avx512(values, incidence, entries, i0, len, a, b, e, n);
    return;
  }
#endif
  cor_sums_portable(values, incidence, entries, i0, len, a, b, e, n);
}

}  // namespace proximity_loops

void use_accumulation_loops(AccumulationLoops loops) {
#if LOCPROX_AVX512
  proximity_loops::use_avx512.store(
      loops == AccumulationLoops::kWidest && proximity_loops::kHaveAvx512,
      std::memory_order_relaxed);
#else
  (void)loops;
#endif
}

}  // namespace locprox
