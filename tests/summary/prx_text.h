// Builds the text of a proximity file for the tests, record by record, with
// the main program's field formatting and the record layouts it writes the
// file with (format/proximity_records.h): the dimension record, the option
// record, and per year a year record, the proximity block (a column of PROX
// per location) and three count blocks (a location's total, then its column
// of the triangle). Values are given as packed upper triangles, column by
// column, as the main program holds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locprox::summary::testing {

// A count field of the count columns: right-aligned, asterisks when too wide.
std::string count_field(std::int64_t value);
// A field of the proximity column: 0.dddddddd E+xx right-aligned ("E"
// dropped for a three-digit exponent).
std::string real_field(double value);

struct PrxGroup {
  std::int32_t year = 1;
  std::string name = "1995";
  std::vector<double> prox;          // NTM values
  std::vector<std::int64_t> ngpair;  // NTM values
  std::vector<std::int64_t> nypair;  // NTM values
  std::vector<std::int64_t> kii;     // NTM values; zeros when empty
};

struct PrxText {
  std::int32_t maxy = 1;
  std::int32_t maxl = 1;
  std::int32_t maxg = 5;
  std::int32_t iys = 1;
  std::int32_t iyf = 1;
  char weight = 'W';
  char prxtyp = 'C';
  char sedtyp = '\0';
  char cortyp = 'N';
  std::vector<PrxGroup> groups;

  // The whole file, records ended by `end` (CR LF by default).
  std::string text(const std::string& end = "\r\n") const;
};

}  // namespace locprox::summary::testing
