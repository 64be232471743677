// Replays the inputs kept for the table-import fuzz target
// (tests/fixtures/fuzz/table/: seed-* written by hand, corpus-* from the
// runs, crash-* for inputs that once failed it) through its entry function,
// built here without libFuzzer.
#include <gtest/gtest.h>

#include "../../fuzz/fuzz_table.h"
#include "support/fuzz_replay.h"

namespace locprox {
namespace {

TEST(TableFuzzInputs, HoldEveryCheck) {
  testing::replay_fuzz_inputs("table", fuzz::table_input);
}

}  // namespace
}  // namespace locprox
