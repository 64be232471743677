// The one-pair-at-a-time accumulation (see reference_accumulation.h). The
// rules it shares with the shipped accumulation (a pair with all values 0.0
// at one location sits the year out; the Fisher z cap on both sides) are
// documented in analysis/proximity_accumulation.h.
#include "analysis/reference_accumulation.h"

#include <cmath>
#include <cstddef>

#include "analysis/natural_log.h"
#include "format/proximity_records.h"
#include "format/saturating.h"

namespace locprox::reference {
namespace {

// The single-precision 1.0e-6 used as the Fisher z threshold, in double.
constexpr double kFisherThreshold = static_cast<double>(1.0e-6f);
constexpr double kFisherCap = 7.25;

// Element (l, g) of a MAXL x MAXG array stored column by column, 1-based.
std::size_t cell(std::int32_t l, std::int32_t g, std::int32_t MAXL) {
  return static_cast<std::size_t>(l - 1) +
         static_cast<std::size_t>(g - 1) * static_cast<std::size_t>(MAXL);
}

// The location of row K (1-based) of the arrays: K itself when there is no
// list (the whole year), else the K-th location listed (0-based in the list).
std::int64_t location_of(std::span<const std::int32_t> locations, std::int32_t K) {
  return locations.empty() ? K : std::int64_t{locations[static_cast<std::size_t>(K - 1)]} + 1;
}

}  // namespace

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT) {
  ColumnQueue all(MAXL);
  reference::accumulate_distances(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, all);
}

void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT, ColumnQueue& columns) {
  accumulate_distances(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, columns, {});
}

void accumulate_distances(const ObservedBlock& block, std::span<double> PROX,
                          std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                          char WEIGHT, ColumnQueue& columns) {
  accumulate_distances(block.values, block.incidence, PROX, NGPAIR, NYPAIR,
                       block.observed_location_count, block.observed_entry_count, WEIGHT, columns,
                       block.locations);
}

// Column J holds the pairs I < J; columns are independent of each other.
void accumulate_distances(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                          std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                          std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                          char WEIGHT, ColumnQueue& columns,
                          std::span<const std::int32_t> locations) {
  for (std::int32_t J; (J = columns.take()) > 0;) {
    for (std::int32_t I = 1; I <= J - 1; ++I) {
      double s = 0.0;
      std::int32_t c = 0;
      for (std::int32_t g = 1; g <= MAXG; ++g) {
        const std::int32_t w = INCID[cell(I, g, MAXL)] * INCID[cell(J, g, MAXL)];
        if (w <= 0) continue;
        const double d = static_cast<double>(YDATA[cell(J, g, MAXL)]) -
                         static_cast<double>(YDATA[cell(I, g, MAXL)]);
        s = s + static_cast<double>(w) * (d * d);
        c = c + w;
      }
      double v = 0.0;
      if (c != 0) v = WEIGHT == 'W' ? s : s / static_cast<double>(c);
      const std::size_t p = packed_index(location_of(locations, I), location_of(locations, J));
      PROX[p] = PROX[p] + v;
      NGPAIR[p] = saturating_add(NGPAIR[p], c);
      if (c != 0) NYPAIR[p] = NYPAIR[p] + 1;
    }
  }
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP) {
  ColumnQueue all(MAXL);
  reference::accumulate_correlations(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, CORTYP,
                                     all);
}

void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP, ColumnQueue& columns) {
  accumulate_correlations(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, WEIGHT, CORTYP, columns,
                          {});
}

void accumulate_correlations(const ObservedBlock& block, std::span<double> PROX,
                             std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
                             char WEIGHT, char CORTYP, ColumnQueue& columns) {
  accumulate_correlations(block.values, block.incidence, PROX, NGPAIR, NYPAIR,
                          block.observed_location_count, block.observed_entry_count, WEIGHT, CORTYP,
                          columns, block.locations);
}

// Column J holds the pairs I <= J; columns are independent of each other.
void accumulate_correlations(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
                             std::span<double> PROX, std::span<std::int32_t> NGPAIR,
                             std::span<std::int32_t> NYPAIR, std::int32_t MAXL, std::int32_t MAXG,
                             char WEIGHT, char CORTYP, ColumnQueue& columns,
                             std::span<const std::int32_t> locations) {
  for (std::int32_t J; (J = columns.take()) > 0;) {
    for (std::int32_t I = 1; I <= J; ++I) {
      double a = 0.0;
      double b = 0.0;
      double e = 0.0;
      std::int32_t n = 0;
      double v = 0.0;
      for (std::int32_t g = 1; g <= MAXG; ++g) {
        const std::int32_t w = INCID[cell(I, g, MAXL)] * INCID[cell(J, g, MAXL)];
        if (w <= 0) continue;
        const double yj = static_cast<double>(YDATA[cell(J, g, MAXL)]);
        const double yi = static_cast<double>(YDATA[cell(I, g, MAXL)]);
        const double wd = static_cast<double>(w);
        n = n + w;
        a = a + (wd * yj) * yi;
        b = b + wd * (yj * yj);
        e = e + wd * (yi * yi);
      }
      if (n > 0) {
        // No correlation when one location's values are all 0.0 over the
        // entries in common: the pair sits this year out.
        if (b == 0.0 || e == 0.0) continue;
        v = a / std::sqrt(b * e);
      }
      if (I != J && CORTYP == 'Z') {
        n = n - 3;
        if (n <= 0) {
          v = 0.0;
          n = 0;
        } else {
          const double r = v;
          const double below_one = 1.0 - r;
          const double above_minus_one = r + 1.0;
          if (below_one < kFisherThreshold) {
            v = kFisherCap;
          } else if (above_minus_one < kFisherThreshold) {
            v = -kFisherCap;
          } else {
            v = natural_log(above_minus_one / below_one) * 0.5;
          }
        }
      }
      if (n != 0 && WEIGHT == 'W') v = v * static_cast<double>(n);
      const std::size_t p = packed_index(location_of(locations, I), location_of(locations, J));
      PROX[p] = PROX[p] + v;
      NGPAIR[p] = saturating_add(NGPAIR[p], n);
      if (n > 0) NYPAIR[p] = NYPAIR[p] + 1;
    }
  }
}

}  // namespace locprox::reference
