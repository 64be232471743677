// Replays the fuzz corpus and every input that once made a fuzz target fail
// (tests/fixtures/fuzz/<target>/) through the same entry functions, built
// here without libFuzzer, so that the ordinary test run keeps them fixed.
#include <gtest/gtest.h>

#include "../../fuzz/fuzz_entries.h"
#include "support/fuzz_replay.h"

namespace locprox::testing {
namespace {

TEST(FuzzRegressions, FreeFormNumbers) {
  replay_fuzz_inputs("free_form", fuzz::free_form_input);
}

TEST(FuzzRegressions, RecordsAndReadingByLayout) {
  replay_fuzz_inputs("records", fuzz::record_input);
}

TEST(FuzzRegressions, WholeRuns) {
  replay_fuzz_inputs("whole_run", fuzz::whole_run);
}

}  // namespace
}  // namespace locprox::testing
