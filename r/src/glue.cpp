// The R entry points. analyse_columns() imports a data frame's columns in
// memory, runs the job and summarises it, all in this process; read_prox()
// summarises a proximity file made by the command line. Both hand back the
// summary's values at full precision, built from the engine's own
// structures, with the summary's printed account and its warnings as text:
// the R side prints and warns through R's own functions, so nothing here
// writes to the console. No exception leaves this file: a failure becomes an
// R error with the engine's message.
#include <Rcpp.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "command_line/run_command.h"
#include "format/measure.h"
#include "import/import_columns.h"
#include "import/import_error.h"
#include "summary/errors.h"
#include "summary/job_names.h"
#include "summary/pair_trust.h"
#include "summary/summarise.h"
#include "summary/summary_values.h"
#include "summary/warnings.h"
#include "summary/yearly_values.h"

namespace {

namespace summary = locprox::summary;

// An anonymous temporary file that catches what the engine writes to a
// stream or a descriptor.
class CapturedText {
 public:
  CapturedText() : file_(std::tmpfile()) {
    if (file_ == nullptr) throw std::runtime_error("cannot make a temporary file");
  }
  ~CapturedText() { std::fclose(file_); }
  CapturedText(const CapturedText&) = delete;
  CapturedText& operator=(const CapturedText&) = delete;

  std::FILE* stream() { return file_; }
  int descriptor() { return fileno(file_); }
  std::string text() {
    std::fflush(file_);
    std::string text;
    if (std::fseek(file_, 0, SEEK_SET) != 0) return text;
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file_)) > 0) text.append(block, got);
    return text;
  }

 private:
  std::FILE* file_;
};

void collect_warning(const std::string& text, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(text);
}

std::vector<std::string> strings_of(const Rcpp::CharacterVector& column) {
  std::vector<std::string> strings;
  strings.reserve(column.size());
  for (R_xlen_t i = 0; i < column.size(); ++i) {
    strings.push_back(Rcpp::CharacterVector::is_na(column[i]) ? std::string()
                                                              : std::string(column[i]));
  }
  return strings;
}

locprox::MeasureKind measure_kind(const std::string& name) {
  if (name == "fisher-z") return locprox::MeasureKind::kFisherZCorrelation;
  if (name == "plain") return locprox::MeasureKind::kPlainCorrelation;
  if (name == "centred") return locprox::MeasureKind::kCentredDistance;
  if (name == "standardised") return locprox::MeasureKind::kStandardisedDistance;
  throw std::invalid_argument("unknown measure " + name);
}

// An integer count for R: NA when unknown or beyond R's integers.
int count_for_r(std::int64_t count, bool known) {
  if (!known || count > std::numeric_limits<int>::max() || count < -std::numeric_limits<int>::max())
    return NA_INTEGER;
  return static_cast<int>(count);
}

Rcpp::CharacterVector utf8_strings(const std::vector<std::string>& strings) {
  Rcpp::CharacterVector vector(strings.size());
  for (std::size_t i = 0; i < strings.size(); ++i)
    vector[i] = Rf_mkCharCE(strings[i].c_str(), CE_UTF8);
  return vector;
}

// The pairs as pairs.csv has them: one row per pair i <= j (no diagonal for
// a distance), the average NA where the pair was never compared.
double or_na(const std::optional<double>& value) { return value ? *value : NA_REAL; }

