// One year's proximity accumulation on the largest problem the work arrays
// accept (450 locations, 640 entries, about 60% of the cells observed): the
// blocked, vectorised loops of accumulate_distances and accumulate_correlations
// against the reference accumulation (tests/analysis/reference_accumulation.h),
// which forms one pair's sums at a time, entry after entry. Both must give
// bit-identical results; main() checks that before anything is timed.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/location_scaling.h"
#include "analysis/proximity_accumulation.h"
#include "analysis/reference_accumulation.h"
#include "format/proximity_records.h"

namespace {

constexpr std::int32_t kMaxl = 450;
constexpr std::int32_t kMaxg = 640;
constexpr std::int32_t kNtm = static_cast<std::int32_t>(locprox::packed_size(kMaxl));
constexpr char kWeight = 'W';
constexpr char kCortyp = 'Z';

struct Year {
  std::vector<float> ydata;
  std::vector<std::int32_t> incid;
};

// About 60% of the cells observed, values centred by location as the year loop
// leaves them before the accumulation.
Year make_year() {
  Year y;
  const std::size_t cells = static_cast<std::size_t>(kMaxl) * kMaxg;
  y.ydata.assign(cells, 0.0f);
  y.incid.assign(cells, 0);
  std::mt19937 rng(450640);
  std::bernoulli_distribution observed(0.6);
  std::normal_distribution<float> value(50.0f, 12.0f);
  for (std::size_t c = 0; c < cells; ++c) {
    if (observed(rng)) {
      y.incid[c] = 1;
      y.ydata[c] = value(rng);
    }
  }
  locprox::centre_locations(y.ydata, y.incid, kMaxl, kMaxg);
  return y;
}

const Year& year() {
  static const Year data = make_year();
  return data;
}

struct Sums {
  std::vector<double> prox = std::vector<double>(kNtm, 0.0);
  std::vector<std::int32_t> ngpair = std::vector<std::int32_t>(kNtm, 0);
  std::vector<std::int32_t> nypair = std::vector<std::int32_t>(kNtm, 0);
};

// The reference accumulation, one pair at a time, exactly as defined.
void plain_sedacc(const Year& y, Sums& out, char weight) {
  locprox::reference::accumulate_distances(y.ydata, y.incid, out.prox, out.ngpair, out.nypair,
                                           kMaxl, kMaxg, weight);
}

void plain_coracc(const Year& y, Sums& out, char weight, char cortyp) {
  locprox::reference::accumulate_correlations(y.ydata, y.incid, out.prox, out.ngpair, out.nypair,
                                              kMaxl, kMaxg, weight, cortyp);
}

void fast_sedacc(const Year& y, Sums& out, char weight) {
  locprox::accumulate_distances(y.ydata, y.incid, out.prox, out.ngpair, out.nypair, kMaxl, kMaxg,
                                weight);
}

void fast_coracc(const Year& y, Sums& out, char weight, char cortyp) {
  locprox::accumulate_correlations(y.ydata, y.incid, out.prox, out.ngpair, out.nypair, kMaxl, kMaxg,
                                   weight, cortyp);
}

bool same(const Sums& x, const Sums& y) {
  return std::memcmp(x.prox.data(), y.prox.data(), sizeof(double) * kNtm) == 0 &&
         x.ngpair == y.ngpair && x.nypair == y.nypair;
}

void BM_SEDACC_fast(benchmark::State& state) {
  Sums sums;
  for (auto _ : state) {
    fast_sedacc(year(), sums, kWeight);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_SEDACC_plain(benchmark::State& state) {
  Sums sums;
  for (auto _ : state) {
    plain_sedacc(year(), sums, kWeight);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_CORACC_fast(benchmark::State& state) {
  Sums sums;
  for (auto _ : state) {
    fast_coracc(year(), sums, kWeight, kCortyp);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_CORACC_plain(benchmark::State& state) {
  Sums sums;
  for (auto _ : state) {
    plain_coracc(year(), sums, kWeight, kCortyp);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}

BENCHMARK(BM_SEDACC_fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SEDACC_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CORACC_fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CORACC_plain)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Two years into the same sums, so that the comparison covers adding to
  // non-zero totals as well.
  Sums fast_sed, plain_sed, fast_cor, plain_cor;
  for (int k = 0; k < 2; ++k) {
    fast_sedacc(year(), fast_sed, kWeight);
    plain_sedacc(year(), plain_sed, kWeight);
    fast_coracc(year(), fast_cor, kWeight, kCortyp);
    plain_coracc(year(), plain_cor, kWeight, kCortyp);
  }
  if (!same(fast_sed, plain_sed) || !same(fast_cor, plain_cor)) {
    std::fprintf(stderr, "fast and plain accumulation differ; nothing timed\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
