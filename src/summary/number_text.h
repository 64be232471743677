// Numbers as the CSV files give them: the shortest text that reads back as
// the same double, so nothing is lost between this program and R or pandas.
#pragma once

#include <string>

namespace locprox::summary {

std::string number_text(double value);

}  // namespace locprox::summary
