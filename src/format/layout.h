// A record layout in the field notation of the system's record tables:
//   Iw  Fw.d  Ew.d  Aw  A  nX  "text" (or 'text')  /  and a trailing $,
// with repeat counts (49I5) and parenthesised groups with repeat counts
// (4(5X,A1)). Items are separated by commas or blanks; a pair of parentheses
// around the whole layout belongs to the notation, not a group.
//
// A layout is parsed once, when the constant is built, into a flat list of
// items with every repeat expanded, so writing a record only walks the list.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace locprox {

struct LayoutItem {
  enum class Kind { kInteger, kFixed, kExponent, kCharacter, kBlanks, kText, kRecordEnd };
  Kind kind;
  int width = 0;     // Iw, Fw.d, Ew.d, Aw, nX; 0 for A (the value's own length)
  int decimals = 0;  // d of Fw.d and Ew.d
  std::string text;  // the text of a quoted item

  bool is_data() const {
    return kind == Kind::kInteger || kind == Kind::kFixed || kind == Kind::kExponent ||
           kind == Kind::kCharacter;
  }
};

class Layout {
 public:
  // Parses the notation; a malformed layout is a programming error and
  // throws std::invalid_argument.
  explicit Layout(std::string_view notation);

  const std::vector<LayoutItem>& items() const { return items_; }
  // Where writing starts again when values outrun the layout: the first item
  // of the last top-level parenthesised group, else the first item.
  std::size_t reversion_index() const { return reversion_index_; }
  // True when the layout ends in $: the record is left open after it.
  bool leaves_record_open() const { return leaves_record_open_; }
  bool has_data_items() const { return has_data_items_; }
  // How many data items of the same kind, width and decimals follow one
  // another from the data item at `index` on, that one included (200 for
  // the first of 200I1); 0 for an item that is not data.
  std::size_t like_run(std::size_t index) const { return like_run_[index]; }

 private:
  std::vector<LayoutItem> items_;
  std::vector<std::size_t> like_run_;
  std::size_t reversion_index_ = 0;
  bool leaves_record_open_ = false;
  bool has_data_items_ = false;
};

}  // namespace locprox
