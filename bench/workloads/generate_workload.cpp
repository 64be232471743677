// Writes a deterministic benchmark job: JOB.NAQ, JOB.SEQ and one answers file
// per option set. The same arguments give the same bytes on every machine
// (a fixed 64-bit generator, integer arithmetic for the values).
//
//   generate_workload DIR JOB MAXY MAXL MAXG PERCENT_OBSERVED SEED
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and fully specified.
struct Generator {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n).
  std::uint64_t below(std::uint64_t n) { return next() % n; }
};

FILE* open_or_die(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  return file;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s DIR JOB MAXY MAXL MAXG PERCENT_OBSERVED SEED\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string job = argv[2];
  const int years = std::atoi(argv[3]);
  const int locations = std::atoi(argv[4]);
  const int entries = std::atoi(argv[5]);
  const int percent = std::atoi(argv[6]);
  Generator random{std::strtoull(argv[7], nullptr, 10)};

  FILE* names = open_or_die(dir + "/" + job + ".NAQ");
  std::fprintf(names, "Benchmark %s: %d years, %d locations, %d entries\n", job.c_str(), years,
               locations, entries);
  std::fprintf(names, "%d %d %d\n", years, locations, entries);
  for (int y = 1; y <= years; ++y) std::fprintf(names, "%d\n", 1999 + y);
  for (int l = 1; l <= locations; ++l) std::fprintf(names, "L%d\n", l);
  for (int g = 1; g <= entries; ++g) std::fprintf(names, "G%d\n", g);
  std::fclose(names);

  // Effects in thousandths, so that every value is written exactly.
  std::vector<std::int64_t> location_effect(static_cast<std::size_t>(locations));
  std::vector<std::int64_t> entry_effect(static_cast<std::size_t>(entries));
  for (auto& e : location_effect) e = static_cast<std::int64_t>(random.below(20001)) - 10000;
  for (auto& e : entry_effect) e = static_cast<std::int64_t>(random.below(8001)) - 4000;

  FILE* seq = open_or_die(dir + "/" + job + ".SEQ");
  std::vector<std::pair<int, int>> cells;
  for (int y = 1; y <= years; ++y) {
    cells.clear();
    for (int g = 1; g <= entries; ++g) {
      for (int l = 1; l <= locations; ++l) {
        if (random.below(100) < static_cast<std::uint64_t>(percent)) cells.emplace_back(l, g);
      }
    }
    // Entries and locations in no particular order within the year.
    for (std::size_t i = cells.size(); i > 1; --i) std::swap(cells[i - 1], cells[random.below(i)]);
    for (const auto& [l, g] : cells) {
      std::int64_t noise = static_cast<std::int64_t>(random.below(6001)) - 3000;
      std::int64_t value = 50000 + 1000 * y + location_effect[static_cast<std::size_t>(l - 1)] +
                           entry_effect[static_cast<std::size_t>(g - 1)] + noise;
      std::fprintf(seq, "%d %d %d %" PRId64 ".%03" PRId64 "\n", y, l, g, value / 1000,
                   value % 1000);
    }
  }
  std::fclose(seq);

  // The four option sets that matter for speed.
  const char* option_sets[4][2] = {{"sed-centred-weighted", "w\ns\nc\n"},
                                   {"sed-standardised-unweighted", "u\ns\ns\n"},
                                   {"cor-plain-weighted", "w\nr\nn\n"},
                                   {"cor-fisher-unweighted", "u\nr\nz\n"}};
  for (const auto& [name, options] : option_sets) {
    FILE* answers = open_or_die(dir + "/" + job + "." + name + ".answers");
    std::fprintf(answers, "y\n%s\n%d\n%d\n%d\n1\n%d\n%s", job.c_str(), years, locations, entries,
                 years, options);
    std::fclose(answers);
  }
  return 0;
}
