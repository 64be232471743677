#include "summary/names_table.h"

#include <csv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "summary/command_line.h"
#include "summary/errors.h"
#include "summary/job_names.h"

namespace locprox::summary {

namespace {

// A table holds a name per year, location and entry: a few megabytes at the
// most. A larger file is not a table of names.
constexpr size_t kLargestTable = size_t{256} << 20;
// Numbers far beyond any data set are refused before they size a list.
constexpr std::int64_t kLargestNumber = 10000000;

constexpr std::array<const char*, 3> kKinds = {"year", "location", "entry"};
constexpr std::array<const char*, 3> kPlural = {"years", "locations", "entries"};

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

std::string read_whole(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw InputError(path + ": cannot be opened: " + std::strerror(errno));
  std::string text;
  char block[1 << 16];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
    text.append(block, got);
    if (text.size() > kLargestTable) {
      std::fclose(file);
      throw InputError(path + ": larger than 256 MiB; not a table of names");
    }
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) throw InputError(path + ": read error");
  return text;
}

// Rows as libcsv gives them, with the line each starts on.
class Rows {
 public:
  explicit Rows(std::string path) : path_(std::move(path)) {}

  void field(std::string_view text) {
    if (row_.empty()) row_line_ = line_;
    row_.emplace_back(text);
    line_ += static_cast<long>(std::count(text.begin(), text.end(), '\n'));
  }

  // `terminator` is the unquoted CR or LF that ended the row, -1 at the end.
  // The parser is C: no exception may pass through it, so the first fault
  // is kept and thrown by finish().
  void end(int terminator) {
    if (!row_.empty() && !failure_) {
      try {
        take_row();
      } catch (const InputError& fault) {
        failure_ = fault;
      }
    }
    row_.clear();
    if (terminator == '\n') ++line_;
  }

  NamesTable finish(const Dimensions& dims) {
    if (failure_) throw *failure_;
    if (header_.empty())
      throw InputError(
          path_ +
          ": the file is empty; it should begin with the header kind,number,name,full_name");
    const std::int64_t expected[3] = {dims.maxy, dims.maxl, dims.maxg};
    for (size_t k = 0; k < 3; ++k) {
      const auto& list = names_[k];
      for (size_t n = 0; n < list.size(); ++n) {
        if (!list[n]) {
          throw InputError(path_ + ": " + kKinds[k] + " " + std::to_string(n + 1) +
                           " is missing; the " + kPlural[k] + " are numbered 1 to " +
                           std::to_string(list.size()));
        }
      }
      if (expected[k] >= 0 && static_cast<std::int64_t>(list.size()) != expected[k]) {
        throw InputError(path_ + ": the table lists " + std::to_string(list.size()) + " " +
                         kPlural[k] + " where the proximity file has " +
                         std::to_string(expected[k]) + "; it belongs to another job");
      }
    }
    NamesTable table;
    std::vector<std::string>* lists[3] = {&table.years, &table.locations, &table.entries};
    for (size_t k = 0; k < 3; ++k) {
      for (const auto& name : names_[k]) lists[k]->push_back(name->full);
    }
    for (const auto& name : names_[1]) table.location_short_names.push_back(name->short_name);
    return table;
  }

  // A fault in a row before the parser's own stands first.
  void finish_early() const {
    if (failure_) throw *failure_;
  }

 private:
  struct Name {
    std::string full;
    std::string short_name;
  };

  InputError error(const std::string& what) const { return error_at(path_, row_line_, what); }

  void take_row() {
    if (header_.empty()) {
      header_ = row_;
      for (size_t c = 0; c < header_.size(); ++c) {
        const std::string name = lower(header_[c]);
        if (name == "kind") kind_ = c;
        if (name == "number") number_ = c;
        if (name == "name") name_ = c;
        if (name == "full_name") full_name_ = c;
      }
      if (!kind_ || !number_ || !full_name_) {
        throw error("the header should name the columns kind, number, name and full_name");
      }
      return;
    }
    if (row_.size() != header_.size()) {
      throw error(std::to_string(row_.size()) + " field(s) where the header has " +
                  std::to_string(header_.size()));
    }
    const std::string kind = lower(row_[*kind_]);
    const auto which = std::find(kKinds.begin(), kKinds.end(), kind);
    if (which == kKinds.end()) {
      throw error("the kind \"" + row_[*kind_] + "\" is none of year, location and entry");
    }
    const std::string& number_text = row_[*number_];
    std::int64_t number = 0;
    const auto [end, problem] =
        std::from_chars(number_text.data(), number_text.data() + number_text.size(), number);
    if (number_text.empty() || problem != std::errc() ||
        end != number_text.data() + number_text.size() || number < 1 || number > kLargestNumber) {
      throw error("the number \"" + number_text + "\" is not a whole number from 1 to " +
                  std::to_string(kLargestNumber));
    }
    auto& list = names_[static_cast<size_t>(which - kKinds.begin())];
    const size_t at = static_cast<size_t>(number - 1);
    if (list.size() <= at) list.resize(at + 1);
    if (list[at]) throw error(kind + " " + number_text + " stands twice in the table");
    const std::string short_name = name_ ? display_name(row_[*name_]) : std::string();
    std::string full = display_name(row_[*full_name_]);
    if (full.empty()) full = short_name;
    list[at] = Name{full, short_name};
  }

  std::string path_;
  long line_ = 1;      // the line the parser has reached
  long row_line_ = 1;  // the line the current row starts on
  std::vector<std::string> row_;
  std::vector<std::string> header_;
  std::optional<size_t> kind_, number_, name_, full_name_;
  std::array<std::vector<std::optional<Name>>, 3> names_;
  std::optional<InputError> failure_;
};

extern "C" void on_field(void* text, size_t length, void* rows) {
  static_cast<Rows*>(rows)->field(std::string_view(static_cast<const char*>(text), length));
}

extern "C" void on_row_end(int terminator, void* rows) {
  static_cast<Rows*>(rows)->end(terminator);
}

// Blanks are part of a field (RFC 4180); libcsv would trim them by default.
extern "C" int no_space(unsigned char) {
  return 0;
}

}  // namespace

std::string default_names_table(const std::string& proximity_file) {
  return job_stem(proximity_file) + ".names.csv";
}

NamesTable read_names_table(const std::string& path, const Dimensions& dims) {
  std::string text = read_whole(path);
  std::string_view data = text;
  if (data.starts_with("\xEF\xBB\xBF")) data.remove_prefix(3);  // UTF-8 byte-order mark
  csv_parser parser;
  if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI | CSV_REPALL_NL) != 0) {
    throw InputError(path + ": the CSV reader could not start");
  }
  csv_set_space_func(&parser, no_space);
  Rows rows(path);
  struct Free {
    csv_parser* parser;
    ~Free() { csv_free(parser); }
  } free_parser{&parser};
  const size_t used = csv_parse(&parser, data.data(), data.size(), on_field, on_row_end, &rows);
  if (used != data.size() || csv_fini(&parser, on_field, on_row_end, &rows) != 0) {
    rows.finish_early();
    // The line of the byte where the parser stopped.
    const std::string_view read = data.substr(0, std::min(used, data.size()));
    const long line = 1 + static_cast<long>(std::count(read.begin(), read.end(), '\n'));
    throw error_at(path, line,
                   std::string("not CSV: ") + csv_strerror(csv_error(&parser)) +
                       " (a quote inside a field that is not quoted, or a quoted field "
                       "that is not closed)");
  }
  return rows.finish(dims);
}

}  // namespace locprox::summary
