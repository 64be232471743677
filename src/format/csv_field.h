// Fields of the CSV tables the import and the summary write (RFC 4180).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace locprox {

// A field of a CSV line, quoted when it holds a comma, a quote, a line end or
// blanks at either end (a quote inside doubled).
std::string csv_field(std::string_view text);

// Every one of `texts` as a field, made once for a table that repeats them
// row after row.
std::vector<std::string> csv_fields(const std::vector<std::string>& texts);

}  // namespace locprox
