// libFuzzer target: see names_table_input in fuzz_names_table.h.
#include <cstddef>
#include <cstdint>

#include "fuzz_names_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  locprox::fuzz::names_table_input(data, size);
  return 0;
}
