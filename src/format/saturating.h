// Integer arithmetic held to the range of its type. A running count of
// entries in common can outgrow 32 bits only with billions of observations
// of one pair, and a problem-size requirement computed from typed counts can
// outgrow 64 bits; either then stops at the largest (or smallest) value
// instead of wrapping round to a plausible-looking small number. A count held
// at the 32-bit limit prints as asterisks in its field.
#pragma once

#include <concepts>
#include <limits>

namespace locprox {

template <std::signed_integral T>
constexpr T saturating_add(T a, T b) {
  T sum{};
  if (__builtin_add_overflow(a, b, &sum)) {
    return b > 0 ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
  }
  return sum;
}

template <std::signed_integral T>
constexpr T saturating_multiply(T a, T b) {
  T product{};
  if (__builtin_mul_overflow(a, b, &product)) {
    return (a < 0) == (b < 0) ? std::numeric_limits<T>::max() : std::numeric_limits<T>::min();
  }
  return product;
}

}  // namespace locprox
