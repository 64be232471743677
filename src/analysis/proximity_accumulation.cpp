#include "analysis/proximity_accumulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <vector>

#include "analysis/natural_log.h"
#include "analysis/proximity_loops.h"
#include "format/proximity_records.h"
#include "format/saturating.h"

namespace locprox {

// Why the observed blocks give the same bits as the whole arrays
// ---------------------------------------------------------------
// The accumulation over everything visits every pair (I, J) and, for each,
// every entry g in ascending order, with the weight w = INCID(I,g)·INCID(J,g).
//
// An entry with w = 0 adds nothing to the pair. Its terms are w·(d·d),
// (w·yJ)·yI, w·(yJ·yJ) and w·(yI·yI): 0 times a finite number, a zero of one
// sign or the other (the values are finite: at most 1.0E+30 in magnitude as
// read, and centring and standardising keep them finite), and the count
// gains 0. The sums start at +0.0, and in round-to-nearest x + y is -0.0 only
// when x and y both are, so a sum is never -0.0; adding a zero of either sign
// to +0.0 or to a non-zero sum leaves it unchanged. So an entry that no
// location observed this year can be left out of every pair, and an entry
// that J did not observe can be left out of every pair of column J.
//
// A pair without entries in common (c = 0, n = 0) ends the year with the
// value 0.0 and the count 0 under every option: the distance is 0.0 when
// c = 0; the correlation is 0.0 when n = 0 and its variance test is not
// reached; under Fisher z the count drops to -3 and is then set to 0 with
// the value 0.0; weighting multiplies only when the count is not 0. PROX
// gains +0.0 (unchanged: PROX starts at +0.0 and so is never -0.0, by the
// same rule), NGPAIR gains 0 and NYPAIR gains nothing, as it grows only for
// a positive count. That holds on the diagonal too (a location without
// observations has n = 0 with itself). So pairs with a location that observed
// nothing this year can be left out.
//
// What is left is every pair of observed locations, each over the observed
// entries in ascending order, with the same operands (the gathered cells are
// copies; unobserved cells hold 0.0 and weigh 0) and the same operations in
// the same order as over everything. Centring and standardising per location
// work the same way over a location's observed entries only (their sums and
// counts also grow by w = 0 terms elsewhere), so they may run on the block.
//
namespace {

using proximity_loops::ColumnEntries;
using proximity_loops::cor_sums;
using proximity_loops::kBlock;
using proximity_loops::kTile;
using proximity_loops::sed_sums;

// The single-precision 1.0e-6 used as the Fisher z threshold, in double.
constexpr double kFisherThreshold = static_cast<double>(1.0e-6f);
constexpr double kFisherCap = 7.25;

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

// The location (0-based) of row k of the block.
inline std::size_t location_of(const ObservedBlock& block, std::size_t k) {
  return block.locations.empty() ? k : at(block.locations[k]);
}

// The entry lists of up to kTile consecutive columns, in storage owned by
// one thread. They are listed together, in one pass over the entries: the
// cells of consecutive columns of an entry share a cache line, where one
// column at a time would fetch a line per entry for every column.
class TileEntries {
 public:
  explicit TileEntries(std::size_t ng) : offsets_(kTile * ng), values_(kTile * ng) {
    for (std::size_t t = 0; t < kTile; ++t) {
      columns_[t].offset = offsets_.data() + t * ng;
      columns_[t].yj = values_.data() + t * ng;
    }
  }

  // Lists the entries of columns j0 .. j0 + width - 1 (0-based). Every
  // entry is written, and the list grows by one only where the column
  // observed it: whether it did is as good as random, and a branch on it
  // would be mispredicted half the time.
  void list(const float* values, const std::int32_t* incidence, std::size_t nl, std::size_t ng,
            std::size_t j0, std::size_t width) {
    std::size_t size[kTile] = {};
    for (std::size_t m = 0, col = j0; m < ng; ++m, col += nl) {
      for (std::size_t t = 0; t < width; ++t) {
        ColumnEntries& column = columns_[t];
        column.offset[size[t]] = col - j0;
        column.yj[size[t]] = static_cast<double>(values[col + t]);
        size[t] += incidence[col + t] != 0 ? 1 : 0;
      }
    }
    for (std::size_t t = 0; t < width; ++t) columns_[t].size = size[t];
  }

  const ColumnEntries& operator[](std::size_t t) const { return columns_[t]; }

