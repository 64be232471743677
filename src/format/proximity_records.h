// The proximity file's records, shared by the program that writes the file
// and every reader of it (the summary, the tests, the benchmarks): one place
// for the record layouts and for the packed upper triangle that the sums and
// counts are stored in.
//
// The file: the dimension record, the option record, then for every year of
// the sequence a year record, the proximity block (MAXL records, column J of
// PROX) and three count blocks (MAXL records each: a location's total, then
// column J of NGPAIR, NYPAIR and KII).
#pragma once

#include <cstddef>
#include <cstdint>

namespace locprox::proximity_records {

// MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM.
inline constexpr const char* kDimensionRecord = "10I6";
// WEIGHT, PRXTYP, SEDTYP, CORTYP; the option that was not asked is byte 0.
inline constexpr const char* kOptionRecord = "4(5X,A1)";
// The year number IY and its name.
inline constexpr const char* kYearRecord = "I6,4X,A8";
// Column J of PROX, ten values to a record.
inline constexpr const char* kProximityColumn = "10E16.8";
// A location's total, then column J of a count triangle, thirty to a record.
inline constexpr const char* kCountColumn = "30I6";

// Field widths and values per record of the two column layouts above, for
// readers that split records without building the layout.
inline constexpr int kProximityFieldWidth = 16;
inline constexpr int kProximityFieldsPerRecord = 10;
inline constexpr int kCountFieldWidth = 6;
inline constexpr int kCountFieldsPerRecord = 30;

}  // namespace locprox::proximity_records

namespace locprox {

// A symmetric matrix over the locations kept as its upper triangle, diagonal
// included, column by column: the pair (I, J), 1 <= I <= J, 1-based, is at
// 0-based position J(J-1)/2 + I - 1, and column J fills the J positions from
// packed_column_start(J). Computed in 64 bits, so no problem size wraps.
constexpr std::size_t packed_column_start(std::int64_t J) {
  return static_cast<std::size_t>(J * (J - 1) / 2);
}

constexpr std::size_t packed_index(std::int64_t I, std::int64_t J) {
  return packed_column_start(J) + static_cast<std::size_t>(I - 1);
}

// Number of elements of the packed triangle over MAXL locations: NTM.
constexpr std::size_t packed_size(std::int64_t MAXL) {
  return static_cast<std::size_t>(MAXL * (MAXL + 1) / 2);
}

}  // namespace locprox
