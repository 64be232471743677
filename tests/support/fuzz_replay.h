// Replays the kept inputs of a fuzz target (tests/fixtures/fuzz/<target>/:
// seeds, corpus and inputs that once made it fail) through its entry
// function, built here without libFuzzer: a broken check is a test failure.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_checks.h"

namespace locprox::testing {

using FuzzEntry = void (*)(const std::uint8_t*, std::size_t);

inline void replay_fuzz_inputs(const std::string& target, FuzzEntry entry) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (const auto& file : fs::directory_iterator(fs::path(LOCPROX_TEST_DATA) / "fuzz" / target))
    if (file.is_regular_file()) inputs.push_back(file.path());
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty()) << "no inputs for " << target;
  for (const fs::path& path : inputs) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
      entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const fuzz::FuzzFinding& finding) {
      ADD_FAILURE() << finding.what();
    }
  }
}

}  // namespace locprox::testing
