// The year loop's memory besides the work arrays: at least its gathered
// blocks (8 bytes a cell), the second pair of arrays a small problem reads
// into (8 bytes a cell) and its kept texts (40 bytes a pair), and a figure
// that saturates instead of wrapping for sizes beyond any machine.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "job/problem_requirements.h"
#include "job/run_sequence.h"

namespace locprox {
namespace {

TEST(YearLoopMemory, CoversTheBlocksAndTheKeptTexts) {
  struct Case {
    std::int32_t MAXY, MAXL, MAXG;
  } cases[] = {{3, 2, 2}, {10, 400, 600}, {30, 600, 12000}, {20, 5000, 1000000}};
  for (const Case& c : cases) {
    const ProblemRequirements need = problem_requirements(c.MAXY, c.MAXL, c.MAXG, 1, c.MAXY);
    const std::uint64_t cells = std::uint64_t(c.MAXL) * std::uint64_t(c.MAXG);
    const std::uint64_t pairs = std::uint64_t(c.MAXL) * std::uint64_t(c.MAXL + 1) / 2;
    // A problem of few cells (8 bytes a cell up to 16 MiB) reads its years
    // into a second YDATA and INCID as well.
    const std::uint64_t arrays = 8 * cells <= (std::uint64_t{16} << 20) ? 2 : 1;
    for (const unsigned threads : {1u, 2u, 64u}) {
      const std::uint64_t bytes = year_loop_memory(need, threads);
      EXPECT_GE(bytes, arrays * 8 * cells + 40 * pairs) << c.MAXL << " x " << c.MAXG;
      // Not wildly more: the blocks' rounding to whole huge pages (2 MiB
      // each at most); the rest grows with locations, entries and years,
      // and each thread's entry lists (8 columns of 16 bytes per entry).
      const std::uint64_t per_name = 2000 + 128 * std::uint64_t(threads + 1);
      const std::uint64_t rounding = arrays * 2 * (std::uint64_t{2} << 20);
      EXPECT_LE(bytes, arrays * 8 * cells + 40 * pairs + rounding +
                           per_name * std::uint64_t(c.MAXL + c.MAXG + c.MAXY))
          << c.MAXL << " x " << c.MAXG << ", " << threads << " threads";
    }
  }
  const std::int64_t top = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(year_loop_memory({top, top, top, top, top, top}, 2),
            std::numeric_limits<std::uint64_t>::max());
}

}  // namespace
}  // namespace locprox
