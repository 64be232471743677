#include "report/proximity_file.h"

#include <cstddef>

#include "format/layout.h"
#include "format/record_writer.h"

namespace locprox {
namespace {

// One column of the packed upper triangle of the proximity sums per
// location, ten values to a record.
const Layout kProximityColumn{"10E16.8"};
// A location's total followed by its column of a packed count triangle,
// thirty values to a record.
const Layout kCountColumn{"30I6"};

std::size_t at(std::int32_t index) {
  return static_cast<std::size_t>(index);
}

// Column J of a packed triangle: the J elements J(J-1)/2 + 1 .. J(J-1)/2 + J.
template <class T>
std::span<const T> packed_column(std::span<const T> packed, std::int32_t J) {
  return packed.subspan(at(J) * at(J - 1) / 2, at(J));
}

void write_count_block(OutputUnit& proximity, std::span<const std::int32_t> totals,
                       std::span<const std::int32_t> packed, std::int32_t MAXL) {
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    RecordWriter record(proximity, kCountColumn);
    record.put(totals[at(J - 1)]);
    record.put_all(packed_column(packed, J));
    record.finish();
  }
}

}  // namespace

void PRXMAT(OutputUnit& proximity, std::span<const double> PROX, std::int32_t /*NTM*/,
            std::int32_t MAXL) {
  for (std::int32_t J = 1; J <= MAXL; ++J) {
    RecordWriter record(proximity, kProximityColumn);
    record.put_all(packed_column(PROX, J));
    record.finish();
  }
}

void PRXCNT(OutputUnit& proximity, std::span<const std::int32_t> NGPAIR,
            std::span<const std::int32_t> NGLOC, std::span<const std::int32_t> NYPAIR,
            std::span<const std::int32_t> NYLOC, std::span<const std::int32_t> KII,
            std::span<const std::int32_t> KI, std::int32_t /*NTM*/, std::int32_t MAXL) {
  write_count_block(proximity, NGLOC, NGPAIR, MAXL);
  write_count_block(proximity, NYLOC, NYPAIR, MAXL);
  write_count_block(proximity, KI, KII, MAXL);
}

}  // namespace locprox
