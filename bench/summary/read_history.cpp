// Times the summary's reading of a proximity file alone: every year's group
// read into the history (read_proximity_history), on the threads given.
//   read_history FILE.PRX [THREADS [RUNS]]
// Prints, per run, the wall time and the processor time of the process over
// the read, and the groups and pairs read.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "summary/proximity_reader.h"

namespace {

double processor_seconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: read_history FILE.PRX [THREADS [RUNS]]\n");
    return 2;
  }
  const unsigned threads = argc > 2 ? static_cast<unsigned>(std::atoi(argv[2])) : 0;
  const int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  try {
    for (int run = 0; run < runs; ++run) {
      const auto start = std::chrono::steady_clock::now();
      const double cpu_start = processor_seconds();
      const locprox::summary::ProximityHistory history =
          locprox::summary::read_proximity_history(argv[1], std::nullopt, threads);
      const double cpu = processor_seconds() - cpu_start;
      const double wall =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("%zu groups of %lld pairs: %.3f s wall, %.3f s processor\n",
                  history.years.size(), static_cast<long long>(history.dims.ntm), wall, cpu);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 2;
  }
  return 0;
}
