#include "format/record_writer.h"

#include <cstring>
#include <stdexcept>

#include "format/fields.h"

namespace locprox {

bool RecordWriter::write_up_to_data_item() {
  const auto& items = layout_.items();
  while (position_ < items.size()) {
    const LayoutItem& item = items[position_];
    switch (item.kind) {
      case LayoutItem::Kind::kText:
        out_.append(item.text);
        break;
      case LayoutItem::Kind::kBlanks: {
        char* field = out_.reserve(static_cast<std::size_t>(item.width));
        for (int i = 0; i < item.width; ++i) field[i] = ' ';
        out_.commit(static_cast<std::size_t>(item.width));
        break;
      }
      case LayoutItem::Kind::kRecordEnd:
        out_.end_record();
        break;
      default:
        return true;
    }
    ++position_;
  }
  return false;
}

const LayoutItem& RecordWriter::next_data_item() {
  if (!write_up_to_data_item()) {
    if (!layout_.has_data_items()) throw std::logic_error("value given to a layout without fields");
    out_.end_record();
    position_ = layout_.reversion_index();
    write_up_to_data_item();
  }
  return layout_.items()[position_++];
}

void RecordWriter::put(std::int64_t value) {
  const LayoutItem& item = next_data_item();
  if (item.kind != LayoutItem::Kind::kInteger) throw std::logic_error("integer for a non-I field");
  char* field = out_.reserve(static_cast<std::size_t>(item.width));
  out_.commit(static_cast<std::size_t>(format_integer(field, value, item.width) - field));
}

void RecordWriter::put(double value) {
  const LayoutItem& item = next_data_item();
  char* field = out_.reserve(static_cast<std::size_t>(item.width));
  char* end = nullptr;
  if (item.kind == LayoutItem::Kind::kFixed) {
    end = format_fixed(field, value, item.width, item.decimals);
  } else if (item.kind == LayoutItem::Kind::kExponent) {
    end = format_exponent(field, value, item.width, item.decimals);
  } else {
    throw std::logic_error("real for a non-F/E field");
  }
  out_.commit(static_cast<std::size_t>(end - field));
}

void RecordWriter::put(std::string_view value) {
  const LayoutItem& item = next_data_item();
  if (item.kind != LayoutItem::Kind::kCharacter) throw std::logic_error("text for a non-A field");
  if (item.width == 0) {
    out_.append(value);
    return;
  }
  char* field = out_.reserve(static_cast<std::size_t>(item.width));
  out_.commit(static_cast<std::size_t>(format_characters(field, value, item.width) - field));
}

std::size_t RecordWriter::like_fields_ahead(std::size_t limit) const {
  // The item just taken stood at position_ - 1; its run goes on from here.
  const std::size_t run = layout_.like_run(position_ - 1) - 1;
  return run < limit ? run : limit;
}

void RecordWriter::put_all(std::span<const std::int32_t> values) {
  while (!values.empty()) {
    const LayoutItem& item = next_data_item();
    if (item.kind != LayoutItem::Kind::kInteger)
      throw std::logic_error("integer for a non-I field");
    // This field and the like ones after it take values in one stretch.
    const std::size_t count = 1 + like_fields_ahead(values.size() - 1);
    const std::size_t width = static_cast<std::size_t>(item.width);
    char* field = out_.reserve(count * width);
    format_integers(field, values.data(), count, item.width);
    out_.commit(count * width);
    position_ += count - 1;
    values = values.subspan(count);
  }
}

void RecordWriter::put_repeated(std::int32_t value, std::size_t count) {
  while (count > 0) {
    const LayoutItem& item = next_data_item();
    if (item.kind != LayoutItem::Kind::kInteger)
      throw std::logic_error("integer for a non-I field");
    const std::size_t fields = 1 + like_fields_ahead(count - 1);
    const std::size_t width = static_cast<std::size_t>(item.width);
    char* field = out_.reserve(fields * width);
    format_integers(field, &value, 1, item.width);
    if (width == 1) {
      std::memset(field + 1, field[0], fields - 1);
    } else {
      for (std::size_t i = 1; i < fields; ++i) std::memcpy(field + i * width, field, width);
    }
    out_.commit(fields * width);
    position_ += fields - 1;
    count -= fields;
  }
}

void RecordWriter::put_all(std::span<const double> values) {
  while (!values.empty()) {
    const LayoutItem& item = next_data_item();
    const bool fixed = item.kind == LayoutItem::Kind::kFixed;
    if (!fixed && item.kind != LayoutItem::Kind::kExponent) {
      throw std::logic_error("real for a non-F/E field");
    }
    const std::size_t count = 1 + like_fields_ahead(values.size() - 1);
    const std::size_t width = static_cast<std::size_t>(item.width);
    char* field = out_.reserve(count * width);
    if (fixed) {
      for (std::size_t i = 0; i < count; ++i) {
        field = format_fixed(field, values[i], item.width, item.decimals);
      }
    } else {
      format_exponents(field, values.data(), count, item.width, item.decimals);
    }
    out_.commit(count * width);
    position_ += count - 1;
    values = values.subspan(count);
  }
}

void RecordWriter::finish() {
  bool stopped_at_data = write_up_to_data_item();
  if (!stopped_at_data && layout_.leaves_record_open()) return;
  out_.end_record();
}

}  // namespace locprox
