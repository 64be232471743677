// natural_log against the C library's log, over 4096 arguments at a time:
// the Fisher transform's arguments (1 + r) / (1 - r) for r uniform in
// (-1, 1), random positive normal doubles of every exponent, and arguments
// 1 + u with |u| < 2^-7 (where the reduction leaves the series alone). The
// results are summed so that no call can be left out; each call is
// independent of the others (throughput, as in the accumulation loops).
// The second phase alone (taken by about 1 argument in 5500) is timed on the
// Fisher arguments too.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/natural_log.h"

namespace {

constexpr int kArguments = 4096;

std::vector<double> fisher_arguments() {
  std::mt19937_64 random(1);
  std::uniform_real_distribution<double> correlation(-1.0, 1.0);
  std::vector<double> x(kArguments);
  for (double& v : x) {
    const double r = correlation(random);
    v = (r + 1.0) / (1.0 - r);
  }
  return x;
}

std::vector<double> random_arguments() {
  std::mt19937_64 random(2);
  std::uniform_int_distribution<std::uint64_t> bits(0x0010000000000000u, 0x7fefffffffffffffu);
  std::vector<double> x(kArguments);
  for (double& v : x) v = std::bit_cast<double>(bits(random));
  return x;
}

std::vector<double> arguments_near_one() {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> u(-0x1p-7, 0x1p-7);
  std::vector<double> x(kArguments);
  for (double& v : x) v = 1.0 + u(random);
  return x;
}

template <double (*Log)(double)>
void run(benchmark::State& state, const std::vector<double>& x) {
  for (auto _ : state) {
    double sum = 0.0;
    for (const double v : x) sum += Log(v);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(x.size()));
}

double c_library_log(double x) {
  return std::log(x);
}

double second_phase(double x) {
  return locprox::natural_log_phases::accurate(x).value;
}

void BM_natural_log_fisher(benchmark::State& state) {
  run<locprox::natural_log>(state, fisher_arguments());
}
void BM_c_library_log_fisher(benchmark::State& state) {
  run<c_library_log>(state, fisher_arguments());
}
void BM_natural_log_random(benchmark::State& state) {
  run<locprox::natural_log>(state, random_arguments());
}
void BM_c_library_log_random(benchmark::State& state) {
  run<c_library_log>(state, random_arguments());
}
void BM_natural_log_near_one(benchmark::State& state) {
  run<locprox::natural_log>(state, arguments_near_one());
}
void BM_c_library_log_near_one(benchmark::State& state) {
  run<c_library_log>(state, arguments_near_one());
}

void BM_second_phase_fisher(benchmark::State& state) {
  run<second_phase>(state, fisher_arguments());
}

BENCHMARK(BM_natural_log_fisher);
BENCHMARK(BM_c_library_log_fisher);
BENCHMARK(BM_natural_log_random);
BENCHMARK(BM_c_library_log_random);
BENCHMARK(BM_natural_log_near_one);
BENCHMARK(BM_c_library_log_near_one);
BENCHMARK(BM_second_phase_fisher);

}  // namespace

BENCHMARK_MAIN();
