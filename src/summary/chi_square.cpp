#include "summary/chi_square.h"

#include <cmath>
#include <limits>

namespace locprox::summary {

namespace {

constexpr double kEpsilon = 1e-16;
constexpr int kMaxTerms = 100000;

// x^a e^-x / Gamma(a), in logarithms so that neither factor overflows.
double prefactor(double a, double x) {
  return std::exp(a * std::log(x) - x - std::lgamma(a));
}

// The lower regularised gamma P(a, x) by its power series; converges fast
// for x < a + 1.
double lower_by_series(double a, double x) {
  double term = 1.0 / a;
  double sum = term;
  for (int n = 1; n < kMaxTerms; ++n) {
    term *= x / (a + n);
    sum += term;
    if (std::fabs(term) < std::fabs(sum) * kEpsilon) break;
  }
  return sum * prefactor(a, x);
}

// The upper regularised gamma Q(a, x) by its continued fraction (modified
// Lentz); converges fast for x >= a + 1 and keeps full relative precision
// however small Q is.
double upper_by_continued_fraction(double a, double x) {
  constexpr double tiny = std::numeric_limits<double>::min() / kEpsilon;
  double b = x + 1.0 - a;
  double c = 1.0 / tiny;
  double d = 1.0 / b;
  double h = d;
  for (int n = 1; n < kMaxTerms; ++n) {
    const double an = -n * (n - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < tiny) d = tiny;
    c = b + an / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    const double delta = d * c;
    h *= delta;
    if (std::fabs(delta - 1.0) < kEpsilon) break;
  }
  return prefactor(a, x) * h;
}

}  // namespace

double chi_square_upper_tail(double q, std::int64_t df) {
  const double a = static_cast<double>(df) / 2.0;
  const double x = q / 2.0;
  if (!(x > 0.0)) return 1.0;
  if (std::isinf(x)) return 0.0;
  if (x < a + 1.0) {
    const double lower = lower_by_series(a, x);
    return lower >= 1.0 ? 0.0 : 1.0 - lower;
  }
  return upper_by_continued_fraction(a, x);
}

}  // namespace locprox::summary