Rcpp::DataFrame pairs_frame(const summary::SummaryValues& values,
                            const std::vector<std::string>& names,
                            const std::vector<summary::PairTrust>& trust) {
  const summary::Averages& averages = values.averages;
  const std::int32_t maxl = averages.locations;
  const bool distance = values.file.options.distance();
  std::vector<int> location_i, location_j, common, years;
  std::vector<std::string> name_i, name_j;
  std::vector<double> average, sum, ci_low, ci_high, q, p_value, sd_years;
  std::vector<int> df;
  for (std::int32_t i = 1; i <= maxl; ++i) {
    for (std::int32_t j = i; j <= maxl; ++j) {
      if (i == j && distance) continue;
      const std::size_t p = locprox::packed_index(i, j);
      location_i.push_back(i);
      location_j.push_back(j);
      name_i.push_back(names[static_cast<std::size_t>(i - 1)]);
      name_j.push_back(names[static_cast<std::size_t>(j - 1)]);
      average.push_back(averages.state[p] == summary::PairState::compared ? averages.value[p]
                                                                         : NA_REAL);
      sum.push_back(values.file.group.prox[p]);
      common.push_back(count_for_r(averages.common[p], averages.common_known[p] != 0));
      years.push_back(count_for_r(values.file.group.nypair[p],
                                  values.file.group.nypair_is_known(p)));
      const summary::PairTrust none;
      const summary::PairTrust& t = trust.empty() ? none : trust[p];
      ci_low.push_back(or_na(t.ci_low));
      ci_high.push_back(or_na(t.ci_high));
      q.push_back(or_na(t.q));
      df.push_back(t.df ? count_for_r(*t.df, true) : NA_INTEGER);
      p_value.push_back(or_na(t.p));
      sd_years.push_back(or_na(t.sd_years));
    }
  }
  // More columns than DataFrame::create takes at once: a list made a data frame.
  Rcpp::List columns = Rcpp::List::create(
      Rcpp::Named("location_i") = Rcpp::wrap(location_i), Rcpp::Named("name_i") = utf8_strings(name_i),
      Rcpp::Named("location_j") = Rcpp::wrap(location_j), Rcpp::Named("name_j") = utf8_strings(name_j),
      Rcpp::Named("average") = Rcpp::wrap(average), Rcpp::Named("sum") = Rcpp::wrap(sum),
      Rcpp::Named("entries_in_common") = Rcpp::wrap(common),
      Rcpp::Named("years_compared") = Rcpp::wrap(years));
  columns["ci_low"] = Rcpp::wrap(ci_low);
  columns["ci_high"] = Rcpp::wrap(ci_high);
  columns["heterogeneity_q"] = Rcpp::wrap(q);
  columns["heterogeneity_df"] = Rcpp::wrap(df);
  columns["heterogeneity_p"] = Rcpp::wrap(p_value);
  columns["sd_years"] = Rcpp::wrap(sd_years);
  columns.attr("class") = "data.frame";
  columns.attr("row.names") = Rcpp::IntegerVector::create(NA_INTEGER, -static_cast<int>(location_i.size()));
  return columns;
}

// The averages as a symmetric matrix, NA where there is none.
Rcpp::NumericMatrix averages_matrix(const summary::Averages& averages,
                                    const Rcpp::CharacterVector& names) {
  const std::int32_t maxl = averages.locations;
  Rcpp::NumericMatrix matrix(maxl, maxl);
  for (std::int32_t i = 1; i <= maxl; ++i) {
    for (std::int32_t j = 1; j <= maxl; ++j) {
      const std::size_t p = i <= j ? locprox::packed_index(i, j) : locprox::packed_index(j, i);
      matrix(i - 1, j - 1) =
          averages.state[p] == summary::PairState::compared ? averages.value[p] : NA_REAL;
    }
  }
  Rcpp::rownames(matrix) = names;
  Rcpp::colnames(matrix) = names;
  return matrix;
}

// The tree as the parts of an hclust object.
Rcpp::List tree_parts(const summary::Dendrogram& tree, const Rcpp::CharacterVector& names) {
  const std::vector<summary::TreeRow> rows = summary::tree_rows(tree);
  Rcpp::IntegerMatrix merge(static_cast<int>(rows.size()), 2);
  Rcpp::NumericVector height(rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    merge(static_cast<int>(k), 0) = rows[k].first;
    merge(static_cast<int>(k), 1) = rows[k].second;
    height[k] = rows[k].height;
  }
  Rcpp::IntegerVector order(tree.order.size());
  for (std::size_t k = 0; k < tree.order.size(); ++k) order[k] = tree.order[k] + 1;
  return Rcpp::List::create(Rcpp::Named("merge") = merge, Rcpp::Named("height") = height,
                            Rcpp::Named("order") = order, Rcpp::Named("labels") = names);
}

