// One year's proximity accumulation on the largest problem the work arrays
// accept (450 locations, 640 entries, about 60% of the cells observed): the
// blocked, vectorised loops of accumulate_distances and accumulate_correlations
// against the reference accumulation (tests/analysis/reference_accumulation.h),
// which forms one pair's sums at a time, entry after entry. Both must give
// bit-identical results; main() checks that before anything is timed.
//
// Then one year of a trial network (600 locations and 12,000 entries in the
// data set, 120 locations and 500 entries active in the year, half of that
// cross observed): the accumulation over the year's observed blocks
// (listing, gathering, centring and the kernel) against the accumulation
// over the whole arrays, and the kernel alone on its blocks. The counter
// "steps" is the number of pair-entry steps the kernel performs (for every
// column J of the block, its pairs times the entries observed at J), per
// second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <span>
#include <vector>

#include "analysis/location_scaling.h"
#include "analysis/measures.h"
#include "analysis/observed_blocks.h"
#include "analysis/proximity_accumulation.h"
#include "analysis/reference_accumulation.h"
#include "analysis/whole_arrays.h"
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
                                locprox::testing::distances_with(weight));
}

void fast_coracc(const Year& y, Sums& out, char weight, char cortyp) {
  locprox::accumulate_correlations(y.ydata, y.incid, out.prox, out.ngpair, out.nypair, kMaxl, kMaxg,
                                   locprox::testing::correlations_with(weight, cortyp));
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
// The kernel of the observed blocks on the same year, read as one block.
void BM_SEDACC_blocks(benchmark::State& state) {
  Sums sums;
  const locprox::ObservedBlock block{year().ydata, year().incid, {}, kMaxl, kMaxg};
  for (auto _ : state) {
    locprox::ColumnQueue columns(kMaxl);
    locprox::accumulate_distances(block, sums.prox, sums.ngpair, sums.nypair,
                                  locprox::testing::distances_with(kWeight), columns);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_CORACC_blocks(benchmark::State& state) {
  Sums sums;
  const locprox::ObservedBlock block{year().ydata, year().incid, {}, kMaxl, kMaxg};
  for (auto _ : state) {
    locprox::ColumnQueue columns(kMaxl);
    locprox::accumulate_correlations(block, sums.prox, sums.ngpair, sums.nypair,
                                     locprox::testing::correlations_with(kWeight, kCortyp),
                                     columns);
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

// ---- one year of a trial network ----

constexpr std::int32_t kNetL = 600;
constexpr std::int32_t kNetG = 12000;
constexpr std::int32_t kNetNtm = kNetL * (kNetL + 1) / 2;

struct NetworkSums {
  std::vector<double> prox = std::vector<double>(kNetNtm, 0.0);
  std::vector<std::int32_t> ngpair = std::vector<std::int32_t>(kNetNtm, 0);
  std::vector<std::int32_t> nypair = std::vector<std::int32_t>(kNetNtm, 0);
};

// 120 of the 600 locations and 500 of the 12,000 entries active, half of
// their cross observed; the whole arrays as the reader leaves them.
Year make_network_year() {
  Year y;
  const std::size_t cells = static_cast<std::size_t>(kNetL) * kNetG;
  y.ydata.assign(cells, 0.0f);
  y.incid.assign(cells, 0);
  std::mt19937 rng(600120);
  std::vector<int> locations(kNetL), entries(kNetG);
  for (int k = 0; k < kNetL; ++k) locations[k] = k;
  for (int k = 0; k < kNetG; ++k) entries[k] = k;
  std::shuffle(locations.begin(), locations.end(), rng);
  std::shuffle(entries.begin(), entries.end(), rng);
  std::bernoulli_distribution observed(0.5);
  std::normal_distribution<float> value(50.0f, 12.0f);
  for (int g = 0; g < 500; ++g) {
    for (int l = 0; l < 120; ++l) {
      if (!observed(rng)) continue;
      const std::size_t c = static_cast<std::size_t>(locations[l]) +
                            static_cast<std::size_t>(entries[g]) * kNetL;
      y.incid[c] = 1;
      y.ydata[c] = value(rng);
    }
  }
  return y;
}

const Year& network_year() {
  static const Year data = make_network_year();
  return data;
}

// The year centred over the whole arrays, for the accumulation over them.
const Year& network_year_centred() {
  static const Year data = [] {
    Year y = network_year();
    locprox::centre_locations(y.ydata, y.incid, kNetL, kNetG);
    return y;
  }();
  return data;
}

struct Gathered {
  std::vector<std::int32_t> locobs = std::vector<std::int32_t>(kNetL);
  std::vector<std::int32_t> entobs = std::vector<std::int32_t>(kNetG);
  std::vector<float> yobs;
  std::vector<std::int32_t> iobs;
  locprox::ObservedCounts counts;
  locprox::ObservedBlock block() const {
    return {yobs, iobs, std::span<const std::int32_t>(locobs).first(counts.observed_location_count),
            counts.observed_location_count, counts.observed_entry_count};
  }
};

// Lists, gathers and centres the observed part of the network year.
void gather(const Year& y, Gathered& out) {
  out.counts = locprox::find_observed(out.locobs, out.entobs, y.incid, kNetL, kNetG);
  const std::size_t cells = static_cast<std::size_t>(out.counts.observed_location_count) *
                            out.counts.observed_entry_count;
  out.yobs.resize(cells);
  out.iobs.resize(cells);
  locprox::gather_observed(out.yobs, out.iobs, y.ydata, y.incid, out.locobs, out.entobs, kNetL,
                           out.counts.observed_location_count, out.counts.observed_entry_count);
  locprox::centre_locations(out.yobs, out.iobs, out.counts.observed_location_count,
                            out.counts.observed_entry_count);
}

const Gathered& network_blocks() {
  static const Gathered data = [] {
    Gathered g;
    gather(network_year(), g);
    return g;
  }();
  return data;
}

// Pair-entry steps of the kernel on the block: for every column J, its
// pairs (I < J, or I <= J with the diagonal) times the entries observed at J.
double kernel_steps(const Gathered& g, bool diagonal) {
  double steps = 0;
  const std::size_t nl = static_cast<std::size_t>(g.counts.observed_location_count);
  for (std::size_t j = 0; j < nl; ++j) {
    double observed = 0;
    for (std::size_t m = 0; m < static_cast<std::size_t>(g.counts.observed_entry_count); ++m) {
      observed += g.iobs[j + m * nl];
    }
    steps += static_cast<double>(diagonal ? j + 1 : j) * observed;
  }
  return steps;
}

void network_distances(const Gathered& g, NetworkSums& sums) {
  locprox::ColumnQueue columns(g.counts.observed_location_count);
  locprox::accumulate_distances(g.block(), sums.prox, sums.ngpair, sums.nypair,
                                locprox::testing::distances_with(kWeight), columns);
}

void network_correlations(const Gathered& g, NetworkSums& sums) {
  locprox::ColumnQueue columns(g.counts.observed_location_count);
  locprox::accumulate_correlations(g.block(), sums.prox, sums.ngpair, sums.nypair,
                                   locprox::testing::correlations_with(kWeight, kCortyp), columns);
}

void BM_network_distances_observed_blocks(benchmark::State& state) {
  NetworkSums sums;
  Gathered g;
  for (auto _ : state) {
    gather(network_year(), g);
    network_distances(g, sums);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_network_distances_kernel_only(benchmark::State& state) {
  NetworkSums sums;
  for (auto _ : state) {
    network_distances(network_blocks(), sums);
    benchmark::DoNotOptimize(sums.prox.data());
  }
  state.counters["steps"] = benchmark::Counter(
      kernel_steps(network_blocks(), false) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
void BM_network_distances_whole_arrays(benchmark::State& state) {
  NetworkSums sums;
  const Year& y = network_year_centred();
  for (auto _ : state) {
    locprox::accumulate_distances(y.ydata, y.incid, sums.prox, sums.ngpair, sums.nypair, kNetL,
                                  kNetG, locprox::testing::distances_with(kWeight));
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_network_correlations_observed_blocks(benchmark::State& state) {
  NetworkSums sums;
  Gathered g;
  for (auto _ : state) {
    gather(network_year(), g);
    network_correlations(g, sums);
    benchmark::DoNotOptimize(sums.prox.data());
  }
}
void BM_network_correlations_kernel_only(benchmark::State& state) {
  NetworkSums sums;
  for (auto _ : state) {
    network_correlations(network_blocks(), sums);
    benchmark::DoNotOptimize(sums.prox.data());
  }
  state.counters["steps"] = benchmark::Counter(
      kernel_steps(network_blocks(), true) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
void BM_network_correlations_whole_arrays(benchmark::State& state) {
  NetworkSums sums;
  const Year& y = network_year_centred();
  for (auto _ : state) {
    locprox::accumulate_correlations(y.ydata, y.incid, sums.prox, sums.ngpair, sums.nypair, kNetL,
                                     kNetG, locprox::testing::correlations_with(kWeight, kCortyp));
    benchmark::DoNotOptimize(sums.prox.data());
  }
}

BENCHMARK(BM_SEDACC_fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SEDACC_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CORACC_fast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CORACC_plain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SEDACC_blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CORACC_blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_network_distances_observed_blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_network_distances_kernel_only)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_network_distances_whole_arrays)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_network_correlations_observed_blocks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_network_correlations_kernel_only)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_network_correlations_whole_arrays)->Unit(benchmark::kMillisecond);

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
  // The network year: observed blocks against the whole arrays.
  NetworkSums blocks_sed, whole_sed, blocks_cor, whole_cor;
  const Year& y = network_year_centred();
  network_distances(network_blocks(), blocks_sed);
  locprox::accumulate_distances(y.ydata, y.incid, whole_sed.prox, whole_sed.ngpair,
                                whole_sed.nypair, kNetL, kNetG,
                                locprox::testing::distances_with(kWeight));
  network_correlations(network_blocks(), blocks_cor);
  locprox::accumulate_correlations(y.ydata, y.incid, whole_cor.prox, whole_cor.ngpair,
                                   whole_cor.nypair, kNetL, kNetG,
                                   locprox::testing::correlations_with(kWeight, kCortyp));
  if (blocks_sed.prox != whole_sed.prox || blocks_sed.ngpair != whole_sed.ngpair ||
      blocks_sed.nypair != whole_sed.nypair || blocks_cor.prox != whole_cor.prox ||
      blocks_cor.ngpair != whole_cor.ngpair || blocks_cor.nypair != whole_cor.nypair) {
    std::fprintf(stderr, "observed blocks and whole arrays differ; nothing timed\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
