// Names for the cases of parameterised suites, as ctest lists them: each
// case says in words what it tries, and those words become its test name.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace locprox::testing {

// The words that describe a case as a test name: every character other than
// an ASCII letter or digit becomes '_'.
inline std::string test_name(std::string_view words) {
  std::string name(words);
  for (char& c : name) {
    const bool letter_or_digit =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letter_or_digit) c = '_';
  }
  return name;
}

// The name generator of INSTANTIATE_TEST_SUITE_P for cases with a `name`.
struct NameOfCase {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return test_name(info.param.name);
  }
};

}  // namespace locprox::testing
