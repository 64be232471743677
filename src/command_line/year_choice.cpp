#include "command_line/year_choice.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>

#include "format/free_form.h"
#include "import/import_error.h"
#include "import/table_reader.h"

namespace locprox {
namespace {

// The year rows of a names table.
struct YearRows : RowHandler {
  std::size_t years;
  std::vector<std::string> full_names;
  bool is_names_table = false;

  explicit YearRows(std::size_t count) : years(count), full_names(count) {}
  void header(const TableRow& row) override {
    is_names_table = row.size() >= 4 && row.field(0) == "kind" && row.field(1) == "number" &&
                     row.field(3) == "full_name";
  }
  void row(const TableRow& row) override {
    if (!is_names_table || row.size() < 4 || row.field(0) != "year") return;
    std::size_t number = 0;
    const std::string_view text = row.field(1);
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
    if (parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) return;
    if (number >= 1 && number <= years) full_names[number - 1] = row.field(3);
  }
};

std::string list_of(const std::vector<std::size_t>& numbers) {
  std::string text;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += i + 1 == numbers.size() ? " and " : ", ";
    text += "#" + std::to_string(numbers[i]);
  }
  return text;
}

// The years whose name in `names` is `text`.
std::vector<std::size_t> matches(const std::vector<std::string>& names, const std::string& text) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < names.size(); ++i)
    if (!names[i].empty() && names[i] == text) found.push_back(i + 1);
  return found;
}

}  // namespace

std::vector<std::string> full_year_names(const std::string& names_table, std::size_t years) {
  const int fd = ::open(names_table.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  YearRows rows(years);
  try {
    TableReader reader(names_table, ',');
    char block[1 << 16];
    for (;;) {
      const ssize_t got = ::read(fd, block, sizeof block);
      if (got <= 0) break;
      reader.feed(std::string_view(block, static_cast<std::size_t>(got)), rows);
    }
    reader.finish(rows);
  } catch (const ImportError&) {
    rows.is_names_table = false;
  }
  ::close(fd);
  if (!rows.is_names_table) return {};
  return rows.full_names;
}

std::int32_t find_year(const std::string& text, const YearNames& years, const char* option) {
  const std::string shown = std::string(option) + " " + quoted_for_message(text);
  for (const std::vector<std::string>* names : {&years.names, &years.full_names}) {
    const std::vector<std::size_t> found = matches(*names, text);
    if (found.size() == 1) return static_cast<std::int32_t>(found[0]);
    if (found.size() > 1) {
      throw YearChoiceError(shown + ": years " + list_of(found) +
                            " all have that name; give the number, e.g. " + option + " #" +
                            std::to_string(found[0]));
    }
  }
  if (text.size() > 1 && text[0] == '#') {
    std::int64_t number = 0;
    const auto parsed = std::from_chars(text.data() + 1, text.data() + text.size(), number);
    if (parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && number >= 1 &&
        number <= static_cast<std::int64_t>(years.names.size())) {
      return static_cast<std::int32_t>(number);
    }
    throw YearChoiceError(shown + ": the years are numbered #1 to #" +
                          std::to_string(years.names.size()));
  }
  std::string range;
  if (!years.names.empty()) {
    range = " (" + quoted_for_message(years.names.front()) + " to " +
            quoted_for_message(years.names.back()) + ", or #1 to #" +
            std::to_string(years.names.size()) + ")";
  }
  throw YearChoiceError(shown + ": no year has that name" + range);
}

}  // namespace locprox
