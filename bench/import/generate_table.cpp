// Writes a deterministic tidy trial table of 1.5 million rows for the import
// benchmark: 15 years (2009 to 2023), 120 locations of which 80 are used each
// year and 2,375 entries of which 625 are tested each year (both sets move
// over the years, so that locations and entries come and go), every entry
// in two replicates at every location of its year, about 1 % of the plots
// missing (NA). Rows are in field-book order: year, location, replicate,
// entry. The same arguments give the same bytes on every machine.
//
//   generate_table FILE [SEED]
//
// Columns: year,site,genotype,rep,yield. The names are longer than the
// names file's 8 characters and share their first 8 (Station-001 ...,
// LINE-00001 ...), so that every one is cut and most need a ~N suffix.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "../workloads/splitmix64.h"

namespace {

constexpr int kYears = 15;
constexpr int kLocations = 120;
constexpr int kLocationsPerYear = 80;
constexpr int kEntries = 2375;  // 14 * 125 + 625: the window of the last year ends there
constexpr int kEntriesPerYear = 625;
constexpr int kReplicates = 2;

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s FILE [SEED]\n", argv[0]);
    return 2;
  }
  Generator random{argc == 3 ? std::strtoull(argv[2], nullptr, 10) : 3};
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  static char buffer[1 << 20];
  std::setvbuf(out, buffer, _IOFBF, sizeof buffer);

  // Fixed effects in hundredths of a tonne: entries and locations differ.
  int entry_effect[kEntries];
  int location_effect[kLocations];
  for (int& e : entry_effect) e = static_cast<int>(random.below(120)) - 60;
  for (int& l : location_effect) l = static_cast<int>(random.below(300)) - 150;

  std::fputs("year,site,genotype,rep,yield\n", out);
  for (int y = 0; y < kYears; ++y) {
    const int year_effect = static_cast<int>(random.below(100)) - 50;
    for (int k = 0; k < kLocationsPerYear; ++k) {
      const int l = (y * 3 + k) % kLocations;
      for (int r = 1; r <= kReplicates; ++r) {
        for (int j = 0; j < kEntriesPerYear; ++j) {
          const int g = y * 125 + j;
          std::fprintf(out, "%d,Station-%03d,LINE-%05d,%d,", 2009 + y, l + 1, g + 1, r);
          if (random.below(100) == 0) {
            std::fputs("NA\n", out);
            continue;
          }
          const int hundredths = 550 + year_effect + location_effect[l] + entry_effect[g] +
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
  return 0;
}
