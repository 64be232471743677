// The run's reading of the observations file alone (src/input/year_reader.cpp):
// every year of a job shaped like W2 (300 years of 100 locations and 300
// entries, half of the cells observed, values with three decimals), read from
// memory into YDATA and INCID with the marks of what each year saw. Reports
// the time per line.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "format/input_unit.h"
#include "format/zeroed_block.h"
#include "input/year_reader.h"

namespace {

constexpr std::int32_t kYears = 300;
constexpr std::int32_t kLocations = 100;
constexpr std::int32_t kEntries = 300;

// The file's text: each year's observed cells in a shuffled order, as a
// field book gives them.
std::string job_text(std::int64_t& lines) {
  std::uint64_t state = 7;
  auto next = [&state] {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return static_cast<std::uint32_t>(state >> 33);
  };
  std::string text;
  std::vector<std::int32_t> cells(static_cast<std::size_t>(kLocations * kEntries));
  lines = 0;
  for (std::int32_t year = 1; year <= kYears; ++year) {
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = static_cast<std::int32_t>(i);
    for (std::size_t i = cells.size() - 1; i > 0; --i) std::swap(cells[i], cells[next() % (i + 1)]);
    for (std::size_t i = 0; i < cells.size() / 2; ++i) {
      const std::int32_t L = cells[i] % kLocations + 1;
      const std::int32_t G = cells[i] / kLocations + 1;
      char line[64];
      const std::uint32_t milli = 40000 + next() % 30000;
      std::snprintf(line, sizeof line, "%d %d %d %u.%03u\n", year, L, G, milli / 1000,
                    milli % 1000);
      text += line;
      ++lines;
    }
  }
  return text;
}

void read_every_year(benchmark::State& state) {
  std::int64_t lines = 0;
  const std::string text = job_text(lines);
  const std::size_t cells = static_cast<std::size_t>(kLocations) * kEntries;
  std::vector<float> YDATA(cells);
  std::vector<std::int32_t> INCID(cells), LOCSEEN(kLocations), ENTSEEN(kEntries);
  for (auto _ : state) {
    state.PauseTiming();
    locprox::ByteBuffer bytes(text.size() + 2 * locprox::InputUnit::kReadPadding);
    std::memset(bytes.data(), 0, bytes.size());
    std::memcpy(bytes.data() + locprox::InputUnit::kReadPadding, text.data(), text.size());
    locprox::InputUnit unit(9, "bench.SEQ");
    unit.adopt_bytes(std::move(bytes));
    state.ResumeTiming();
    locprox::ObservationFields fields;
    for (std::int32_t IY = 1; IY <= kYears; ++IY) {
      std::fill(YDATA.begin(), YDATA.end(), 0.0f);
      std::fill(INCID.begin(), INCID.end(), 0);
      locprox::YearReader reader(unit, fields, YDATA, INCID, LOCSEEN, ENTSEEN, IY, kLocations,
                                 kEntries, 1);
      while (reader.next().kind == locprox::YearNote::Kind::kDuplicate) {
      }
    }
    benchmark::DoNotOptimize(YDATA.data());
  }
  state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(read_every_year)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
