// The text of a section that is written a location at a time (the kappa
// rows of the report, the blocks of the proximity file), kept from one year
// to the next: a location whose values did not change keeps its text and is
// not formatted again. The texts of different locations may be set and read
// on different threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>


namespace locprox {

class ColumnTexts {
 public:
  // Starts afresh with MAXL locations, none of them formatted yet.
  void reset(std::int32_t MAXL) {
    texts_.assign(static_cast<std::size_t>(MAXL > 0 ? MAXL : 0), std::string());
  }
  std::int32_t locations() const { return static_cast<std::int32_t>(texts_.size()); }

  // The records of location J (1 to MAXL) are now `text`.
  void set(std::int32_t J, std::string_view text) {
    texts_[static_cast<std::size_t>(J - 1)].assign(text);
  }

  // The records of location J.
  std::string_view text(std::int32_t J) const { return texts_[static_cast<std::size_t>(J - 1)]; }

 private:
  std::vector<std::string> texts_;
};

}  // namespace locprox
