// The upper tail of the chi-square distribution, P(X >= q) for X with `df`
// degrees of freedom: the regularised upper incomplete gamma function
// Q(df / 2, q / 2). Used for the p-value of Cochran's heterogeneity Q.
#pragma once

#include <cstdint>

namespace locprox::summary {

// `df` >= 1, `q` >= 0 (a negative q is taken as 0: the tail is 1). Accurate
// to about 1e-13 relative, down to the smallest positive doubles.
double chi_square_upper_tail(double q, std::int64_t df);

}  // namespace locprox::summary
