#include "summary/names_file.h"

#include "summary/errors.h"
#include "summary/free_form.h"
#include "summary/line_reader.h"

namespace locprox::summary {

namespace {

constexpr size_t kTitleWidth = 50;  // the title is read by "(A50)"
constexpr size_t kNameWidth = 8;    // every name by "(A8)"

// The length of the longest prefix of `text` that is well-formed UTF-8, and
// whether the rest is only an incomplete sequence (a name cut at its eighth
// byte in the middle of a character).
struct Utf8Check {
  size_t valid = 0;
  bool cut_short = false;
};

Utf8Check check_utf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    if (c < 0x80) {
      extra = 0;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return {i, false};
    }
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k == text.size()) return {i, true};
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return {i, false};
    }
    i += extra + 1;
  }
  return {i, false};
}

std::vector<std::string> read_list(LineReader& in, std::int32_t count, const char* what) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(count > 0 ? count : 0));
  for (std::int32_t n = 1; n <= count; ++n) {
    std::string_view record;
    if (!in.next(record)) {
      throw error_at(in.path(), in.line(),
                     "the file ends here, before " + std::string(what) + " " + std::to_string(n) +
                         " of " + std::to_string(count));
    }
    names.push_back(display_name(record.substr(0, std::min(record.size(), kNameWidth))));
  }
  return names;
}

}  // namespace

std::string display_name(std::string_view raw) {
  size_t last = raw.find_last_not_of(' ');
  raw = last == std::string_view::npos ? std::string_view() : raw.substr(0, last + 1);
  Utf8Check check = check_utf8(raw);
  if (check.cut_short) raw = raw.substr(0, check.valid);
  const bool utf8 = check.cut_short || check.valid == raw.size();
  std::string shown;
  for (char ch : raw) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      shown += '?';
    } else if (c >= 0x80 && !utf8) {
      shown += static_cast<char>(0xC0 | (c >> 6));
      shown += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      shown += ch;
    }
  }
  return shown;
}

std::vector<std::string> numbered_locations(std::int32_t maxl) {
  std::vector<std::string> names;
  for (std::int32_t i = 1; i <= maxl; ++i) names.push_back(std::to_string(i));
  return names;
}

JobNames read_names_file(const std::string& path, const Dimensions& dims) {
  LineReader in(path);
  JobNames names;
  std::string_view record;
  if (!in.next(record))
    throw InputError(path + ": the file is empty; it should begin with the job title");
  names.title = std::string(record.substr(0, std::min(record.size(), kTitleWidth)));
  auto counts = read_free_form_integers(in, 3);
  const long counts_line = in.line();
  const char* what[3] = {"years", "locations", "entries"};
  const std::int64_t expected[3] = {dims.maxy, dims.maxl, dims.maxg};
  for (int k = 0; k < 3; ++k) {
    std::int64_t value = counts[static_cast<size_t>(k)].value_or(0);
    // A count written as asterisks in the dimension record (-1) cannot be checked.
    if (expected[k] >= 0 && value != expected[k]) {
      throw error_at(path, counts_line,
                     "the names file counts " + std::to_string(value) + " " + what[k] +
                         " where the proximity file has " + std::to_string(expected[k]) +
                         "; it belongs to another job");
    }
  }
  const std::int64_t years = counts[0].value_or(0);
  if (years > 1000000) throw error_at(path, counts_line, "implausible number of years");
  names.years = read_list(in, static_cast<std::int32_t>(years), "year name");
  names.locations = read_list(in, dims.maxl, "location name");
  return names;
}

}  // namespace locprox::summary
