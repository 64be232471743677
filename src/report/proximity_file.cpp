#include "report/proximity_file.h"

#include <cstddef>

#include "format/layout.h"
#include "format/proximity_records.h"
#include "format/record_writer.h"

namespace locprox {
namespace {

const Layout kProximityColumn{proximity_records::kProximityColumn};
const Layout kCountColumn{proximity_records::kCountColumn};

// Column J of a packed triangle: its J elements from packed_column_start(J).
template <class T>
std::span<const T> packed_column(std::span<const T> packed, std::int32_t J) {
  return packed.subspan(packed_column_start(J), static_cast<std::size_t>(J));
}

void write_count_block(OutputUnit& proximity, std::span<const std::int32_t> totals,
                       std::span<const std::int32_t> packed, std::int32_t MAXL) {
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    RecordWriter record(proximity, kCountColumn);
    record.put(totals[static_cast<std::size_t>(J - 1)]);
    record.put_all(packed_column(packed, J));
    record.finish();
  }
}

}  // namespace

void write_proximity_block(OutputUnit& proximity, std::span<const double> PROX, std::int32_t MAXL) {
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    RecordWriter record(proximity, kProximityColumn);
    record.put_all(packed_column(PROX, J));
    record.finish();
  }
}

void write_count_blocks(OutputUnit& proximity, std::span<const std::int32_t> NGPAIR,
                        std::span<const std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
                        std::span<const std::int32_t> NYLOC, std::span<const std::int32_t> KII,
                        std::span<const std::int32_t> KI, std::int32_t MAXL) {
  write_count_block(proximity, NGLOC, NGPAIR, MAXL);
  write_count_block(proximity, NYLOC, NYPAIR, MAXL);
  write_count_block(proximity, KI, KII, MAXL);
}

}  // namespace locprox
