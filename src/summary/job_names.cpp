#include "summary/job_names.h"

#include "format/names.h"
#include "format/record_reader.h"
#include "format/units.h"
#include "input/names_counts.h"
#include "input/names_file.h"
#include "summary/errors.h"
#include "summary/input_file.h"

namespace locprox::summary {

namespace {

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

// The `count` names of one list, each the first 8 characters of its record,
// read by the main program's reader of names.
std::vector<std::string> read_list(InputFile& in, std::int32_t count, const char* what) {
  std::vector<std::string> names;
  for (std::int32_t n = 1; n <= count; ++n) {
    Name name;
    try {
      read_characters(in.unit(), name);
    } catch (const RunError& stop) {
      throw InputError(std::string(in.error(stop).what()) + ", before " + what + " " +
                       std::to_string(n) + " of " + std::to_string(count));
    }
    names.push_back(display_name(as_text(name)));
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

JobNames read_job_names(const std::string& path, const Dimensions& dims) {
  InputFile in(kNamesUnit, path, InputUnit::kSmallBlock);
  JobNames names;
  std::string_view record;
  if (!in.reading([&] { return in.unit().next_record(record); })) {
    throw InputError(path + ": the file is empty; it should begin with the job title");
  }
  in.unit().step_back();
  const Title title = in.reading([&] { return read_title(in.unit()); });
  names.title = std::string(trimmed_right(title));
  NamesCounts counts;
  if (in.reading([&] { return read_names_counts(in.unit(), counts, true); }) ==
      ReadOutcome::kEndOfFile) {
    throw in.error("the file ends here, before all 3 numbers of the counts record are read");
  }
  const long counts_line = in.line();
  const char* what[3] = {"years", "locations", "entries"};
  const std::int64_t read[3] = {counts.years, counts.locations, counts.entries};
  const std::int64_t expected[3] = {dims.maxy, dims.maxl, dims.maxg};
  for (int k = 0; k < 3; ++k) {
    // A count written as asterisks in the dimension record (-1) cannot be checked.
    if (expected[k] >= 0 && read[k] != expected[k]) {
      throw error_at(path, counts_line,
                     "the names file counts " + std::to_string(read[k]) + " " + what[k] +
                         " where the proximity file has " + std::to_string(expected[k]) +
                         "; it belongs to another job");
    }
  }
  if (counts.years < 0 || counts.years > 1000000) {
    throw error_at(path, counts_line, "implausible number of years");
  }
  names.years = read_list(in, counts.years, "year name");
  names.locations = read_list(in, dims.maxl, "location name");
  return names;
}

}  // namespace locprox::summary
