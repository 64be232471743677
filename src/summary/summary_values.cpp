#include "summary/summary_values.h"

#include <limits>
#include <utility>

#include "summary/errors.h"
#include "summary/job_names.h"
#include "summary/refusal_reason.h"

namespace locprox::summary {

namespace {

// The proximity file, or RefusedRun with the reason from the report beside it.
ProximityFile read_or_explain(const CommandLine& command) {
  try {
    return read_proximity_file(command.proximity_file, command.year);
  } catch (const RefusedRun& refused) {
    throw explained_refusal(refused, command.proximity_file);
  }
}

}  // namespace

SummaryValues summary_values(const CommandLine& command) {
  SummaryValues values;
  values.file = read_or_explain(command);
  const ProximityFile& file = values.file;
  const std::int32_t maxl = file.dims.maxl;
  values.names = shown_names(command, file);
  const size_t year = static_cast<size_t>(file.group.year);
  values.year_name = year >= 1 && year <= values.names.years.size()
                         ? values.names.years[year - 1]
                         : display_name(file.group.year_name);
  if (command.groups && *command.groups > maxl) {
    throw InputError("--groups " + std::to_string(*command.groups) +
                     " asks for more groups than the " + std::to_string(maxl) + " locations of " +
                     command.proximity_file);
  }
  values.averages = form_averages(file, command.keep_z, command.min_common);
  values.pairs = count_pairs(values.averages);
  std::vector<std::uint8_t> compared(values.averages.state.size());
  for (size_t p = 0; p < compared.size(); ++p)
    compared[p] = values.averages.state[p] == PairState::compared;
  values.tree = average_linkage(maxl, values.averages.distance, compared);
  if (command.groups) values.groups = cut_tree(values.tree, *command.groups);
  return values;
}

std::vector<TreeRow> tree_rows(const Dendrogram& tree) {
  const std::int32_t n = tree.leaves;
  // A location (node id below n) is -(its number); the node made by merge k
  // is the group of step k + 1.
  auto code = [n](std::int32_t node) { return node < n ? -(node + 1) : node - n + 1; };
  auto height = [&tree](std::int32_t step) {
    const Merge& m = tree.merges[static_cast<size_t>(step - 1)];
    return m.connected ? m.height : std::numeric_limits<double>::infinity();
  };
  // R's order within a row: a location before a group, two locations by
  // their numbers, two groups the tighter first (the one formed at the lower
  // height), and at equal heights the earlier step first.
  auto before = [&height](std::int32_t a, std::int32_t b) {
    if ((a < 0) != (b < 0)) return a < 0;
    if (a < 0) return -a < -b;
    if (height(a) != height(b)) return height(a) < height(b);
    return a < b;
  };
  std::vector<TreeRow> rows;
  rows.reserve(tree.merges.size());
  for (size_t k = 0; k < tree.merges.size(); ++k) {
    const Merge& m = tree.merges[k];
    std::int32_t first = code(m.left), second = code(m.right);
    if (before(second, first)) std::swap(first, second);
    rows.push_back({first, second, height(static_cast<std::int32_t>(k + 1))});
  }
  return rows;
}

}  // namespace locprox::summary
