#include "summary/number_text.h"

#include <array>
#include <charconv>

namespace locprox::summary {

std::string number_text(double value) {
  std::string text;
  append_number(text, value);
  return text;
}

std::string average_text(double value) {
  std::string text;
  append_average(text, value);
  return text;
}

void append_number(std::string& out, double value) {
  std::array<char, 32> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

void append_average(std::string& out, double value) {
  std::array<char, 40> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::general, kAverageDigits);
  out.append(buffer.data(), result.ptr);
}

void append_integer(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

}  // namespace locprox::summary
