// Measures for tests that call one accumulation directly, by the letters
// that matter to it: WEIGHT for both, CORTYP for correlations.
#pragma once

#include "format/measure.h"

namespace locprox::testing {

inline Measure distances_with(char WEIGHT) {
  return Measure{WEIGHT, 'S', 'C', '\0'};
}
inline Measure correlations_with(char WEIGHT, char CORTYP) {
  return Measure{WEIGHT, 'R', '\0', CORTYP};
}

}  // namespace locprox::testing
