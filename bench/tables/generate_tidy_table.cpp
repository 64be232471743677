// Writes a deterministic tidy trial table for the whole-program benchmark of
// `locprox analyse` (bench/run.sh --tables): one row per plot, columns
// year,location,entry,rep,value, rows in field-book order (year, location,
// replicate, entry).
//
//   generate_tidy_table FILE YEARS LOCATIONS ENTRIES ACTIVE_L ACTIVE_G REPLICATES
//                       PERCENT_OBSERVED SEED
//
// Each year ACTIVE_L of the LOCATIONS and ACTIVE_G of the ENTRIES are active:
// a window that slides over the years from the first names to the last, so
// that locations and entries come and go and every one is active in some
// year. A cell of the active cross is observed with the given chance, in
// every replicate; about 1 % of the observed plots have no value (NA).
// Values are two-decimal yields made of fixed location, entry and year
// effects and noise. The same arguments give the same bytes on every machine.
//
// Prints on standard output the pair-entry steps of the accumulation over
// all years: for each year and each active location J (the K-th in number
// order), K pairs (I, J) with I <= J times the entries observed at J. This
// is the arithmetic of the run, which bench/run.sh sets beside the kernel's
// measured rate.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "../workloads/splitmix64.h"

namespace {

// First active name of year y (0-based) of `years`, for a window of `active` of `all`.
int window_start(int y, int years, int all, int active) {
  if (years == 1) return 0;
  return static_cast<int>(static_cast<std::int64_t>(all - active) * y / (years - 1));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 10) {
    std::fprintf(stderr,
                 "usage: %s FILE YEARS LOCATIONS ENTRIES ACTIVE_L ACTIVE_G REPLICATES "
                 "PERCENT_OBSERVED SEED\n",
                 argv[0]);
    return 2;
  }
  const int years = std::atoi(argv[2]);
  const int locations = std::atoi(argv[3]);
  const int entries = std::atoi(argv[4]);
  const int active_locations = std::atoi(argv[5]);
  const int active_entries = std::atoi(argv[6]);
  const int replicates = std::atoi(argv[7]);
  const int percent = std::atoi(argv[8]);
  Generator random{std::strtoull(argv[9], nullptr, 10)};
  if (years < 1 || active_locations < 1 || active_entries < 1 || active_locations > locations ||
      active_entries > entries || replicates < 1 || percent < 1 || percent > 100) {
    std::fprintf(stderr, "%s: arguments out of range\n", argv[0]);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

  std::vector<int> entry_effect(static_cast<size_t>(entries));
  std::vector<int> location_effect(static_cast<size_t>(locations));
  for (int& e : entry_effect) e = static_cast<int>(random.below(120)) - 60;
  for (int& l : location_effect) l = static_cast<int>(random.below(300)) - 150;

  std::vector<std::uint8_t> observed(static_cast<size_t>(active_entries));
  std::uint64_t steps = 0;
  std::fputs("year,location,entry,rep,value\n", out);
  for (int y = 0; y < years; ++y) {
    const int year_effect = static_cast<int>(random.below(100)) - 50;
    const int first_location = window_start(y, years, locations, active_locations);
    const int first_entry = window_start(y, years, entries, active_entries);
    for (int k = 0; k < active_locations; ++k) {
      const int l = first_location + k;
      std::uint64_t observed_here = 0;
      for (auto& o : observed) {
        o = random.below(100) < static_cast<std::uint64_t>(percent);
        observed_here += o;
      }
      steps += static_cast<std::uint64_t>(k + 1) * observed_here;
      for (int r = 1; r <= replicates; ++r) {
        for (int j = 0; j < active_entries; ++j) {
          if (!observed[static_cast<size_t>(j)]) continue;
          const int g = first_entry + j;
          std::fprintf(out, "%d,Loc-%04d,Entry-%05d,%d,", 2001 + y, l + 1, g + 1, r);
          if (random.below(100) == 0) {
            std::fputs("NA\n", out);
            continue;
          }
          const int hundredths = 550 + year_effect + location_effect[static_cast<size_t>(l)] +
                                 entry_effect[static_cast<size_t>(g)] +
                                 static_cast<int>(random.below(81)) - 40;
          std::fprintf(out, "%d.%02d\n", hundredths / 100, hundredths % 100);
        }
      }
    }
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  std::printf("%llu\n", static_cast<unsigned long long>(steps));
  return 0;
}
