// How a unit is named in error messages: "unit 20 (TRIAL.SEQ)", or
// "the console" for standard input and output.
#pragma once

#include <string>

namespace locprox {

constexpr int kConsoleUnit = 0;

inline std::string describe_unit(int unit, const std::string& name) {
  if (unit == kConsoleUnit) return "the console";
  return "unit " + std::to_string(unit) + " (" + name + ")";
}

}  // namespace locprox
