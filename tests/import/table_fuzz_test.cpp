// Replays the inputs kept for the table-import fuzz target
// (tests/fixtures/fuzz/table/: seed-* written by hand, corpus-* from the
// runs, crash-* for inputs that once failed it) through its entry function,
// built here without libFuzzer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_table.h"

namespace locprox {
namespace {

namespace fs = std::filesystem;

TEST(TableFuzzInputs, HoldEveryCheck) {
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(fs::path(LOCPROX_TEST_DATA) / "fuzz" / "table"))
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty());
  for (const fs::path& path : inputs) {
    SCOPED_TRACE(path.filename().string());
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
      fuzz::table_input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    } catch (const fuzz::FuzzFinding& finding) {
      ADD_FAILURE() << finding.what();
    }
  }
}

}  // namespace
}  // namespace locprox
