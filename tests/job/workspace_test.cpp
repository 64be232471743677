// Cutting work arrays into a problem's partitions: the lengths, the order in
// each array, and arrays that are too small.
#include "job/workspace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "job/problem_requirements.h"
#include "job/work_arrays.h"

namespace locprox {
namespace {

// The worked example: 3 years, 4 locations, 5 entries, years 1 to 3.
const ProblemSize kExample{3, 4, 5, 1, 3, 3, 10};

TEST(Workspace, LengthsAreTheRequirementsLessOne) {
  for (const ProblemSize& size :
       {kExample, ProblemSize{1, 706, 1, 1, 1, 1, 249571},
        ProblemSize{300, 100, 300, 1, 300, 300, 5050}, ProblemSize{0, 0, 0, 1, 0, 0, 0}}) {
    const ProblemRequirements need =
        problem_requirements(size.MAXY, size.MAXL, size.MAXG, size.IYS, size.IYF);
    const WorkspaceLengths lengths = workspace_lengths(size);
    EXPECT_EQ(static_cast<std::int64_t>(lengths.DZ), need.DZREQ - 1);
    EXPECT_EQ(static_cast<std::int64_t>(lengths.Z), need.ZREQ - 1);
    EXPECT_EQ(static_cast<std::int64_t>(lengths.MZ), need.MZREQ - 1);
    EXPECT_EQ(static_cast<std::int64_t>(lengths.AZ), need.AZREQ - 1);
  }
}

TEST(Workspace, PartitionsFollowOneAnotherInEachArray) {
  std::vector<double> DZ(20);
  std::vector<float> Z(20);
  std::vector<std::int32_t> MZ(100);
  std::vector<Name> AZ(12);
  const Workspace w = partition_work_arrays(DZ, Z, MZ, AZ, kExample);
  struct Part {
    const char* name;
    const void* start;
    std::size_t size;
    const void* expected_start;
    std::size_t expected_size;
  } parts[] = {
      // L 4, G 5, N 3, T 10, Y 3.
      {"PROX", w.PROX.data(), w.PROX.size(), &DZ[0], 10},
      {"YDATA", w.YDATA.data(), w.YDATA.size(), &Z[0], 20},
      {"INCID", w.INCID.data(), w.INCID.size(), &MZ[0], 20},
      {"DELTA", w.DELTA.data(), w.DELTA.size(), &MZ[20], 12},
      {"DELTOT", w.DELTOT.data(), w.DELTOT.size(), &MZ[32], 4},
      {"GAMMA", w.GAMMA.data(), w.GAMMA.size(), &MZ[36], 12},
      {"GAMTOT", w.GAMTOT.data(), w.GAMTOT.size(), &MZ[48], 4},
      {"GAMYR", w.GAMYR.data(), w.GAMYR.size(), &MZ[52], 3},
      {"NGPAIR", w.NGPAIR.data(), w.NGPAIR.size(), &MZ[55], 10},
      {"NYPAIR", w.NYPAIR.data(), w.NYPAIR.size(), &MZ[65], 10},
      {"KII", w.KII.data(), w.KII.size(), &MZ[75], 10},
      {"NGLOC", w.NGLOC.data(), w.NGLOC.size(), &MZ[85], 4},
      {"NYLOC", w.NYLOC.data(), w.NYLOC.size(), &MZ[89], 4},
      {"KI", w.KI.data(), w.KI.size(), &MZ[93], 4},
      {"YEARNAME", w.YEARNAME.data(), w.YEARNAME.size(), &AZ[0], 3},
      {"LOCNAME", w.LOCNAME.data(), w.LOCNAME.size(), &AZ[3], 4},
      {"ENTNAME", w.ENTNAME.data(), w.ENTNAME.size(), &AZ[7], 5},
  };
  for (const Part& p : parts) {
    EXPECT_EQ(p.start, p.expected_start) << p.name;
    EXPECT_EQ(p.size, p.expected_size) << p.name;
  }
}

TEST(Workspace, ArraysTooSmallAreRefused) {
  std::vector<double> DZ(10);
  std::vector<float> Z(20);
  std::vector<std::int32_t> MZ(97);
  std::vector<Name> AZ(12);
  EXPECT_NO_THROW(partition_work_arrays(DZ, Z, MZ, AZ, kExample));
  std::vector<std::int32_t> short_MZ(96);
  EXPECT_THROW(partition_work_arrays(DZ, Z, short_MZ, AZ, kExample), std::length_error);
  std::vector<Name> short_AZ(11);
  EXPECT_THROW(partition_work_arrays(DZ, Z, MZ, short_AZ, kExample), std::length_error);
}

// The dialogue's work arrays: the first views say that DZ, Z and MZ hold
// zeros (so nothing clears them) and they do, at their full capacities; any
// later views may see an earlier run's values and must not say so.
TEST(WorkArrays, OnlyTheFirstViewsAreZeroed) {
  WorkArrays work;
  const WorkArrayViews first = work.views();
  EXPECT_TRUE(first.zeroed);
  EXPECT_EQ(first.DZ.size(), static_cast<std::size_t>(DZDIM));
  EXPECT_EQ(first.Z.size(), static_cast<std::size_t>(ZDIM));
  EXPECT_EQ(first.MZ.size(), static_cast<std::size_t>(MZDIM));
  EXPECT_EQ(first.AZ.size(), static_cast<std::size_t>(AZDIM));
  std::size_t nonzero = 0;
  for (double e : first.DZ) nonzero += e != 0.0;
  for (float e : first.Z) nonzero += e != 0.0f;
  for (std::int32_t e : first.MZ) nonzero += e != 0;
  EXPECT_EQ(nonzero, 0u);
  first.DZ.back() = 1.0;
  first.Z.front() = 2.0f;
  first.MZ[MZDIM / 2] = 3;
  const WorkArrayViews second = work.views();
  EXPECT_FALSE(second.zeroed);
  EXPECT_EQ(second.DZ.data(), first.DZ.data());
  EXPECT_EQ(second.MZ[MZDIM / 2], 3);
  EXPECT_FALSE(work.views().zeroed);
}

}  // namespace
}  // namespace locprox
