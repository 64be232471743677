// The years of `locprox run --from YEAR --to YEAR`: a year is named by its
// name in the names file (1927), by its full name in STEM.names.csv when
// that file is beside it (2019/2020 season), or by its number written #N.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace locprox {

// A wrong year on the command line: the message says what is wrong.
class YearChoiceError : public std::runtime_error {
 public:
  explicit YearChoiceError(const std::string& message) : std::runtime_error(message) {}
};

struct YearNames {
  std::vector<std::string>
      names;  // by year number - 1: the names file's, blanks at the end dropped
  std::vector<std::string> full_names;  // by year number - 1, from STEM.names.csv; empty when none
};

// The full names of the years in `names_table` (kind,number,name,full_name),
// by year number; an empty list when the file is missing or not such a
// table. In the second case `problem` (when given) receives the message
// naming the file, the line and what is wrong.
std::vector<std::string> full_year_names(const std::string& names_table, std::size_t years,
                                         std::string* problem = nullptr);

// The number of the year `text` names; `option` (--from, --to) is for the
// message when it names none or several.
std::int32_t find_year(const std::string& text, const YearNames& years, const char* option);

}  // namespace locprox