 private:
  std::vector<std::size_t> offsets_;
  std::vector<double> values_;
  ColumnEntries columns_[kTile];
};

// The year's value of a pair from its correlation sums, and the count that
// goes with it; false when the pair contributes nothing this year.
bool correlation_value(double a, double b, double e, std::int32_t& n, bool diagonal, bool weighted,
                       bool fisher, double& v) {
  v = 0.0;
  if (n > 0) {
    // All values 0.0 at one location over the entries in common (one observed
    // entry, or all observed values equal, centres to 0.0): there is no
    // correlation, and the pair sits this year out.
    if (b == 0.0 || e == 0.0) return false;
    v = a / std::sqrt(b * e);
  }
  if (fisher && !diagonal) {
    n = n - 3;
    if (n <= 0) {
      v = 0.0;
      n = 0;
    } else {
      const double below_one = 1.0 - v;
      const double above_minus_one = v + 1.0;
      // Near +1 or -1 the transform runs off to infinity (and rounding can
      // push r past +-1, or to exactly +-1): it is capped at +-7.25 instead.
      if (below_one < kFisherThreshold) {
        v = kFisherCap;
      } else if (above_minus_one < kFisherThreshold) {
        v = -kFisherCap;
      } else {
        v = natural_log(above_minus_one / below_one) * 0.5;
      }
    }
  }
  if (n != 0 && weighted) v = v * static_cast<double>(n);
  return true;
}

void check_block([[maybe_unused]] const ObservedBlock& block,
                 [[maybe_unused]] std::size_t prox_size) {
  assert(block.observed_location_count >= 0 && block.observed_entry_count >= 0);
  assert(block.values.size() >= at(block.observed_location_count) * at(block.observed_entry_count));
  assert(block.incidence.size() >=
         at(block.observed_location_count) * at(block.observed_entry_count));
  assert(block.locations.empty() || block.locations.size() >= at(block.observed_location_count));
  assert(block.observed_location_count == 0 ||
         prox_size > packed_size(static_cast<std::int64_t>(
                                     location_of(block, at(block.observed_location_count) - 1)) +
                                 1) -
                         1);
}

// Hands the pairs of the columns taken from `columns` to `work`, a block
// of at most kBlock at a time: work(entries, j, i0, len, column) for the
// pairs (i0 + k, j), k < len, of block column j (0-based), whose observed
// entries are `entries` and whose packed column starts at `column`. The
// pairs are I < J, or I <= J with `diagonal`.
template <class Work>
void for_each_pair_block(const ObservedBlock& block, ColumnQueue& columns, bool diagonal,
                         Work&& work) {
  const std::size_t nl = at(block.observed_location_count);
  const std::size_t ng = at(block.observed_entry_count);
  if (nl == 0) return;
  TileEntries tile(ng);
  for (ColumnRange range; !(range = columns.take(kTile)).empty();) {
    const std::size_t j0 = at(range.first - 1);
    const std::size_t width = at(range.last - range.first + 1);
    tile.list(block.values.data(), block.incidence.data(), nl, ng, j0, width);
    for (std::size_t t = width; t-- > 0;) {
      const std::size_t j = j0 + t;
      const std::size_t column =
          packed_column_start(static_cast<std::int64_t>(location_of(block, j)) + 1);
      const std::size_t rows = diagonal ? j + 1 : j;
      for (std::size_t i0 = 0; i0 < rows; i0 += kBlock) {
        work(tile[t], j, i0, std::min(kBlock, rows - i0), column);
      }
    }
  }
}

}  // namespace

void accumulate_distances(const ObservedBlock& block, std::span<double> PROX,
                          std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                          const Measure& measure, ColumnQueue& columns) {
  check_block(block, std::min({PROX.size(), NGPAIR.size(), NYPAIR.size()}));
  const bool weighted = measure.weighted();
  double s[kBlock];
  std::int32_t c[kBlock];
  // Pairs I < J only: the diagonal is never touched.
  for_each_pair_block(block, columns, false,
                      [&](const ColumnEntries& entries, std::size_t, std::size_t i0,
                          std::size_t len, std::size_t column) {
                        sed_sums(block.values.data(), block.incidence.data(), entries, i0, len, s,
                                 c);
                        for (std::size_t k = 0; k < len; ++k) {
                          double v = 0.0;
                          if (c[k] != 0) v = weighted ? s[k] : s[k] / static_cast<double>(c[k]);
                          const std::size_t p = column + location_of(block, i0 + k);
                          PROX[p] = PROX[p] + v;
                          NGPAIR[p] = saturating_add(NGPAIR[p], c[k]);
                          if (c[k] != 0) NYPAIR[p] += 1;
                        }
                      });
}

void accumulate_correlations(const ObservedBlock& block, std::span<double> PROX,
                             std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                             const Measure& measure, ColumnQueue& columns) {
  check_block(block, std::min({PROX.size(), NGPAIR.size(), NYPAIR.size()}));
  const bool weighted = measure.weighted();
  const bool fisher = measure.fisher_z();
  double a[kBlock];
  double b[kBlock];
  double e[kBlock];
  std::int32_t n[kBlock];
  // Pairs I <= J, the diagonal included.
  for_each_pair_block(
      block, columns, true,
      [&](const ColumnEntries& entries, std::size_t j, std::size_t i0, std::size_t len,
          std::size_t column) {
        cor_sums(block.values.data(), block.incidence.data(), entries, i0, len, a, b, e, n);
        for (std::size_t k = 0; k < len; ++k) {
          const std::size_t i = i0 + k;
          std::int32_t count = n[k];
          double v;
          if (!correlation_value(a[k], b[k], e[k], count, i == j, weighted, fisher, v)) continue;
          const std::size_t p = column + location_of(block, i);
          PROX[p] = PROX[p] + v;
          NGPAIR[p] = saturating_add(NGPAIR[p], count);
          if (count > 0) NYPAIR[p] += 1;
        }
      });
}

void accumulate_proximities(const ObservedBlock& block, std::span<double> PROX,
                            std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                            const Measure& measure, ColumnQueue& columns) {
  switch (measure.kind()) {
    case MeasureKind::kCentredDistance:
    case MeasureKind::kStandardisedDistance:
      accumulate_distances(block, PROX, NGPAIR, NYPAIR, measure, columns);
      return;
    case MeasureKind::kPlainCorrelation:
    case MeasureKind::kFisherZCorrelation:
      accumulate_correlations(block, PROX, NGPAIR, NYPAIR, measure, columns);
      return;
  }
}

}  // namespace locprox
