// The numbers of the years. Locations and entries are numbered in the order
// in which their names first appear in the table; years too, unless every
// year name is a number (2019, 1995.5, -3): then in ascending numeric order,
// names of equal value in order of first appearance. The run reads a
// sequence of years from a first to a last year number, so numbering them by
// time is what makes `--from` and `--to` mean a span of time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locprox {

struct YearNumbering {
  bool numeric = false;                 // every year name is a number
  std::vector<std::uint32_t> number;    // by order of first appearance: the year number, from 1
  std::vector<std::uint32_t> in_order;  // by year number - 1: the order of first appearance
};

YearNumbering number_years(const std::vector<std::string>& names);

// Whether a year name reads as a number, and its value.
bool year_value(const std::string& name, double& value);

}  // namespace locprox
