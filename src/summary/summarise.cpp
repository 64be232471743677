#include "summary/summarise.h"

#include <algorithm>
#include <filesystem>
#include <future>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "job/worker_pool.h"
#include "summary/averages.h"
#include "summary/clustering.h"
#include "summary/csv_tables.h"
#include "summary/errors.h"
#include "summary/group_choice.h"
#include "summary/heatmap_svg.h"
#include "summary/html_report.h"
#include "summary/job_names.h"
#include "summary/number_text.h"
#include "summary/output_file.h"
#include "summary/pair_trust.h"
#include "summary/proximity_reader.h"
#include "summary/refusal_reason.h"
#include "summary/shown_names.h"
#include "summary/stability.h"
#include "summary/summary_report.h"
#include "summary/trust_report.h"
#include "summary/warnings.h"
#include "summary/yearly_values.h"

namespace locprox::summary {

namespace {

std::string file_name(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The proximity file, every year's group, or RefusedRun with the reason from
// the report beside it.
ProximityHistory read_or_explain(const CommandLine& command) {
  try {
    return read_proximity_history(command.proximity_file, command.year, command.threads);
  } catch (const RefusedRun& refused) {
    throw explained_refusal(refused, command.proximity_file);
  }
}

}  // namespace

int summarise(const CommandLine& command, std::FILE* out) {
  // The file is read once: the year summarised and the years up to it.
  ProximityHistory history = read_or_explain(command);
  const ProximityFile file = proximity_file_of(history, command.year);
  const std::int32_t maxl = file.dims.maxl;

  const ShownNames shown = shown_names(command, file);
  for (const std::string& warning : shown.warnings) {
    warn(warning);
  }
  const std::vector<std::string>& names = shown.locations;
  const size_t year = static_cast<size_t>(file.group.year);
  const std::string year_name = year >= 1 && year <= shown.years.size()
                                    ? shown.years[year - 1]
                                    : display_name(file.group.year_name);
  if (command.groups && *command.groups > maxl) {
    throw InputError("--groups " + std::to_string(*command.groups) +
                     " asks for more groups than the " + std::to_string(maxl) + " locations of " +
                     command.proximity_file);
  }

  const Averages averages = form_averages(file, command.keep_z, command.min_common);
  const PairCounts pairs = count_pairs(averages);
  if (pairs.compared == 0 && pairs.unknown == 0) {
    // Every cell would be empty and the tree a chain of joins at no height:
    // nothing to group.
    throw NothingCompared(
        command.proximity_file + ": no pair compared: " +
        (maxl < 2 ? std::string("the job has ") + std::to_string(maxl) +
                        (maxl == 1 ? " location" : " locations")
                  : "no two of the " + std::to_string(maxl) +
                        " locations were compared in years " + std::to_string(file.dims.iys) +
                        " to " + std::to_string(file.group.year)) +
        "; nothing to summarise (check the year and location columns of the table)");
  }
  std::vector<std::uint8_t> compared(averages.state.size());
  for (size_t p = 0; p < compared.size(); ++p)
    compared[p] = averages.state[p] == PairState::compared;
  const Dendrogram tree = average_linkage(maxl, averages.distance, compared);

  if (file.unknown_counts > 0) {
    warn(command.proximity_file + ": " + std::to_string(file.unknown_counts) +
         " count field(s) of year " + std::to_string(file.group.year) +
         " were written as asterisks (too wide for six columns); they are left empty in the CSV "
         "and " + std::to_string(pairs.unknown) + " pair(s) that need one have no average");
  }

  // Each year up to the one summarised.
  history.years.resize(static_cast<size_t>(file.group.year - file.dims.iys + 1));
  std::vector<std::string> year_names;
  for (const YearGroup& g : history.years) {
    const size_t y = static_cast<size_t>(g.year);
    year_names.push_back(y >= 1 && y <= shown.years.size() ? shown.years[y - 1]
                                                           : display_name(g.year_name));
  }
  // The groups asked for, else the number the tree's heights suggest.
  std::optional<std::int32_t> groups = command.groups;
  std::string groups_reason;
  if (!groups) {
    if (const std::optional<GroupChoice> choice = choose_groups(tree)) {
      groups = choice->groups;
      groups_reason = group_choice_text(*choice);
    }
  }
  // The leave-one-year-out runs go on beside the tables and the picture, on
  // all but one of the threads (on this thread, later, with one thread).
  const unsigned threads = command.threads == 0 ? default_thread_count() : command.threads;
  std::future<Stability> leave_one_year_out_runs;
  if (groups) {
    auto runs = [&file, &history, &groups, threads] {
      return leave_one_year_out(file, history, *groups, std::max(1u, threads - 1));
    };
    try {
      leave_one_year_out_runs =
          std::async(threads > 1 ? std::launch::async : std::launch::deferred, runs);
    } catch (const std::system_error&) {
      leave_one_year_out_runs = std::async(std::launch::deferred, runs);  // no thread to be had
    }
  }
  const std::vector<YearlyValue> yearly = yearly_values(history, command.keep_z);
  const std::vector<PairTrust> trust = pair_trust(file, averages, yearly, command.keep_z);

  const std::string stem = command.out.value_or(job_stem(command.proximity_file));
  const std::string pairs_path = stem + ".pairs.csv";
  const std::string matrix_path = stem + ".matrix.csv";
  const std::string tree_path = stem + ".tree.csv";
  const std::string svg_path = stem + ".svg";
  const std::string years_path = stem + ".years.csv";
  const std::string groups_path = stem + ".groups.csv";
  const std::string stability_path = stem + ".stability.csv";
  // The state summarised covers the sequence's years up to this one.
  const std::string first_year_name = year_names.empty() ? year_name : year_names.front();

  PictureText text;
  // The job's title where the names file gives one, else the file's stem.
  text.title = (shown.title.empty() ? file_name(stem) : shown.title) + ": " +
               value_label(file.options, command.keep_z) + ", " +
               (file.options.weighted() ? "weighted" : "unweighted") + ", " +
               years_span(first_year_name, year_name, file.dims.iys, file.group.year);
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
  // In a weighted Fisher z run the pale cells are the pairs whose interval
  // is too wide: it weighs the entries of each year and the years together.
  Averages pictured = averages;
  if (file.options.fisher_z() && file.options.weighted()) {
    for (size_t p = 0; p < pictured.few_common.size(); ++p) {
      const PairTrust& t = trust[p];
      pictured.few_common[p] = t.ci_low && *t.ci_high - *t.ci_low > command.max_interval;
    }
    text.pale_rule = "95 % interval wider than " + average_text(command.max_interval);
  }

  // The files' texts are made on every thread (beside the leave-one-year-out
  // runs), each by one task, then written in a fixed order on this thread.
  struct Table {
    const std::string* path;
    std::string text;
  };
  Table tables[] = {{&pairs_path, {}}, {&matrix_path, {}}, {&tree_path, {}},
                    {&years_path, {}}, {&groups_path, {}}, {&svg_path, {}}};
  auto make_table = [&](size_t k) {
    switch (k) {
      case 0: tables[0].text = pairs_csv(file, averages, names, trust); break;
      case 1: tables[1].text = matrix_csv(averages, names); break;
      case 2: tables[2].text = tree_csv(tree); break;
      case 3: tables[3].text = years_csv(history, yearly, names, year_names); break;
      case 4: tables[4].text = groups_csv(tree, names); break;
      case 5: tables[5].text = heatmap_svg(pictured, tree, names, text); break;
    }
  };
  {
    // The largest tables first, so that the small ones fill in at the end.
    const size_t order[] = {0, 3, 1, 5, 2, 4};
    auto make_in_order = [&](size_t k) { make_table(order[k]); };
    WorkerPool pool(std::min<unsigned>(threads, std::size(order)));
    pool.run(std::size(order), make_in_order);
  }
  for (Table& table : tables) {
    write_file(*table.path, table.text);
    std::string().swap(table.text);
  }
  // The page shows the leave-one-year-out figures, so it waits for them.
  std::optional<Stability> stability;
  if (groups) {
    stability = leave_one_year_out_runs.get();
    write_file(stability_path, stability_csv(*stability, names));
  }
  if (command.html) {
    write_file(stem + ".html", summary_page(command, shown, history, year_names, stem, trust,
                                            groups, pictured.few_common, text.pale_rule,
                                            stability ? &*stability : nullptr));
  }

  ReportFacts facts;
  facts.proximity_file = command.proximity_file;
  facts.names_source = shown.source;
  facts.first_year_name = first_year_name;
  facts.year_name = year_name;
  facts.file = &file;
  facts.keep_z = command.keep_z;
  facts.pairs = pairs;
  facts.min_common = command.min_common;
  facts.written = {pairs_path, matrix_path, tree_path, svg_path, years_path, groups_path};
  if (stability) facts.written.push_back(stability_path);
  if (command.html) facts.written.push_back(stem + ".html");
  std::string report = summary_text(facts);
  if (groups) {
    report += groups_reason;
    report += groups_text(stability->full_group, tree.order, names, *groups,
                          distance_label(file.options));
    report += stability_text(*stability, names, year_names, stability_path);
  }
  report += pairs_to_act_on_text(averages, trust, names, command.keep_z, pairs_path, years_path);
  std::fputs(report.c_str(), out);
  return 0;
}

}  // namespace locprox::summary
