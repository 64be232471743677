// A small proximity file typed by hand in the exact layout, used by several
// tests: 3 locations, years 1 and 2, a weighted plain correlation run.
//
// After year 2:          PROX    NGPAIR  NYPAIR
//   (1,1) diagonal         9.0      9       2
//   (1,2)                  4.0      8       2     weighted average 4.0 / 8 = 0.5
//   (2,2) diagonal        11.0     11       2
//   (1,3)                  1.2      2       1     1.2 / 2 = 0.6, on 2 entries only
//   (2,3)                 -1.5      3       1     -1.5 / 3 = -0.5
//   (3,3) diagonal         8.0      8       2
// Year 1 differs: pair (1,3) was not yet compared and (1,2) had 2.4 on 4 entries.
#pragma once

#include <string>
#include <vector>

namespace locprox::summary::testing {

inline std::vector<std::string> example_records() {
  return {
      "     2     3     5     1     2     2     6",        // 1 dimension record
      std::string("     W     C     ") + '\0' + "     N",  // 2 options: SEDTYP not asked
      "     1    1995    ",                                // 3 year 1
      "  0.50000000E+01",                                  // 4 proximity, location 1
      "  0.24000000E+01  0.60000000E+01",                  // 5
      "  0.00000000E+00 -0.15000000E+01  0.40000000E+01",  // 6
      "     7     5",                                      // 7 NGLOC, NGPAIR
      "     4     4     6",                                // 8
      "     3     0     3     4",                          // 9
      "     1     1",                                      // 10 NYLOC, NYPAIR
      "     1     1     1",                                // 11
      "     1     0     1     1",                          // 12
      "     1     1",                                      // 13 KI, KII
      "     1     1     1",                                // 14
      "     1     0     1     1",                          // 15
      "     2    1996    ",                                // 16 year 2
      "  0.90000000E+01",                                  // 17
      "  0.40000000E+01  0.11000000E+02",                  // 18
      "  0.12000000E+01 -0.15000000E+01  0.80000000E+01",  // 19
      "    13     9",                                      // 20
      "     8     8    11",                                // 21
      "     5     2     3     8",                          // 22
      "     3     2",                                      // 23
      "     2     2     2",                                // 24
      "     2     1     1     2",                          // 25
      "     2     1",                                      // 26
      "     1     1     1",                                // 27
      "     2     1     1     1",                          // 28
  };
}

inline std::string join_records(const std::vector<std::string>& records,
                                const std::string& end = "\r\n") {
  std::string text;
  for (const std::string& r : records) text += r + end;
  return text;
}

inline std::string example_prx() {
  return join_records(example_records());
}

// The names file of the same job.
inline std::string example_naq() {
  return "Example job\r\n2, 3, 5\r\n1995\r\n1996\r\nNorth\r\nS, far\r\nEast\r\n"
         "G1\r\nG2\r\nG3\r\nG4\r\nG5\r\n";
}

}  // namespace locprox::summary::testing
