// Replays the fuzz corpus and every input that once made a fuzz target fail
// (tests/fixtures/fuzz/<target>/) through the same entry functions, built
// here without libFuzzer, so that the ordinary test run keeps them fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../../fuzz/fuzz_entries.h"

namespace locprox::testing {
namespace {

namespace fs = std::filesystem;
using Entry = void (*)(const std::uint8_t*, std::size_t);

std::vector<fs::path> inputs_of(const std::string& target) {
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(fs::path(LOCPROX_TEST_DATA) / "fuzz" / target))
    if (entry.is_regular_file()) inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

void replay(const std::string& target, Entry entry) {
  const std::vector<fs::path> inputs = inputs_of(target);
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

TEST(FuzzRegressions, FreeFormNumbers) {
  replay("free_form", fuzz::free_form_input);
}

TEST(FuzzRegressions, RecordsAndReadingByLayout) {
  replay("records", fuzz::record_input);
}

TEST(FuzzRegressions, WholeRuns) {
  replay("whole_run", fuzz::whole_run);
}

}  // namespace
}  // namespace locprox::testing
