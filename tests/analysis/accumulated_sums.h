// The running sums a test accumulates into (PROX, NGPAIR and NYPAIR of
// MAXL locations, all zero), and the check that two of them hold the same
// bits.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "format/proximity_records.h"

namespace locprox::testing {

struct Sums {
  explicit Sums(int maxl)
      : ntm(static_cast<int>(packed_size(maxl))), prox(ntm, 0.0), ngpair(ntm, 0), nypair(ntm, 0) {}
  int ntm;
  std::vector<double> prox;
  std::vector<std::int32_t> ngpair, nypair;
};

// PROX bit for bit (memcmp: -0.0 and +0.0 differ), NGPAIR and NYPAIR.
inline void expect_identical(const Sums& got, const Sums& want, const std::string& label) {
  ASSERT_EQ(std::memcmp(got.prox.data(), want.prox.data(), sizeof(double) * got.ntm), 0) << label;
  ASSERT_EQ(got.ngpair, want.ngpair) << label;
  ASSERT_EQ(got.nypair, want.nypair) << label;
}

}  // namespace locprox::testing
