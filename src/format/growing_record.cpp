#include "format/growing_record.h"

#include <cassert>
#include <vector>

#include "format/record_writer.h"

namespace locprox {

GrowingRecord::GrowingRecord(const Layout& layout, std::size_t front_values)
    : layout_(&layout),
      front_values_(front_values),
      added_(std::make_unique<OutputUnit>(OutputUnit::InMemory{}, OutputUnit::Style::kFile)) {
  // Where the added values start: after the front, whatever its values.
  OutputUnit scratch(OutputUnit::InMemory{});
  RecordWriter writer(scratch, layout);
  for (std::size_t v = 0; v < front_values; ++v) writer.put(std::int32_t{0});
  start_ = writer.position();
  position_ = start_;
}

void GrowingRecord::append(std::span<const std::int32_t> values) {
  RecordWriter writer(*added_, *layout_, position_);
  writer.put_all(values);
  position_ = writer.position();
  size_ += values.size();
}

void GrowingRecord::clear() {
  added_->clear();
  position_ = start_;
  size_ = 0;
}

void GrowingRecord::write(OutputUnit& out, std::span<const std::int32_t> front) const {
  assert(front.size() == front_values_);
  RecordWriter writer(out, *layout_);
  for (const std::int32_t value : front) writer.put(value);
  assert(writer.position() == start_);
  out.append(added_->text());
  RecordWriter(out, *layout_, position_).finish();
}

}  // namespace locprox
