#include "command_line/year_choice.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "format/free_form.h"
#include "input/names_table.h"
#include "input/table_error.h"

namespace locprox {
namespace {

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

std::vector<std::string> full_year_names(const std::string& names_table, std::size_t years,
                                         std::string* problem) {
  std::error_code ignored;
  if (!std::filesystem::exists(names_table, ignored)) return {};  // no table: no full names
  NamesTableRows table;
  try {
    table = read_names_table(names_table);
  } catch (const TableError& fault) {
    // A table that is there but cannot be used: the years have no full
    // names, and the caller says why.
    if (problem != nullptr) *problem = fault.what();
    return {};
  }
  std::vector<std::string> full_names(years);
  for (const TableName& year : table.of(NameKind::kYear)) {
    if (year.number <= years) full_names[year.number - 1] = year.full_name;
  }
  return full_names;
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
