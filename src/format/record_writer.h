// Writes values to an output unit through a layout, item by item:
// each data field takes the next value, texts, blanks and record ends are
// written as they are met. When values outrun the layout the record ends
// and the layout starts again at its reversion point; when the values run
// out, the texts and blanks before the next data field are still written and
// the record ends there (unless the layout ends in $ and all of it was used).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "format/layout.h"
#include "format/output_unit.h"

namespace locprox {

class RecordWriter {
 public:
  // Starts writing with `layout`; nothing is written until the first value
  // or finish().
  RecordWriter(OutputUnit& out, const Layout& layout) : out_(out), layout_(layout) {}
  // Continues a record of `layout` where an earlier writer of it stood
  // (its position()), writing to `out`: the text of both together is that of
  // one writer given all the values. A record that grows by a few values a
  // time (a row with one more year each year) is kept that way, and the
  // values already written are not formatted again.
  RecordWriter(OutputUnit& out, const Layout& layout, std::size_t position)
      : out_(out), layout_(layout), position_(position) {}

  // Where in the layout the writer stands.
  std::size_t position() const { return position_; }

  void put(std::int64_t value);  // an I field
  void put(std::int32_t value) { put(static_cast<std::int64_t>(value)); }
  void put(double value);  // an F or E field
  void put(float value) { put(static_cast<double>(value)); }
  void put(std::string_view value);  // an A or Aw field
  void put(const char* value) { put(std::string_view(value)); }
  void put(char value) { put(std::string_view(&value, 1)); }

  // The values one after another, with the same output as put() for each;
  // a run of like fields in the layout (49I5, 10E16.8) is formatted in one
  // go instead of walking the layout value by value.
  void put_all(std::span<const std::int32_t> values);
  void put_all(std::span<const double> values);
  // `value` `count` times, with the same output as put_all of that many
  // copies; a run of like fields is formatted once and copied (a row of the
  // incidence section for a location that observed nothing).
  void put_repeated(std::int32_t value, std::size_t count);

  // Writes what stands before the next data field and ends the record.
  void finish();

 private:
  // Writes the non-data items from the current position up to the next data
  // item, reverting when the layout is used up; returns that data item.
  const LayoutItem& next_data_item();
  // Writes the non-data items from the current position; false when the
  // layout has been used up.
  bool write_up_to_data_item();
  // The number of fields like the one just taken (same kind, width and
  // decimals) that directly follow it, at most `limit`.
  std::size_t like_fields_ahead(std::size_t limit) const;

  OutputUnit& out_;
  const Layout& layout_;
  std::size_t position_ = 0;
};

// Writes one statement's worth of values with `layout`.
template <class... Values>
void write_record(OutputUnit& out, const Layout& layout, const Values&... values) {
  RecordWriter writer(out, layout);
  (writer.put(values), ...);
  writer.finish();
}

}  // namespace locprox
