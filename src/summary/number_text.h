// Numbers as the CSV files give them.
#pragma once

#include <cstdint>
#include <string>

namespace locprox::summary {

// The shortest text that reads back as the same double, so nothing is lost
// between this program and R or pandas: for the sums, read from the file.
std::string number_text(double value);

// An average, to kAverageDigits significant digits (trailing zeros dropped,
// as %g). An average is a quotient of a sum that the file carries to 8
// significant digits, turned back through tanh for Fisher z; the last bit of
// tanh differs between C libraries, so a shortest round-trip text could
// differ from one machine to the next where this one does not.
inline constexpr int kAverageDigits = 9;
std::string average_text(double value);

// The same texts appended to `out`, with no string of their own: the large
// tables are made of these.
void append_number(std::string& out, double value);
void append_average(std::string& out, double value);
void append_integer(std::string& out, std::int64_t value);

}  // namespace locprox::summary