// Each year's own value of every pair compared that year, up to the year
// summarised: the columns of STEM.years.csv.
Rcpp::DataFrame years_frame(const summary::ProximityHistory& history,
                            const std::vector<summary::YearlyValue>& yearly,
                            const summary::SummaryValues& values,
                            const std::vector<std::string>& names) {
  std::vector<std::string> year, name_i, name_j;
  std::vector<int> year_number, location_i, location_j, common;
  std::vector<double> value;
  for (const summary::YearlyValue& v : yearly) {
    const summary::YearGroup& group = history.years[v.year_index];
    const std::size_t y = static_cast<std::size_t>(group.year);
    year.push_back(y >= 1 && y <= values.names.years.size() ? values.names.years[y - 1]
                                                           : summary::display_name(group.year_name));
    year_number.push_back(group.year);
    location_i.push_back(v.i);
    name_i.push_back(names[static_cast<std::size_t>(v.i - 1)]);
    location_j.push_back(v.j);
    name_j.push_back(names[static_cast<std::size_t>(v.j - 1)]);
    value.push_back(v.value);
    common.push_back(count_for_r(v.entries_in_common, true));
  }
  return Rcpp::DataFrame::create(
      Rcpp::Named("year") = utf8_strings(year), Rcpp::Named("year_number") = Rcpp::wrap(year_number),
      Rcpp::Named("location_i") = Rcpp::wrap(location_i), Rcpp::Named("name_i") = utf8_strings(name_i),
      Rcpp::Named("location_j") = Rcpp::wrap(location_j), Rcpp::Named("name_j") = utf8_strings(name_j),
      Rcpp::Named("value") = Rcpp::wrap(value),
      Rcpp::Named("entries_in_common") = Rcpp::wrap(common),
      Rcpp::Named("stringsAsFactors") = false);
}

// summarise() for its files and account, then the same summary as values.
Rcpp::List summarised(const summary::CommandLine& command) {
  std::vector<std::string> warnings;
  const summary::WarningRoute route(collect_warning, &warnings);
  CapturedText account;
  summary::summarise(command, account.stream());
  const summary::SummaryValues values = summary::summary_values(command);
  const std::vector<std::string>& names = values.names.locations;
  const Rcpp::CharacterVector r_names = utf8_strings(names);
  // Each year up to the one summarised, as the summary reads them.
  summary::ProximityHistory history = summary::read_proximity_history(command.proximity_file);
  history.years.resize(static_cast<std::size_t>(values.file.group.year - values.file.dims.iys + 1));
  const std::vector<summary::YearlyValue> yearly = summary::yearly_values(history, command.keep_z);
  const std::vector<summary::PairTrust> trust =
      summary::pair_trust(values.file, values.averages, yearly, command.keep_z);
  Rcpp::List result = Rcpp::List::create(
      Rcpp::Named("pairs") = pairs_frame(values, names, trust),
      Rcpp::Named("matrix") = averages_matrix(values.averages, r_names),
      Rcpp::Named("tree") = tree_parts(values.tree, r_names), Rcpp::Named("names") = r_names,
      Rcpp::Named("years") = years_frame(history, yearly, values, names),
      Rcpp::Named("account") = account.text(), Rcpp::Named("warnings") = utf8_strings(warnings));
  if (command.groups) {
    Rcpp::IntegerVector groups(values.groups.begin(), values.groups.end());
    groups.names() = r_names;
    result["groups"] = groups;
  }
  return result;
}

// Runs `work`; any exception becomes an R error with its message.
template <class Work>
Rcpp::List or_r_error(Work work) {
  std::string failure;
  try {
    return work();
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unknown failure in the engine";
  }
  Rcpp::stop(failure);
}

// The engine's message without the program's name in front or the line end.
std::string message_text(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  const std::string program = "locprox: ";
  std::string cleaned;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (line.compare(0, program.size(), program) == 0) line.erase(0, program.size());
    if (!cleaned.empty()) cleaned += '\n';
    cleaned += line;
    start = end + 1;
  }
  return cleaned;
}

}  // namespace

