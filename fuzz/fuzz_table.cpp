// libFuzzer target: see table_input in fuzz_table.h.
#include <cstddef>
#include <cstdint>

#include "fuzz_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  locprox::fuzz::table_input(data, size);
  return 0;
}
