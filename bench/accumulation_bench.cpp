// One year's proximity accumulation on the largest problem the work arrays
// accept (450 locations, 640 entries, about 60% of the cells observed): the
// blocked, vectorised loops of SEDACC and CORACC against a plain loop that
// forms one pair's sums at a time, entry after entry. Both must give
// bit-identical results; main() checks that before anything is timed.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "analysis/location_scaling.h"
#include "analysis/natural_log.h"
#include "analysis/proximity_accumulation.h"

namespace {

constexpr std::int32_t kMaxl = 450;
constexpr std::int32_t kMaxg = 640;
constexpr std::int32_t kNtm = kMaxl * (kMaxl + 1) / 2;
constexpr char kWeight = 'W';
constexpr char kCortyp = 'Z';

struct Year {
  std::vector<float> ydata;
  std::vector<std::int32_t> incid;
};

// About 60% of the cells observed, values centred by location as the driver
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
  locprox::LOCCEN(y.ydata, y.incid, kMaxl, kMaxg);
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

inline float Y(const Year& y, int i, int g) {
  return y.ydata[(i - 1) + (g - 1) * kMaxl];
}
inline std::int32_t INC(const Year& y, int i, int g) {
  return y.incid[(i - 1) + (g - 1) * kMaxl];
}

// The squared Euclidean distance one pair at a time, exactly as defined.
void plain_sedacc(const Year& y, Sums& out, char weight) {
  for (int j = 2; j <= kMaxl; ++j) {
    for (int i = 1; i < j; ++i) {
      double s = 0.0;
      std::int32_t c = 0;
      for (int g = 1; g <= kMaxg; ++g) {
        const std::int32_t w = INC(y, i, g) * INC(y, j, g);
        if (w > 0) {
          const double d = static_cast<double>(Y(y, j, g)) - static_cast<double>(Y(y, i, g));
          s = s + w * (d * d);
          c = c + w;
        }
      }
      double v = 0.0;
      if (c != 0) v = weight == 'W' ? s : s / c;
      const int p = j * (j - 1) / 2 + i - 1;
      out.prox[p] = out.prox[p] + v;
      out.ngpair[p] += c;
      if (c != 0) out.nypair[p] += 1;
    }
  }
}

// The correlation one pair at a time, exactly as defined.
void plain_coracc(const Year& y, Sums& out, char weight, char cortyp) {
  const double threshold = static_cast<double>(1.0e-6f);
  for (int j = 1; j <= kMaxl; ++j) {
    for (int i = 1; i <= j; ++i) {
      double a = 0.0, b = 0.0, e = 0.0, v = 0.0;
      std::int32_t n = 0;
      for (int g = 1; g <= kMaxg; ++g) {
        const std::int32_t w = INC(y, i, g) * INC(y, j, g);
        const double yj = Y(y, j, g);
        const double yi = Y(y, i, g);
        n = n + w;
        a = a + (w * yj) * yi;
        b = b + w * (yj * yj);
        e = e + w * (yi * yi);
      }
      if (n > 0) {
        if (b == 0.0 || e == 0.0) continue;
        v = a / std::sqrt(b * e);
      }
      if (i != j && cortyp == 'Z') {
        n = n - 3;
        if (n <= 0) {
          v = 0.0;
          n = 0;
        } else if (1.0 - v < threshold) {
          v = 7.25;
        } else if (v + 1.0 < threshold) {
          v = -7.25;
        } else {
          v = locprox::natural_log((v + 1.0) / (1.0 - v)) * 0.5;
        }
      }
      if (n != 0 && weight == 'W') v = v * n;
      const int p = j * (j - 1) / 2 + i - 1;
      out.prox[p] = out.prox[p] + v;
      out.ngpair[p] += n;
      if (n > 0) out.nypair[p] += 1;
    }
  }
}

void fast_sedacc(const Year& y, Sums& out, char weight) {
  locprox::SEDACC(y.ydata, y.incid, out.prox, out.ngpair, out.nypair, kMaxl, kMaxg, kNtm, weight);
}

void fast_coracc(const Year& y, Sums& out, char weight, char cortyp) {
  locprox::CORACC(y.ydata, y.incid, out.prox, out.ngpair, out.nypair, kMaxl, kMaxg, kNtm, weight,
                  cortyp);
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
