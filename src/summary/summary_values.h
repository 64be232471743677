// The summary's results as values rather than files: for a front end that
// hands them on (the R package builds its data frame, matrix and tree from
// them). The same readers and the same computations as the summary's files,
// so the numbers are those the files show, at full precision.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "summary/averages.h"
#include "summary/clustering.h"
#include "summary/command_line.h"
#include "summary/proximity_reader.h"
#include "summary/shown_names.h"

namespace locprox::summary {

struct SummaryValues {
  ProximityFile file;  // the group summarised
  ShownNames names;    // its warnings are left to the caller
  std::string year_name;  // the name of the year summarised, display form; may be empty
  Averages averages;
  PairCounts pairs;
  Dendrogram tree;
  // With `command.groups`: each location's group (0-based location), as the
  // summary's groups are numbered.
  std::vector<std::int32_t> groups;
};

// Reads the proximity file named by `command` (its year, names, --z,
// --min-common and --groups count; --out plays no part, nothing is written).
// Throws InputError, RefusedRun (with the report's reason where there is
// one) and OutputError as summarise() does.
SummaryValues summary_values(const CommandLine& command);

// A tree merge as R's hclust numbers it: a location is -(its number), the
// node made by merge k is k + 1; the pair in the order tree.csv gives it.
struct TreeRow {
  std::int32_t first = 0, second = 0;
  double height = 0.0;  // infinite for a merge of clusters never compared
};
std::vector<TreeRow> tree_rows(const Dendrogram& tree);

}  // namespace locprox::summary
