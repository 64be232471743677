// The output fields of the proximity file: E16.8 of the running sums and I6
// of the counts, a record's stretch at a time as RecordWriter::put_all
// writes them. The values are like those the file holds in practice: sums
// of products from 1e-3 to 1e7, and counts of one to four digits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "format/fields.h"

namespace {

std::vector<double> typical_sums(std::size_t count) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::vector<double> values(count);
  for (double& v : values) {
    v = unit(random) * std::pow(10.0, static_cast<int>(random() % 11) - 3);
    if (random() % 4 == 0) v = -v;
  }
  return values;
}

void exponent_fields(benchmark::State& state) {
  const std::vector<double> values = typical_sums(static_cast<std::size_t>(state.range(0)));
  std::vector<char> text(values.size() * 16);
  for (auto _ : state) {
    for (std::size_t i = 0; i < values.size(); i += 10) {
      locprox::format_exponents(text.data() + i * 16, values.data() + i, 10, 16, 8);
    }
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
// 4,000 values stay in the first-level cache; 80,200 are one year's
// proximity block of the W1 job (400 locations).
BENCHMARK(exponent_fields)->Arg(4000)->Arg(80200);

// One field at a time, through the single-value entry point.
void exponent_field(benchmark::State& state) {
  const std::vector<double> values = typical_sums(static_cast<std::size_t>(state.range(0)));
  std::vector<char> text(values.size() * 16);
  for (auto _ : state) {
    char* out = text.data();
    for (double v : values) out = locprox::format_exponent(out, v, 16, 8);
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(exponent_field)->Arg(4000)->Arg(80200);

// Counts as the W1 job's proximity file holds them: a third of the rows
// pairs' entries in common (three and four digits), two thirds years and
// other small counts (mostly one digit, some 10).
void integer_fields(benchmark::State& state) {
  std::mt19937_64 random(4);
  std::vector<std::int32_t> values(3000);
  for (std::size_t row = 0; row < values.size(); row += 30) {
    const bool entries = row % 90 == 0;
    for (std::size_t i = row; i < row + 30; ++i) {
      values[i] = static_cast<std::int32_t>(entries ? 300 + random() % 3000
                                                    : random() % 10 + (random() % 20 == 0));
    }
  }
  std::vector<char> text(values.size() * 6);
  for (auto _ : state) {
    for (std::size_t i = 0; i < values.size(); i += 30) {
      locprox::format_integers(text.data() + i * 6, values.data() + i, 30, 6);
    }
    benchmark::DoNotOptimize(text.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(integer_fields);

}  // namespace

BENCHMARK_MAIN();
