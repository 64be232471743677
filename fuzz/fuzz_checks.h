// What every fuzz target checks in the same way: a broken check throws
// FuzzFinding, which libFuzzer reports like a crash and the replay tests as
// a failure; an error message must be one readable line of bounded length.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace locprox::fuzz {

class FuzzFinding : public std::logic_error {
 public:
  explicit FuzzFinding(const std::string& what) : std::logic_error(what) {}
};

inline void expect(bool condition, const std::string& what) {
  if (!condition) throw FuzzFinding(what);
}

// One line of at most `longest` - 1 bytes, every byte showable, whatever
// bytes the input held.
inline void check_message(std::string_view message, std::size_t longest = 400) {
  expect(message.size() < longest,
         "an error message of " + std::to_string(message.size()) + " bytes");
  for (char c : message) {
    const auto byte = static_cast<unsigned char>(c);
    expect(byte >= 0x20 && byte != 0x7f, "an unshowable byte in an error message");
  }
}

}  // namespace locprox::fuzz
