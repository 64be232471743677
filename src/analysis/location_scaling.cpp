#include "analysis/location_scaling.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace locprox {

namespace {

// Locations are handled in blocks of this many, with one accumulator per
// location on the stack, so that both arrays are walked in storage order
// (entry by entry, the locations of an entry contiguous). Every location's sum
// still grows one entry after another in ascending entry order.
constexpr std::size_t kBlock = 256;

// All bits when `yes`, none otherwise.
inline std::uint32_t mask_of(bool yes) {
  return yes ? ~std::uint32_t{0} : 0;
}

// `a` where `mask` has its bits, else `b`: a select without a branch, so
// that the update loops are vectorised (which cells are observed is random).
inline float select(std::uint32_t mask, float a, float b) {
  return std::bit_cast<float>((std::bit_cast<std::uint32_t>(a) & mask) |
                              (std::bit_cast<std::uint32_t>(b) & ~mask));
}

struct Shape {
  std::size_t nl;  // MAXL, the leading dimension
  std::size_t ng;  // MAXG

  // Locations first .. first + count - 1 (0-based) as the rows [lo, hi),
  // cut to the array.
  std::pair<std::size_t, std::size_t> rows(std::int32_t first, std::int32_t count) const {
    const std::size_t lo = std::min(nl, static_cast<std::size_t>(std::max(first, 0)));
    return {lo, std::min(nl, lo + static_cast<std::size_t>(std::max(count, 0)))};
  }
};

Shape shape_of(std::size_t ydata_size, std::size_t incid_size, std::int32_t MAXL,
               std::int32_t MAXG) {
  if (MAXL <= 0 || MAXG <= 0) return {0, 0};
  const Shape s{static_cast<std::size_t>(MAXL), static_cast<std::size_t>(MAXG)};
  assert(ydata_size >= s.nl * s.ng && incid_size >= s.nl * s.ng);
  (void)ydata_size;
  (void)incid_size;
  return s;
}

}  // namespace

void centre_locations(std::span<float> YDATA, std::span<const std::int32_t> INCID,
                      std::int32_t MAXL, std::int32_t MAXG) {
  centre_locations(YDATA, INCID, MAXL, MAXG, 0, MAXL);
}

void centre_locations(std::span<float> YDATA, std::span<const std::int32_t> INCID,
                      std::int32_t MAXL, std::int32_t MAXG, std::int32_t first,
                      std::int32_t count_of_locations) {
  const Shape sh = shape_of(YDATA.size(), INCID.size(), MAXL, MAXG);
  const auto [lo, hi] = sh.rows(first, count_of_locations);
  double sum[kBlock];
  double count[kBlock];
  double mean[kBlock];
  std::uint32_t observed[kBlock];
  for (std::size_t i0 = lo; i0 < hi; i0 += kBlock) {
    const std::size_t len = std::min(kBlock, hi - i0);
    std::fill_n(sum, len, 0.0);
    std::fill_n(count, len, 0.0);
    for (std::size_t g = 0; g < sh.ng; ++g) {
      const float* y = YDATA.data() + g * sh.nl + i0;
      const std::int32_t* inc = INCID.data() + g * sh.nl + i0;
      for (std::size_t k = 0; k < len; ++k) {
        const double w = static_cast<double>(inc[k]);
        sum[k] = sum[k] + w * static_cast<double>(y[k]);
        count[k] = count[k] + w;
      }
    }
    for (std::size_t k = 0; k < len; ++k) {
      observed[k] = mask_of(count[k] >= 1.0);
      mean[k] = count[k] >= 1.0 ? sum[k] / count[k] : 0.0;
    }
    for (std::size_t g = 0; g < sh.ng; ++g) {
      float* y = YDATA.data() + g * sh.nl + i0;
      const std::int32_t* inc = INCID.data() + g * sh.nl + i0;
      // Every cell's new value is formed and the observed ones take it.
      for (std::size_t k = 0; k < len; ++k) {
        const float centred = static_cast<float>(static_cast<double>(y[k]) - mean[k]);
        y[k] = select(mask_of(inc[k] > 0) & observed[k], centred, y[k]);
      }
    }
  }
}

void standardise_locations(std::span<float> YDATA, std::span<const std::int32_t> INCID,
                           std::int32_t MAXL, std::int32_t MAXG) {
  standardise_locations(YDATA, INCID, MAXL, MAXG, 0, MAXL);
}

void standardise_locations(std::span<float> YDATA, std::span<const std::int32_t> INCID,
                           std::int32_t MAXL, std::int32_t MAXG, std::int32_t first,
                           std::int32_t count_of_locations) {
  const Shape sh = shape_of(YDATA.size(), INCID.size(), MAXL, MAXG);
  const auto [lo, hi] = sh.rows(first, count_of_locations);
  double squares[kBlock];
  std::int32_t count[kBlock];
  double sd[kBlock];
  std::uint32_t scaled[kBlock];
  for (std::size_t i0 = lo; i0 < hi; i0 += kBlock) {
    const std::size_t len = std::min(kBlock, hi - i0);
    std::fill_n(squares, len, 0.0);
    std::fill_n(count, len, 0);
    for (std::size_t g = 0; g < sh.ng; ++g) {
      const float* y = YDATA.data() + g * sh.nl + i0;
      const std::int32_t* inc = INCID.data() + g * sh.nl + i0;
      for (std::size_t k = 0; k < len; ++k) {
        const double v = static_cast<double>(y[k]);
        squares[k] = squares[k] + static_cast<double>(inc[k]) * (v * v);
        count[k] = count[k] + inc[k];
      }
    }
    for (std::size_t k = 0; k < len; ++k) {
      // With fewer than two values there is no standard deviation. A standard
      // deviation of exactly 0 means the centred values are all 0.0; dividing
      // would turn them into NaN, so the location is left as it is.
      sd[k] = count[k] >= 2 ? std::sqrt(squares[k] / static_cast<double>(count[k] - 1)) : 0.0;
      scaled[k] = mask_of(count[k] >= 2 && sd[k] != 0.0);
    }
    for (std::size_t g = 0; g < sh.ng; ++g) {
      float* y = YDATA.data() + g * sh.nl + i0;
      const std::int32_t* inc = INCID.data() + g * sh.nl + i0;
      for (std::size_t k = 0; k < len; ++k) {
        const float standardised = static_cast<float>(static_cast<double>(y[k]) / sd[k]);
        y[k] = select(mask_of(inc[k] > 0) & scaled[k], standardised, y[k]);
      }
    }
  }
}

}  // namespace locprox
