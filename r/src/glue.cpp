// The R entry point: `locprox analyse` on a table the R side has written,
// with everything the command prints caught and handed back to R as text.
// No exception leaves this file: each becomes an R error with its message.
#include <Rcpp.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>

#include "command_line/analyse_command.h"
#include "format/measure.h"

namespace {

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

locprox::MeasureKind measure_kind(const std::string& name) {
  if (name == "fisher-z") return locprox::MeasureKind::kFisherZCorrelation;
  if (name == "plain") return locprox::MeasureKind::kPlainCorrelation;
  if (name == "centred") return locprox::MeasureKind::kCentredDistance;
  if (name == "standardised") return locprox::MeasureKind::kStandardisedDistance;
  throw std::invalid_argument("unknown measure " + name);
}

}  // namespace

// [[Rcpp::export(rng = false)]]
Rcpp::List analyse_table_files(std::string table, std::string folder, std::string stem,
                               std::string title, std::string year, std::string location,
                               std::string entry, std::string value, std::string measure,
                               bool weighted, bool replicates_last,
                               Rcpp::Nullable<Rcpp::String> from,
                               Rcpp::Nullable<Rcpp::String> to, int groups,
                               std::string messages_path) {
  int status = 2;
  std::string failure;
  try {
    locprox::AnalyseOptions options;
    options.import.table = table;
    options.import.year_column = year;
    options.import.location_column = location;
    options.import.entry_column = entry;
    options.import.value_column = value;
    options.import.stem = stem;
    options.import.title = title;
    options.import.replicates =
        replicates_last ? locprox::Replicates::kLast : locprox::Replicates::kMean;
    options.run.measure = locprox::Measure::of(measure_kind(measure), weighted);
    options.run.quiet = true;
    options.run.threads = 1;
    if (from.isNotNull()) options.run.from = std::string(Rcpp::String(from.get()).get_cstring());
    if (to.isNotNull()) options.run.to = std::string(Rcpp::String(to.get()).get_cstring());
    options.out = folder;
    if (groups > 0) options.groups = groups;

    std::FILE* out = std::fopen((messages_path + ".out").c_str(), "wb");
    int error_fd = ::open((messages_path + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out == nullptr || error_fd < 0) {
      if (out != nullptr) std::fclose(out);
      if (error_fd >= 0) ::close(error_fd);
      throw std::runtime_error("cannot write the messages file " + messages_path);
    }
    try {
      status = locprox::analyse_command(options, out, error_fd);
    } catch (...) {
      std::fclose(out);
      ::close(error_fd);
      throw;
    }
    std::fclose(out);
    ::close(error_fd);
  } catch (const std::bad_alloc&) {
    failure = "out of memory";
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "unknown failure in the engine";
  }
  if (!failure.empty()) Rcpp::stop(failure);
  return Rcpp::List::create(Rcpp::Named("status") = status,
                            Rcpp::Named("output") = file_text(messages_path + ".out"),
                            Rcpp::Named("errors") = file_text(messages_path + ".err"));
}
