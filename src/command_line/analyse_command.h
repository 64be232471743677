// `locprox analyse TABLE`: the import, the run and the summary in one
// command. Everything goes into one folder (--out DIR; by default a folder
// named after the table's stem, beside the table): the job files STEM.NAQ,
// STEM.SEQ and STEM.names.csv, the report STEM.OCC, the proximity file
// STEM.PRX, the run's console messages STEM.console.txt, and the summary's
// STEM.pairs.csv, STEM.matrix.csv, STEM.tree.csv and picture STEM.svg. It
// prints what the import did and the summary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "command_line/run_command.h"
#include "import/import_options.h"

namespace locprox {

struct AnalyseOptions {
  ImportOptions import;  // its stem, when given, names the files inside DIR
  RunOptions run;        // without a measure given: correlations averaged through Fisher's z
  std::optional<std::string> out;      // DIR
  std::optional<std::int32_t> groups;  // the summary's --groups K
};

// The folder a table's analysis goes into by default: beside the table,
// named after its stem ("data/trial.csv" gives "data/trial").
std::string default_analysis_folder(const std::string& table);

// Returns the exit status: 0 when all three steps are done; 1 when the run is
// refused (or the summary cannot write a file); 2 after an error of the
// import, the run or the summary.
int analyse_command(const AnalyseOptions& options, std::FILE* out, int error_fd);

}  // namespace locprox
