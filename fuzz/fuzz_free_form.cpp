// libFuzzer target: see free_form_input in fuzz_entries.h.
#include <cstddef>
#include <cstdint>

#include "fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  locprox::fuzz::free_form_input(data, size);
  return 0;
}
