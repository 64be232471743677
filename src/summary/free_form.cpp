#include "summary/free_form.h"

#include <charconv>
#include <string>
#include <string_view>

#include "summary/errors.h"
#include "summary/line_reader.h"

namespace locprox::summary {

namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::optional<std::int64_t> to_integer(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::vector<std::optional<std::int64_t>> read_free_form_integers(LineReader& in, int count) {
  std::vector<std::optional<std::int64_t>> values;
  values.reserve(static_cast<size_t>(count));
  auto give = [&](std::optional<std::int64_t> value) {
    if (static_cast<int>(values.size()) < count) values.push_back(value);
  };
  while (static_cast<int>(values.size()) < count) {
    std::string_view record;
    if (!in.next(record)) {
      throw error_at(in.path(), in.line(),
                     "the file ends here, before all " + std::to_string(count) +
                         " numbers of the counts record are read");
    }
    size_t at = 0;
    bool after_comma = false;  // a comma with only blanks since the last value
    while (at < record.size() && static_cast<int>(values.size()) < count) {
      char c = record[at];
      if (is_blank(c)) {
        ++at;
        continue;
      }
      if (c == ',') {
        if (after_comma) give(std::nullopt);  // two commas: a null value
        after_comma = true;
        ++at;
        continue;
      }
      if (c == '/') {
        while (static_cast<int>(values.size()) < count) values.push_back(std::nullopt);
        break;
      }
      size_t end = at;
      while (end < record.size() && !is_blank(record[end]) && record[end] != ',' &&
             record[end] != '/') {
        ++end;
      }
      std::string_view token = record.substr(at, end - at);
      at = end;
      after_comma = false;
      size_t star = token.find('*');
      if (star == std::string_view::npos) {
        auto value = to_integer(token);
        if (!value)
          throw error_at(in.path(), in.line(), "\"" + std::string(token) + "\" is not an integer");
        give(value);
        continue;
      }
      auto repeat = to_integer(token.substr(0, star));
      std::string_view rest = token.substr(star + 1);
      auto value = rest.empty() ? std::optional<std::int64_t>() : to_integer(rest);
      if (!repeat || *repeat < 1 || (!rest.empty() && !value)) {
        throw error_at(in.path(), in.line(), "\"" + std::string(token) + "\" is not an integer");
      }
      for (std::int64_t r = 0; r < *repeat && static_cast<int>(values.size()) < count; ++r)
        give(value);
    }
  }
  return values;
}

}  // namespace locprox::summary
