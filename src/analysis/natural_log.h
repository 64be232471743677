// The natural logarithm used by the Fisher z transform, correctly rounded:
// for every positive finite x (subnormals included) natural_log(x) is the
// double nearest to ln x (ln x is never halfway between two doubles). The C
// library's log differs between libraries, versions and processors in the
// last bit of a few results; this one is computed with plain IEEE double
// operations in a fixed order and integer arithmetic, so it gives the same
// bits on every machine and build, and equals every correctly rounded log.
//
// Other arguments, as in the C library: natural_log(+0 or -0) = -inf,
// natural_log(+inf) = +inf, natural_log(x) is a quiet NaN for x < 0
// (-inf included) and for a NaN.
#pragma once

namespace locprox {

double natural_log(double x);

// The two phases of natural_log, for its tests. Both take a positive finite x.
namespace natural_log_phases {

// The first phase's estimate hi + lo of ln x: |hi + lo - ln x| <= 2^-67.1 |ln x|
// and |lo| <= 2^-16.7 |hi| (hi is not always the rounded sum).
struct DoubleDouble {
  double hi;
  double lo;
};
DoubleDouble fast_estimate(double x);

// The second phase (relative error below 2^-136 before rounding), used
// whatever the first phase could decide; decided tells that every value
// within 2^-130 (relative) of its estimate rounds to the same double.
struct Rounded {
  double value;
  bool decided;
};
Rounded accurate(double x);

}  // namespace natural_log_phases

}  // namespace locprox
