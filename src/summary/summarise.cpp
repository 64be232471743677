#include "summary/summarise.h"

#include <filesystem>
#include <string>
#include <vector>

#include "summary/averages.h"
#include "summary/clustering.h"
#include "summary/csv_tables.h"
#include "summary/errors.h"
#include "summary/heatmap_svg.h"
#include "summary/job_names.h"
#include "summary/output_file.h"
#include "summary/proximity_reader.h"
#include "summary/summary_report.h"

namespace locprox::summary {

namespace {

std::string file_name(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

}  // namespace

int summarise(const CommandLine& command, std::FILE* out) {
  const ProximityFile file = read_proximity_file(command.proximity_file, command.year);
  const std::int32_t maxl = file.dims.maxl;

  std::vector<std::string> names;
  std::string names_source;
  const std::string names_path = command.names.value_or(default_names_file(command.proximity_file));
  if (command.names || std::filesystem::exists(names_path)) {
    names = read_job_names(names_path, file.dims).locations;
    names_source = "names from " + names_path;
  } else {
    names = numbered_locations(maxl);
    names_source = "numbered: no names file " + names_path;
  }
  if (command.groups && *command.groups > maxl) {
    throw InputError("--groups " + std::to_string(*command.groups) +
                     " asks for more groups than the " + std::to_string(maxl) + " locations of " +
                     command.proximity_file);
  }

  const Averages averages = form_averages(file, command.keep_z, command.min_common);
  const PairCounts pairs = count_pairs(averages);
  std::vector<std::uint8_t> compared(averages.state.size());
  for (size_t p = 0; p < compared.size(); ++p)
    compared[p] = averages.state[p] == PairState::compared;
  const Dendrogram tree = average_linkage(maxl, averages.distance, compared);

  if (file.unknown_counts > 0) {
    std::fprintf(stderr,
                 "locprox-summary: warning: %s: %ld count field(s) of year %d were written as "
                 "asterisks (too wide for six columns); they are left empty in the CSV and %lld "
                 "pair(s) that need one have no average\n",
                 command.proximity_file.c_str(), file.unknown_counts, file.group.year,
                 static_cast<long long>(pairs.unknown));
  }

  const std::string stem = command.out.value_or(job_stem(command.proximity_file));
  const std::string pairs_path = stem + ".pairs.csv";
  const std::string matrix_path = stem + ".matrix.csv";
  const std::string svg_path = stem + ".svg";
  write_file(pairs_path, pairs_csv(file, averages, names));
  write_file(matrix_path, matrix_csv(averages, names));

  PictureText text;
  text.title = file_name(stem) + ": " + value_label(file.options, command.keep_z) + ", " +
               (file.options.weighted() ? "weighted" : "unweighted") + ", year " +
               std::to_string(file.group.year);
  const std::string year_name = display_name(file.group.year_name);
  if (!year_name.empty()) text.title += " (" + year_name + ")";
  text.subtitle = measure_text(file.options, command.keep_z) + "; " + weighting_text(file.options);
  text.counts = std::to_string(maxl) + " locations, " + std::to_string(pairs.pairs) +
                " pairs: " + std::to_string(pairs.compared) + " compared, " +
                std::to_string(pairs.never_compared) + " never compared, " +
                std::to_string(pairs.few_common) + " on fewer than " +
                std::to_string(command.min_common) + " entries in common";
  text.scale_label = value_label(file.options, command.keep_z);
  // Short enough for the width of the tree.
  text.height_label =
      std::string("average linkage on ") + (file.options.distance() ? "the distance" : "1 - r");
  text.min_common = command.min_common;
  write_file(svg_path, heatmap_svg(averages, tree, names, text));

  ReportFacts facts;
  facts.proximity_file = command.proximity_file;
  facts.names_source = names_source;
  facts.file = &file;
  facts.keep_z = command.keep_z;
  facts.pairs = pairs;
  facts.min_common = command.min_common;
  facts.written = {pairs_path, matrix_path, svg_path};
  std::string report = summary_text(facts);
  if (command.groups) {
    report += groups_text(cut_tree(tree, *command.groups), tree.order, names, *command.groups,
                          distance_label(file.options));
  }
  std::fputs(report.c_str(), out);
  return 0;
}

}  // namespace locprox::summary
