// The proximity accumulation written the plain way: one pair at a time, its
// entries in ascending order, each formula as it stands, no vectorising, no
// grouping of entries. It is built in place of proximity_accumulation.cpp
// when LOCPROX_PLAIN_LOOPS is on, and serves as the obviously-correct
// reference whose outputs the fast build must reproduce byte for byte
// (bench/run.sh keeps their checksums). The rules it shares with the fast
// file (a pair with all values 0.0 at one location sits the year out; the
// Fisher z cap on both sides) are documented in proximity_accumulation.h.
#include <cmath>
#include <cstddef>

#include "analysis/natural_log.h"
#include "analysis/proximity_accumulation.h"
#include "analysis/running_count.h"

namespace locprox {
namespace {

// The single-precision 1.0e-6 used as the Fisher z threshold, in double.
constexpr double kFisherThreshold = static_cast<double>(1.0e-6f);
constexpr double kFisherCap = 7.25;

// Element (l, g) of a MAXL x MAXG array stored column by column, 1-based.
std::size_t cell(std::int32_t l, std::int32_t g, std::int32_t MAXL) {
  return static_cast<std::size_t>(l - 1) +
         static_cast<std::size_t>(g - 1) * static_cast<std::size_t>(MAXL);
}

// Packed index of the pair (I, J), I <= J, 1-based, as a 0-based position.
std::size_t packed(std::int32_t I, std::int32_t J) {
  return static_cast<std::size_t>(J) * static_cast<std::size_t>(J - 1) / 2 +
         static_cast<std::size_t>(I - 1);
}

}  // namespace

void SEDACC(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
            std::span<double> PROX, std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::int32_t MAXL, std::int32_t MAXG, std::int32_t NTM, char WEIGHT) {
  ColumnQueue all(MAXL);
  SEDACC(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, NTM, WEIGHT, all);
}

// Column J holds the pairs I < J; columns are independent of each other.
void SEDACC(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
            std::span<double> PROX, std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::int32_t MAXL, std::int32_t MAXG, std::int32_t /*NTM*/, char WEIGHT,
            ColumnQueue& columns) {
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
      const std::size_t p = packed(I, J);
      PROX[p] = PROX[p] + v;
      NGPAIR[p] = add_to_running_count(NGPAIR[p], c);
      if (c != 0) NYPAIR[p] = NYPAIR[p] + 1;
    }
  }
}

void CORACC(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
            std::span<double> PROX, std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::int32_t MAXL, std::int32_t MAXG, std::int32_t NTM, char WEIGHT, char CORTYP) {
  ColumnQueue all(MAXL);
  CORACC(YDATA, INCID, PROX, NGPAIR, NYPAIR, MAXL, MAXG, NTM, WEIGHT, CORTYP, all);
}

// Column J holds the pairs I <= J; columns are independent of each other.
void CORACC(std::span<const float> YDATA, std::span<const std::int32_t> INCID,
            std::span<double> PROX, std::span<std::int32_t> NGPAIR, std::span<std::int32_t> NYPAIR,
            std::int32_t MAXL, std::int32_t MAXG, std::int32_t /*NTM*/, char WEIGHT, char CORTYP,
            ColumnQueue& columns) {
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
      const std::size_t p = packed(I, J);
      PROX[p] = PROX[p] + v;
      NGPAIR[p] = add_to_running_count(NGPAIR[p], n);
      if (n > 0) NYPAIR[p] = NYPAIR[p] + 1;
    }
  }
}

}  // namespace locprox
