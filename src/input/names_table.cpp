#include "input/names_table.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "format/free_form.h"
#include "input/table_error.h"
#include "input/table_reader.h"

namespace locprox {
namespace {

// A table holds a name per year, location and entry: a few megabytes at the
// most. A larger file is not a table of names.
constexpr std::size_t kLargestTable = std::size_t{256} << 20;
// Numbers far beyond any data set are refused: the numbers seen are marked
// in a list as long as the largest.
constexpr std::int64_t kLargestNumber = 10000000;
constexpr std::size_t kReadBlock = std::size_t{1} << 16;

constexpr std::array<const char*, 3> kKinds = {"year", "location", "entry"};
constexpr std::array<const char*, 3> kPlural = {"years", "locations", "entries"};

std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

class NameRows : public RowHandler {
 public:
  explicit NameRows(const std::string& path) : path_(path) {}

  void header(const TableRow& row) override {
    header_size_ = row.size();
    for (std::size_t c = 0; c < row.size(); ++c) {
      const std::string name = lower(row.field(c));
      if (name == "kind") kind_ = c;
      if (name == "number") number_ = c;
      if (name == "name") name_ = c;
      if (name == "full_name") full_name_ = c;
    }
    if (!kind_ || !number_ || !full_name_) {
      fail(row, "the header should name the columns kind, number, name and full_name");
    }
  }

  void row(const TableRow& row) override {
    if (row.size() != header_size_) {
      fail(row, std::to_string(row.size()) + " field(s) where the header has " +
                    std::to_string(header_size_));
    }
    const std::string kind = lower(row.field(*kind_));
    const auto which = std::find(kKinds.begin(), kKinds.end(), kind);
    if (which == kKinds.end()) {
      fail(row, "the kind " + quoted_for_message(row.field(*kind_)) +
                    " is none of year, location and entry");
    }
    const std::string_view number_text = row.field(*number_);
    std::int64_t number = 0;
    const auto [end, problem] =
        std::from_chars(number_text.data(), number_text.data() + number_text.size(), number);
    if (number_text.empty() || problem != std::errc() ||
        end != number_text.data() + number_text.size() || number < 1 || number > kLargestNumber) {
      fail(row, "the number " + quoted_for_message(number_text) +
                    " is not a whole number from 1 to " + std::to_string(kLargestNumber));
    }
    const auto k = static_cast<std::size_t>(which - kKinds.begin());
    const auto at = static_cast<std::size_t>(number - 1);
    std::vector<bool>& seen = seen_[k];
    if (seen.size() <= at) seen.resize(at + 1);
    if (seen[at]) fail(row, kind + " " + std::string(number_text) + " stands twice in the table");
    seen[at] = true;
    rows_.by_kind[k].push_back(TableName{static_cast<std::size_t>(number),
                                         name_ ? std::string(row.field(*name_)) : std::string(),
                                         std::string(row.field(*full_name_))});
  }

  // The rows by kind in number order, once every number from 1 to the
  // largest is there.
  NamesTableRows finish() {
    for (std::size_t k = 0; k < 3; ++k) {
      auto& list = rows_.by_kind[k];
      std::sort(list.begin(), list.end(),
                [](const TableName& a, const TableName& b) { return a.number < b.number; });
      for (std::size_t n = 0; n < list.size(); ++n) {
        if (list[n].number != n + 1) {
          throw TableError(TableError::Fault::kContent, path_, 0, 0,
                           std::string(kKinds[k]) + " " + std::to_string(n + 1) +
                               " is missing; the " + kPlural[k] + " are numbered 1 to " +
                               std::to_string(list.back().number));
        }
      }
    }
    return std::move(rows_);
  }

 private:
  [[noreturn]] void fail(const TableRow& row, const std::string& problem) const {
    throw TableError(TableError::Fault::kContent, path_, row.line(), 0, problem);
  }

  const std::string& path_;
  std::size_t header_size_ = 0;
  std::optional<std::size_t> kind_, number_, name_, full_name_;
  std::array<std::vector<bool>, 3> seen_;
  NamesTableRows rows_;
};

}  // namespace

const char* kind_word(NameKind kind) {
  return kKinds[static_cast<std::size_t>(kind)];
}

const char* kind_plural(NameKind kind) {
  return kPlural[static_cast<std::size_t>(kind)];
}

NamesTableRows read_names_table(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw TableError(TableError::Fault::kFile, path, 0, 0,
                     std::string("cannot be opened: ") + std::strerror(errno));
  }
  struct Closer {
    std::FILE* file;
    ~Closer() { std::fclose(file); }
  } closer{file};
  NameRows rows(path);
  TableReader reader(path, ',', TableReader::Blanks::kKept);
  std::vector<char> block(kReadBlock);
  std::size_t total = 0;
  std::size_t got = 0;
  while ((got = std::fread(block.data(), 1, block.size(), file)) > 0) {
    total += got;
    if (total > kLargestTable) {
      throw TableError(TableError::Fault::kFile, path, 0, 0,
                       "larger than 256 MiB; not a table of names");
    }
    reader.feed(std::string_view(block.data(), got), rows);
  }
  if (std::ferror(file) != 0) throw TableError(TableError::Fault::kFile, path, 0, 0, "read error");
  try {
    reader.finish(rows);
  } catch (const TableError& fault) {
    if (fault.fault() != TableError::Fault::kEmpty) throw;
    throw TableError(TableError::Fault::kEmpty, path, 0, 0,
                     "the file is empty; it should begin with the header "
                     "kind,number,name,full_name");
  }
  return rows.finish();
}

}  // namespace locprox
