#include "format/record_reader.h"

#include <algorithm>
#include <string_view>

#include "format/input_unit.h"

namespace locprox {

void read_characters(InputUnit& unit, std::span<char> field) {
  std::string_view record;
  if (!unit.next_record(record)) unit.fail_at_end();
  std::size_t taken = std::min(record.size(), field.size());
  std::copy_n(record.data(), taken, field.data());
  std::fill(field.begin() + static_cast<std::ptrdiff_t>(taken), field.end(), ' ');
}

}  // namespace locprox
