// A record that grows at its end: a row of a report section that gains one
// value every year (a location's count for the new year) after a few values
// at its front that change (the location number and its running total).
// The grown values are kept as text, so a year formats only its new value
// and the front; the record is written as front + kept text + its end,
// exactly the bytes that one writer given all the values would write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "format/layout.h"
#include "format/output_unit.h"

namespace locprox {

class GrowingRecord {
 public:
  // A record of `layout` whose first `front_values` values are given anew
  // at every write(). The layout must outlive the record.
  GrowingRecord(const Layout& layout, std::size_t front_values);

  // Adds values at the end of the record.
  void append(std::span<const std::int32_t> values);
  void append(std::int32_t value) { append(std::span<const std::int32_t>(&value, 1)); }
  // Drops every value added.
  void clear();
  // How many values were added.
  std::size_t size() const { return size_; }

  // Writes the record to `out`: the front values, then those added, then
  // what ends the record.
  void write(OutputUnit& out, std::span<const std::int32_t> front) const;

 private:
  const Layout* layout_;
  [[maybe_unused]] std::size_t front_values_;  // checked by an assertion only
  std::size_t start_;     // the writer's position after the front values
  std::size_t position_;  // and after the values added
  std::size_t size_ = 0;  // the values added
  std::unique_ptr<OutputUnit> added_;  // the text of the values added
};

}  // namespace locprox
