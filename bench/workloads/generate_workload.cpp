// Writes a deterministic benchmark job: JOB.NAQ, JOB.SEQ and one answers file
// per option set. The same arguments give the same bytes on every machine
// (a fixed 64-bit generator, integer arithmetic for the values).
//
//   generate_workload DIR JOB MAXY MAXL MAXG PERCENT_OBSERVED SEED
//   generate_workload DIR JOB network MAXY MAXL MAXG ACTIVE_L ACTIVE_G PERCENT_OBSERVED SEED
//
// The first form observes every location and entry in every year, each cell
// with the given chance. The second is shaped like a trial network: each year
// only ACTIVE_L locations and ACTIVE_G entries are active, and the given share
// of that cross is observed. Locations and entries come and go over the
// years: every year some of the active ones retire (drawn at random) and
// the same number of new ones join, so that by the last year each of the
// MAXL locations and MAXG entries has been active; retired ones do not
// return. No answers are written for it: the dialogue's work arrays do not
// hold such a job, which runs through the command line.
#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "splitmix64.h"

namespace {

FILE* open_or_die(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  return file;
}

void write_names(const std::string& dir, const std::string& job, int years, int locations,
                 int entries) {
  FILE* names = open_or_die(dir + "/" + job + ".NAQ");
  std::fprintf(names, "Benchmark %s: %d years, %d locations, %d entries\n", job.c_str(), years,
               locations, entries);
  std::fprintf(names, "%d %d %d\n", years, locations, entries);
  for (int y = 1; y <= years; ++y) std::fprintf(names, "%d\n", 1999 + y);
  for (int l = 1; l <= locations; ++l) std::fprintf(names, "L%d\n", l);
  for (int g = 1; g <= entries; ++g) std::fprintf(names, "G%d\n", g);
  std::fclose(names);
}

// The members of a population of `total` that are active in each of `years`
// years, `active` at a time: the first `active` join in the first year; in
// each later year as many retire (chosen at random among the active) as
// join, the newcomers taken in order, so that all `total` have joined by the
// last year. Ascending within each year.
std::vector<std::vector<int>> turnover(Generator& random, int years, int total, int active) {
  std::vector<std::vector<int>> by_year(static_cast<std::size_t>(years));
  std::vector<int> current;
  int joined = 0;
  for (int y = 1; y <= years; ++y) {
    // Members that have joined by the end of year y: active, then evenly up
    // to total by the last year.
    const long long target =
        years == 1 ? active
                   : active + static_cast<long long>(total - active) * (y - 1) / (years - 1);
    const int newcomers = static_cast<int>(target) - joined;
    if (y > 1) {
      for (int r = 0; r < newcomers && !current.empty(); ++r) {
        const std::size_t k = random.below(current.size());
        current[k] = current.back();
        current.pop_back();
      }
    }
    for (int n = 0; n < newcomers; ++n) current.push_back(++joined);
    std::vector<int> sorted = current;
    std::sort(sorted.begin(), sorted.end());
    by_year[static_cast<std::size_t>(y - 1)] = sorted;
  }
  return by_year;
}

// Writes year y's cells in no particular order within the year, each value
// its location's and entry's effects plus noise, in thousandths so that
// every value is written exactly.
void write_year(FILE* seq, Generator& random, std::vector<std::pair<int, int>>& cells, int y,
                const std::vector<std::int64_t>& location_effect,
                const std::vector<std::int64_t>& entry_effect) {
  for (std::size_t i = cells.size(); i > 1; --i) std::swap(cells[i - 1], cells[random.below(i)]);
  for (const auto& [l, g] : cells) {
    std::int64_t noise = static_cast<std::int64_t>(random.below(6001)) - 3000;
    std::int64_t value = 50000 + 1000 * y + location_effect[static_cast<std::size_t>(l - 1)] +
                         entry_effect[static_cast<std::size_t>(g - 1)] + noise;
    std::fprintf(seq, "%d %d %d %" PRId64 ".%03" PRId64 "\n", y, l, g, value / 1000,
                 value % 1000);
  }
}

int network_job(int argc, char** argv) {
  if (argc != 11) {
    std::fprintf(stderr,
                 "usage: %s DIR JOB network MAXY MAXL MAXG ACTIVE_L ACTIVE_G PERCENT_OBSERVED "
                 "SEED\n",
                 argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string job = argv[2];
  const int years = std::atoi(argv[4]);
  const int locations = std::atoi(argv[5]);
  const int entries = std::atoi(argv[6]);
  const int active_locations = std::atoi(argv[7]);
  const int active_entries = std::atoi(argv[8]);
  const int percent = std::atoi(argv[9]);
  Generator random{std::strtoull(argv[10], nullptr, 10)};
  if (years < 1 || active_locations < 1 || active_entries < 1 || active_locations > locations ||
      active_entries > entries) {
    std::fprintf(stderr, "%s: need 1 <= ACTIVE_L <= MAXL, 1 <= ACTIVE_G <= MAXG, MAXY >= 1\n",
                 argv[0]);
    return 2;
  }
  write_names(dir, job, years, locations, entries);

  std::vector<std::int64_t> location_effect(static_cast<std::size_t>(locations));
  std::vector<std::int64_t> entry_effect(static_cast<std::size_t>(entries));
  for (auto& e : location_effect) e = static_cast<std::int64_t>(random.below(20001)) - 10000;
  for (auto& e : entry_effect) e = static_cast<std::int64_t>(random.below(8001)) - 4000;
  const auto location_years = turnover(random, years, locations, active_locations);
  const auto entry_years = turnover(random, years, entries, active_entries);

  FILE* seq = open_or_die(dir + "/" + job + ".SEQ");
  std::vector<std::pair<int, int>> cells;
  for (int y = 1; y <= years; ++y) {
    cells.clear();
    for (int g : entry_years[static_cast<std::size_t>(y - 1)]) {
      for (int l : location_years[static_cast<std::size_t>(y - 1)]) {
        if (random.below(100) < static_cast<std::uint64_t>(percent)) cells.emplace_back(l, g);
      }
    }
    write_year(seq, random, cells, y, location_effect, entry_effect);
  }
  std::fclose(seq);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::string(argv[3]) == "network") return network_job(argc, argv);
  if (argc != 8) {
    std::fprintf(stderr, "usage: %s DIR JOB MAXY MAXL MAXG PERCENT_OBSERVED SEED\n", argv[0]);
    std::fprintf(stderr,
                 "       %s DIR JOB network MAXY MAXL MAXG ACTIVE_L ACTIVE_G PERCENT_OBSERVED "
                 "SEED\n",
                 argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string job = argv[2];
  const int years = std::atoi(argv[3]);
  const int locations = std::atoi(argv[4]);
  const int entries = std::atoi(argv[5]);
  const int percent = std::atoi(argv[6]);
  Generator random{std::strtoull(argv[7], nullptr, 10)};

  write_names(dir, job, years, locations, entries);

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
    write_year(seq, random, cells, y, location_effect, entry_effect);
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
