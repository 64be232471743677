#include "import/import_table.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <future>
#include <limits>
#include <system_error>
#include <memory>
#include <vector>

#include "format/free_form.h"
#include "format/input_unit.h"
#include "import/import_error.h"
#include "import/numbering.h"
#include "import/output_files.h"
#include "import/short_names.h"
#include "import/table_loading.h"
#include "input/table_error.h"
#include "input/table_reader.h"
#include "job/problem_requirements.h"
#include "job/work_arrays.h"
#include "report/output_size.h"

namespace locprox {
namespace {

constexpr std::size_t kTitleLength = 50;
// A run's outputs this large are worth a line of the import's account.
constexpr std::uint64_t kLargeOutput = std::uint64_t{256} << 20;

// "1.5 GiB", "300 MiB", "391 KiB": a size as people read it.
std::string large_size_text(std::uint64_t bytes) {
  char text[64];
  const double mib = static_cast<double>(bytes) / (1024.0 * 1024.0);
  if (mib < 1.0) {
    std::snprintf(text, sizeof text, "%.0f KiB", mib * 1024.0);
  } else if (mib >= 1024.0 * 1024.0) {
    std::snprintf(text, sizeof text, "%.1f TiB", mib / (1024.0 * 1024.0));
  } else if (mib >= 1024.0) {
    std::snprintf(text, sizeof text, "%.1f GiB", mib / 1024.0);
  } else {
    std::snprintf(text, sizeof text, "%.0f MiB", mib);
  }
  return text;
}
std::vector<std::string> in_number_order(const std::vector<std::string>& names,
                                         const std::vector<std::uint32_t>& in_order) {
  std::vector<std::string> ordered;
  ordered.reserve(names.size());
  for (std::uint32_t index : in_order) ordered.push_back(names[index]);
  return ordered;
}

// What the console dialogue's fixed work arrays lack for the whole job
// (every year in the sequence), or nothing.
std::string dialogue_shortfall(std::int32_t years, std::int32_t locations, std::int32_t entries) {
  const ProblemRequirements needs = problem_requirements(years, locations, entries, 1, years);
  struct Check {
    const char* array;
    std::int64_t required;
    std::int64_t capacity;
  };
  const Check checks[] = {{"DZ", needs.DZREQ, DZDIM},
                          {"Z", needs.ZREQ, ZDIM},
                          {"MZ", needs.MZREQ, MZDIM},
                          {"AZ", needs.AZREQ, AZDIM}};
  std::string shortfall;
  for (const Check& check : checks) {
    if (check.required <= check.capacity) continue;
    if (!shortfall.empty()) shortfall += ", ";
    shortfall += std::string(check.array) + " needs " + std::to_string(check.required) +
                 " elements, it has " + std::to_string(check.capacity);
  }
  return shortfall;
}

const char* delimiter_name(char delimiter) {
  switch (delimiter) {
    case ',':
      return "comma-separated";
    case '\t':
      return "tab-separated";
    case ';':
      return "semicolon-separated";
    default:
      return nullptr;
  }
}

// The range beyond which a merged cell's rows count as far apart:
// kFarApart times the median range (the lower middle one) of all merged
// cells. Blocks of one trial differ by about as much from cell to cell; two
// trials at one place and time (or two entries under one name) differ by
// much more.
double far_apart_range(std::vector<double> ranges) {
  const auto middle = ranges.begin() + static_cast<std::ptrdiff_t>((ranges.size() - 1) / 2);
  std::nth_element(ranges.begin(), middle, ranges.end());
  return static_cast<double>(kFarApart) * *middle;
}

}  // namespace

std::string default_stem(const std::string& table) {
  return std::filesystem::path(table).stem().string();
}

std::string shell_word(const std::string& text) {
  bool plain = !text.empty();
  for (char c : text) {
    const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == '.' || c == '/' || c == '+' || c == ':' ||
                      c == ',' || c == '@' || c == '%';
    plain = plain && safe;
  }
  if (plain) return text;
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ImportResult import_table(const ImportOptions& options, StagedFiles* outputs,
                          const ImportMeanwhile& meanwhile) {
  ImportResult result;
  result.table = options.table;
  result.replicates = options.replicates;
  result.stem = options.stem ? *options.stem : default_stem(options.table);
  result.names_file = result.stem + ".NAQ";
  result.observations_file = result.stem + ".SEQ";
  result.names_table = result.stem + ".names.csv";
  result.title = one_line_text(
      options.title ? *options.title : std::filesystem::path(options.table).filename().string(),
      kTitleLength);

  TableReader reader(options.table, options.delimiter);
  TrialTable table(options, reader);
  load_trial_table(options.table, reader, table, options.threads, options.chunk_bytes);
  result.delimiter = reader.delimiter();
  result.delimiter_found = reader.delimiter_found();
  result.columns = table.columns();
  result.rows_read = table.rows_read();
  result.rows_missing = table.rows_missing();
  result.rows_empty = table.rows_empty();

  if (table.years().size() == 0) {
    throw ImportError(options.table + ": the table has a header but no rows");
  }
  write_job_files(table, options, result, outputs, meanwhile);
  return result;
}

void write_job_files(const TrialTable& table, const ImportOptions& options, ImportResult& result,
                     StagedFiles* outputs, const ImportMeanwhile& meanwhile) {
  const YearNumbering years = number_years(table.years().names());
  result.years_numeric = years.numeric;
  result.years = static_cast<std::int32_t>(table.years().size());
  result.locations = static_cast<std::int32_t>(table.locations().size());
  result.entries = static_cast<std::int32_t>(table.entries().size());
  const std::vector<std::string> year_names = in_number_order(table.years().names(), years.in_order);
  result.first_year = year_names.front();
  result.last_year = year_names.back();

  const ShortNames short_years = short_names(year_names);
  const ShortNames short_locations = short_names(table.locations().names());
  const ShortNames short_entries = short_names(table.entries().names());
  result.names_cut = short_years.cut + short_locations.cut + short_entries.cut;
  result.names_suffixed = short_years.suffixed + short_locations.suffixed + short_entries.suffixed;

  OutputFileSet files;
  OutputFile& names_file = files.create(result.names_file);
  write_names_file(names_file, {result.title, &short_years.names, &short_locations.names,
                                &short_entries.names});
  OutputFile& observations_file = files.create(result.observations_file);
  if (options.keep_observations) observations_file.keep_in_memory(InputUnit::kReadPadding);
  MergedCells merged;
  const unsigned threads = table_threads(options.threads);
  const RowsByYear by_year = rows_by_year(table.observations(), years);
  result.observations = write_observations_file(observations_file, table, by_year, years,
                                                options.replicates, &merged, threads);
  OutputFile& names_table = files.create(result.names_table);
  write_names_table(names_table, table, years, short_years, short_locations, short_entries);
  const std::string replicates_file = result.stem + ".replicates.csv";
  const bool any_merged = !merged.ranges.empty();
  double far_range = 0;
  if (any_merged) {
    result.replicates_file = replicates_file;
    far_range = far_apart_range(merged.ranges);
    result.median_range = static_cast<float>(far_range / static_cast<double>(kFarApart));
    const FarApartCells far = far_apart_cells(table, by_year, years, merged, far_range);
    result.far_apart = far.count;
    result.first_far_apart = far.first;
  }
  result.dialogue_shortfall = dialogue_shortfall(result.years, result.locations, result.entries);

  if (outputs == nullptr) {
    if (any_merged) {
      write_replicates_table(files.create(replicates_file), table, by_year, years, far_range,
                             threads);
    }
    files.commit();
    if (!any_merged) {
      std::error_code ignored;
      std::filesystem::remove(replicates_file, ignored);
    }
    if (options.keep_observations) result.observations_bytes = observations_file.take_kept();
    return;
  }

  files.hand_over(*outputs);
  if (options.keep_observations) result.observations_bytes = observations_file.take_kept();
  if (!any_merged) {
    // The list of an earlier import of this job would describe merges that
    // this one did not make: it goes when the new files are put in place.
    outputs->remove_when_published(replicates_file);
    if (meanwhile) meanwhile(result);
    return;
  }
  OutputFileSet later;
  OutputFile& replicates = later.create(replicates_file);
  std::future<void> writing;
  if (meanwhile) {
    try {
      writing = std::async(std::launch::async, [&] {
        write_replicates_table(replicates, table, by_year, years, far_range, threads);
      });
    } catch (const std::system_error&) {
      // No thread to be had: written first, here.
    }
  }
  if (!writing.valid()) {
    write_replicates_table(replicates, table, by_year, years, far_range, threads);
    later.hand_over(*outputs);
    if (meanwhile) meanwhile(result);
    return;
  }
  try {
    meanwhile(result);
  } catch (...) {
    writing.wait();
    throw;
  }
  writing.get();
  later.hand_over(*outputs);
}

void print_import_report(const ImportResult& r, std::FILE* out, bool next_command) {
  const char* kind = delimiter_name(r.delimiter);
  std::string delimiter =
      kind ? kind : std::string("separated by ") + quoted_for_message(std::string(1, r.delimiter));
  std::fprintf(out, "Imported %s (%s%s)\n", r.table.c_str(), delimiter.c_str(),
               r.delimiter_found ? ", found from the header" : "");
  const auto column = [&](std::size_t role, std::size_t number, const std::string& header) {
    static const char* const kRoles[4] = {"year", "location", "entry", "value"};
    static const char* const kOptions[4] = {"--year", "--location", "--entry", "--value"};
    std::fprintf(out, "  %-10s column %zu, %s", kRoles[role], number + 1,
                 quoted_for_message(header).c_str());
    if (r.columns.found_by_header[role]) {
      std::fprintf(out, " (found by its header");
      const std::vector<std::string>& others = r.columns.passed_over[role];
      for (std::size_t i = 0; i < others.size(); ++i) {
        std::fprintf(out, "%s%s", i == 0 ? "; passed over " : ", ",
                     quoted_for_message(others[i]).c_str());
      }
      if (!others.empty()) std::fprintf(out, ": %s COL takes another", kOptions[role]);
      std::fprintf(out, ")");
    }
    std::fprintf(out, "\n");
  };
  if (r.columns.no_year) {
    std::fprintf(out, "  %-10s none (--no-year): the table is one season, the year \"%s\"\n",
                 "year", std::string(kOnlyYearName).c_str());
  } else {
    column(0, r.columns.year, r.columns.year_header);
  }
  column(1, r.columns.location, r.columns.location_header);
  column(2, r.columns.entry, r.columns.entry_header);
  column(3, r.columns.value, r.columns.value_header);

  std::fprintf(out, "  %-10s %d, numbered %s: 1 = %s, %d = %s\n", "years", r.years,
               r.years_numeric ? "in ascending numeric order"
                               : "in order of first appearance (not every year name is a number)",
               quoted_for_message(r.first_year).c_str(), r.years,
               quoted_for_message(r.last_year).c_str());
  std::fprintf(out, "  %-10s %d, numbered in order of first appearance\n", "locations",
               r.locations);
  std::fprintf(out, "  %-10s %d, numbered in order of first appearance\n", "entries", r.entries);
  std::fprintf(out, "  %-10s %zu read: %zu with a value, %zu left out as missing", "rows",
               r.rows_read, r.rows_read - r.rows_missing, r.rows_missing);
  if (r.rows_empty > 0) std::fprintf(out, "; %zu empty rows passed over", r.rows_empty);
  std::fprintf(out, "\n");
  if (r.observations.replicated == 0) {
    std::fprintf(out, "  %-10s none: every year, location and entry has at most one row\n",
                 "replicates");
  } else if (r.replicates == Replicates::kMean) {
    std::fprintf(out,
                 "  %-10s %zu %s more than one row (%zu rows): each written as the mean "
                 "of its rows (--replicates mean)\n",
                 "replicates", r.observations.replicated,
                 r.observations.replicated == 1 ? "cell had" : "cells had",
                 r.observations.replicate_rows);
  } else {
    std::fprintf(out,
                 "  %-10s %zu %s more than one row (%zu rows): all written in table order; "
                 "the run keeps the last of each and reports the others as duplicate "
                 "observations (--replicates last)\n",
                 "replicates", r.observations.replicated,
                 r.observations.replicated == 1 ? "cell had" : "cells had",
                 r.observations.replicate_rows);
  }
  if (!r.replicates_file.empty()) {
    std::fprintf(out, "  %-10s each listed in %s: rows, mean, smallest and largest value, lines\n",
                 "", r.replicates_file.c_str());
  }
  if (r.far_apart > 0) {
    char median[32];
    std::snprintf(median, sizeof median, "%.3g", static_cast<double>(r.median_range));
    std::fprintf(out,
                 "  %-10s %zu %s rows far apart (a range more than %g times the median range, "
                 "%s): two trials at one place and time rather than two blocks of one, or two "
                 "entries under one name? The first: %s (far_apart in %s). Use a location "
                 "column that tells the trials apart, or --replicates last\n",
                 "warning", r.far_apart, r.far_apart == 1 ? "cell has" : "cells have",
                 static_cast<double>(kFarApart), median, r.first_far_apart.c_str(),
                 r.replicates_file.c_str());
  }
  if (r.names_cut == 0 && r.names_suffixed == 0) {
    std::fprintf(out, "  %-10s all fit the names file's 8 characters\n", "names");
  } else {
    std::fprintf(out, "  %-10s %zu longer than 8 characters cut for the names file", "names",
                 r.names_cut);
    if (r.names_suffixed > 0)
      std::fprintf(out, ", %zu made distinct with ~2, ~3, ...", r.names_suffixed);
    std::fprintf(out, "; full names in %s\n", r.names_table.c_str());
  }
  std::fprintf(out, "  %-10s %s, %s (%zu observations), %s\n", "written", r.names_file.c_str(),
               r.observations_file.c_str(), r.observations.written, r.names_table.c_str());
  // The report grows with the square of the number of years: a job whose
  // run would fill a good part of a disk is said so before it is run.
  const OutputSizes sizes =
      output_sizes(r.years, r.locations, r.entries, 1, r.years,
                   Measure::of(MeasureKind::kFisherZCorrelation, true));
  if (sizes.total() >= kLargeOutput) {
    std::fprintf(out,
                 "A run of all %d years writes %s (report %s, proximity file %s); --from and --to "
                 "run fewer.\n",
                 r.years, large_size_text(sizes.total()).c_str(), large_size_text(sizes.report).c_str(),
                 large_size_text(sizes.proximity).c_str());
  }
  if (!r.dialogue_shortfall.empty()) {
    std::fprintf(out,
                 "The console dialogue would refuse this job: its fixed work arrays are too small "
                 "(%s). locprox run sizes them to the job.\n",
                 r.dialogue_shortfall.c_str());
  }
  if (!next_command) return;
  std::fprintf(out, "Next:  locprox run %s --correlation fisher-z\n", shell_word(r.stem).c_str());
  std::fprintf(out,
               "       (other measures: --correlation plain, --distance centred, "
               "--distance standardised)\n");
}

int import_command(const ImportOptions& options, std::FILE* out, std::FILE* err) {
  try {
    const ImportResult result = import_table(options);
    print_import_report(result, out);
    std::fflush(out);
    if (result.locations == 1) {
      // The run would compare nothing; better said before it is run.
      std::fprintf(err,
                   "locprox: warning: %s: the table has 1 location, so no pair of locations can "
                   "be compared; check the location column (column %zu, %s)\n",
                   result.table.c_str(), result.columns.location + 1,
                   quoted_for_message(result.columns.location_header).c_str());
    }
    return 0;
  } catch (const ImportError& error) {
    std::fprintf(err, "locprox: %s\n", error.what());
    return 2;
  } catch (const std::bad_alloc&) {
    std::fprintf(err, "locprox: %s: out of memory\n", options.table.c_str());
    return 2;
  }
}

}  // namespace locprox