// [[Rcpp::export(rng = false)]]
Rcpp::List analyse_columns(Rcpp::CharacterVector years, Rcpp::CharacterVector locations,
                           Rcpp::CharacterVector entries, Rcpp::NumericVector values,
                           Rcpp::CharacterVector headers, std::string folder, std::string stem,
                           std::string measure, bool weighted, bool replicates_last,
                           Rcpp::Nullable<Rcpp::String> from, Rcpp::Nullable<Rcpp::String> to,
                           int groups) {
  return or_r_error([&]() -> Rcpp::List {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) {
      throw std::runtime_error("cannot make the folder " + folder + ": " +
                               (error ? error.message() : std::string("a file of that name is there")));
    }
    const std::string job = (fs::path(folder) / stem).string();

    // 1. The import, in memory.
    locprox::TrialColumns columns;
    columns.name = stem;
    const std::vector<std::string> header = strings_of(headers);
    if (header.size() != 4) throw std::invalid_argument("four column headers are needed");
    columns.year_header = header[0];
    columns.location_header = header[1];
    columns.entry_header = header[2];
    columns.value_header = header[3];
    columns.years = strings_of(years);
    columns.locations = strings_of(locations);
    columns.entries = strings_of(entries);
    columns.values.assign(values.begin(), values.end());
    locprox::ImportOptions import;
    import.stem = job;
    import.title = stem;
    import.replicates = replicates_last ? locprox::Replicates::kLast : locprox::Replicates::kMean;
    std::vector<std::string> import_warnings;
    try {
      const locprox::ImportResult imported = locprox::import_columns(columns, import);
      if (imported.far_apart > 0) {
        char median[32];
        std::snprintf(median, sizeof median, "%.3g", static_cast<double>(imported.median_range));
        char times[32];
        std::snprintf(times, sizeof times, "%g", static_cast<double>(locprox::kFarApart));
        import_warnings.push_back(
            std::to_string(imported.far_apart) +
            (imported.far_apart == 1 ? " cell has" : " cells have") +
            " rows far apart (a range more than " + times + " times the median range, " +
            median + "): two trials at one place and time rather than two blocks of one, or two "
            "entries under one name? The first: " + imported.first_far_apart +
            " (far_apart in " + stem + ".replicates.csv). Use a location column that tells the "
            "trials apart, or replicates = \"last\"");
      }
      if (imported.locations == 1) {
        import_warnings.push_back(stem + ": the data have 1 location, so no pair of locations "
                                  "can be compared; check the location column \"" +
                                  columns.location_header + "\"");
      }
    } catch (const locprox::ImportError& failure) {
      throw std::runtime_error(failure.what());
    }

    // 2. The run, its console messages into STEM.console.txt as the command line has them.
    locprox::RunOptions run;
    run.stem = job;
    run.measure = locprox::Measure::of(measure_kind(measure), weighted);
    run.threads = 1;
    if (from.isNotNull()) run.from = std::string(Rcpp::String(from.get()).get_cstring());
    if (to.isNotNull()) run.to = std::string(Rcpp::String(to.get()).get_cstring());
    CapturedText errors;
    int status;
    {
      std::FILE* console = std::fopen((job + ".console.txt").c_str(), "wb");
      if (console == nullptr) throw std::runtime_error("cannot write " + job + ".console.txt");
      status = locprox::run_command(run, fileno(console), errors.descriptor());
      if (std::fclose(console) != 0 && status == 0)
        throw std::runtime_error("cannot write " + job + ".console.txt");
    }
    if (status != 0) {
      std::string message = message_text(errors.text());
      if (message.empty()) message = "the run was refused";
      throw std::runtime_error(message);
    }

    // 3. The summary of the last year's group.
    summary::CommandLine command;
    command.proximity_file = job + ".PRX";
    command.threads = 1;  // one thread, as the run above
    if (groups > 0) command.groups = groups;
    try {
      Rcpp::List result = summarised(command);
      result["run_messages"] = errors.text();
      result["import_warnings"] = utf8_strings(import_warnings);
      return result;
    } catch (const summary::NothingCompared&) {
      // The summary of an earlier analysis in this folder would be read as
      // this one's: it goes, as the command line's analyse removes it.
      for (const char* ending : {".pairs.csv", ".matrix.csv", ".tree.csv", ".years.csv", ".svg",
                                 ".groups.csv", ".stability.csv"}) {
        std::error_code ignored;
        fs::remove(job + ending, ignored);
      }
      throw;
    }
  });
}

// [[Rcpp::export(rng = false)]]
Rcpp::List read_prox(std::string path, int year, int groups, std::string out_stem) {
  return or_r_error([&]() -> Rcpp::List {
    summary::CommandLine command;
    command.proximity_file = path;
    command.threads = 1;  // one thread, as analyse() runs
    if (year != NA_INTEGER) command.year = year;
    if (groups > 0) command.groups = groups;
    command.out = out_stem;
    return summarised(command);
  });
}
