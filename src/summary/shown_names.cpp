#include "summary/shown_names.h"

#include <filesystem>
#include <optional>

#include "summary/job_names.h"
#include "summary/names_table.h"
#include "summary/output_file.h"

namespace locprox::summary {

namespace {

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

ShownNames from_names_file(const JobNames& names, const std::string& path) {
  return ShownNames{
      trimmed(display_name(names.title)), names.years, names.locations, "names from " + path, {}};
}

}  // namespace

ShownNames shown_names(const CommandLine& command, const ProximityFile& file) {
  if (command.names)
    return from_names_file(read_job_names(*command.names, file.dims), *command.names);
  const std::string names_path = default_names_file(command.proximity_file);
  const std::string table_path = default_names_table(command.proximity_file);
  std::optional<JobNames> names;
  if (std::filesystem::exists(readable_path(names_path))) names = read_job_names(names_path, file.dims);
  if (!std::filesystem::exists(readable_path(table_path))) {
    if (names) return from_names_file(*names, names_path);
    return ShownNames{
        {}, {}, numbered_locations(file.dims.maxl), "numbered: no names file " + names_path, {}};
  }
  NamesTable table = read_names_table(table_path, file.dims);
  if (names) {
    for (size_t i = 0; i < names->locations.size(); ++i) {
      if (table.location_short_names[i] != names->locations[i]) {
        ShownNames shown = from_names_file(*names, names_path);
        shown.warnings.push_back(table_path + " is not the table of " + names_path + ": location " +
                                 std::to_string(i + 1) + " is \"" + table.location_short_names[i] +
                                 "\" there and \"" + names->locations[i] +
                                 "\" in the names file; the names of " + names_path + " are shown");
        return shown;
      }
    }
  }
  return ShownNames{names ? trimmed(display_name(names->title)) : std::string(),
                    std::move(table.years),
                    std::move(table.locations),
                    "full names from " + table_path,
                    {}};
}

}  // namespace locprox::summary
