// Reads the proximity file as the summary sees it: the problem size, the
// options of the run, and the sums and counts of one year's group. The file
// carries no markers: the dimension record alone fixes how many records every
// group has, so the reader walks the whole file by those numbers and refuses
// any record whose shape does not match. The record layouts and the packed
// triangle are those of format/proximity_records.h, shared with the writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/measure.h"
#include "format/proximity_records.h"

namespace locprox::summary {

// The dimension record: MAXY, MAXL, MAXG, IYS, IYF, NYA, NTM.
struct Dimensions {
  std::int32_t maxy = 0;  // -1 when written as asterisks (not needed here)
  std::int32_t maxl = 0;
  std::int32_t maxg = 0;  // -1 when written as asterisks (not needed here)
  std::int32_t iys = 0;
  std::int32_t iyf = 0;
  std::int32_t nya = 0;
  std::int64_t ntm = 0;
};

// One year's group: PROX, NGPAIR and NYPAIR as they stood after that year, as
// packed upper triangles (see locprox::packed_index). A count written as
// asterisks has its `known` flag cleared and its value 0. The flag vectors are
// empty when every count of the year is known (read_proximity_history drops
// them then); ngpair_is_known and nypair_is_known answer in both cases.
struct YearGroup {
  std::int32_t year = 0;  // the year number IY
  std::string year_name;  // YEARNAME(IY), 8 characters as written
  std::vector<double> prox;
  std::vector<std::int32_t> ngpair;
  std::vector<std::int32_t> nypair;
  std::vector<std::uint8_t> ngpair_known;
  std::vector<std::uint8_t> nypair_known;

  bool ngpair_is_known(size_t p) const { return ngpair_known.empty() || ngpair_known[p] != 0; }
  bool nypair_is_known(size_t p) const { return nypair_known.empty() || nypair_known[p] != 0; }
};

struct ProximityFile {
  Dimensions dims;
  Measure options;  // the option record: the run's four letters as written
  YearGroup group;
  long unknown_counts = 0;  // asterisk fields among NGPAIR and NYPAIR of the group
};

// The whole file: every year's group, in the order of the years (IYS first).
// `years[k]` holds the running state after year IYS + k, so a year's own sums
// and counts are the difference of its group and the one before. Memory: a
// group takes 16 bytes per pair (PROX, NGPAIR, NYPAIR), plus 2 for the known
// flags only in a year that has a count written as asterisks; 600 locations
// over 30 years come to about 87 MB.
struct ProximityHistory {
  Dimensions dims;
  Measure options;  // the option record: the run's four letters as written
  std::vector<YearGroup> years;
  long unknown_counts = 0;  // asterisk fields among NGPAIR and NYPAIR of all groups
};

// The largest number of locations this reader takes: far above what the main
// program's work arrays allow, low enough that a corrupt dimension record
// cannot make it reserve gigabytes.
constexpr std::int32_t kMaxLocations = 5000;

// Reads the whole file at `path` and keeps the group of year number `year`,
// or the last group when `year` is empty. Throws RefusedRun when the file
// ends right after the dimension record or the option record (what a refused
// run leaves), and InputError naming the file and line for any record that
// does not have the shape the dimension record calls for, for a file that
// ends anywhere else, and for a year outside the file's sequence. When
// several records are faulty, the first in the file is reported. The year
// groups are read on `threads` threads (0: every hardware thread); the
// result is the same for any number.
ProximityFile read_proximity_file(const std::string& path, std::optional<std::int32_t> year,
                                  unsigned threads = 1);

// Reads the whole file at `path` and keeps every year's group. Same checks,
// messages and RefusedRun as read_proximity_file, `year` (when given) checked
// as there, `threads` as there.
ProximityHistory read_proximity_history(const std::string& path,
                                        std::optional<std::int32_t> year = std::nullopt,
                                        unsigned threads = 1);

// The group of year number `year` (the last when empty) out of a history, as
// read_proximity_file gives it: both known-flag vectors present, and
// unknown_counts the asterisk fields of that group alone. `year` must be one
// of the history's years.
ProximityFile proximity_file_of(const ProximityHistory& history,
                                std::optional<std::int32_t> year);

}  // namespace locprox::summary
