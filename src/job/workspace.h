// The size of a problem and the work space of its run: the partitions of the
// work arrays, each named as the operations name it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "format/names.h"

namespace locprox {

// A problem whose work space has been found: every figure, NYA and NTM
// included, is within 32 bits.
struct ProblemSize {
  std::int32_t MAXY = 0;  // years in the data set
  std::int32_t MAXL = 0;  // locations in the data set
  std::int32_t MAXG = 0;  // entries in the data set
  std::int32_t IYS = 0;   // the sequence starts in this year
  std::int32_t IYF = 0;   // and finishes in this one
  std::int32_t NYA = 0;   // years in the sequence: IYF - IYS + 1
  std::int32_t NTM = 0;   // elements of a packed triangle over the locations
};

// The partitions. The MAXL x MAXG and MAXL x NYA matrices are stored column
// by column; the NTM-element ones are packed upper triangles
// (format/proximity_records.h).
struct Workspace {
  std::span<double> PROX;          // NTM: running proximity sums
  std::span<float> YDATA;          // MAXL x MAXG: the year's values
  std::span<std::int32_t> INCID;   // MAXL x MAXG: the year's incidence, 0 or 1
  std::span<std::int32_t> DELTA;   // MAXL x NYA: entries per location and year
  std::span<std::int32_t> DELTOT;  // MAXL: their totals per location
  std::span<std::int32_t> GAMMA;   // MAXL x NYA: 1 where a location was used in a year
  std::span<std::int32_t> GAMTOT;  // MAXL: their totals per location
  std::span<std::int32_t> GAMYR;   // NYA: their totals per year
  std::span<std::int32_t> NGPAIR;  // NTM: running count of entries in common
  std::span<std::int32_t> NYPAIR;  // NTM: running count of years in common
  std::span<std::int32_t> KII;     // NTM: 1 where a pair has been compared
  std::span<std::int32_t> NGLOC;   // MAXL: location totals of NGPAIR
  std::span<std::int32_t> NYLOC;   // MAXL: location totals of NYPAIR
  std::span<std::int32_t> KI;      // MAXL: location totals of KII
  std::span<Name> YEARNAME;        // MAXY
  std::span<Name> LOCNAME;         // MAXL
  std::span<Name> ENTNAME;         // MAXG
  // Every numeric partition holds zeros already (the work arrays came
  // zeroed from the system): the year loop does not clear them at its start.
  bool zeroed = false;
};

// How many elements of each work array the partitions of a problem take.
// (The requirements that the problem-size step reports are one more each.)
struct WorkspaceLengths {
  std::size_t DZ = 0;
  std::size_t Z = 0;
  std::size_t MZ = 0;
  std::size_t AZ = 0;
};
WorkspaceLengths workspace_lengths(const ProblemSize& size);

// Cuts the four work arrays into the partitions of the problem, one after
// another in each array from its start. Each array must hold at least its
// workspace_lengths (std::length_error otherwise); the contents are left as
// they are (the year loop clears what it uses).
Workspace partition_work_arrays(std::span<double> DZ, std::span<float> Z,
                                std::span<std::int32_t> MZ, std::span<Name> AZ,
                                const ProblemSize& size);

}  // namespace locprox
