// The two CSV files: the tidy table of pairs, one row per pair, for R and
// pandas, and the square matrix of averages for a spreadsheet. Both have a
// header row; a pair without an average has an empty cell.
#pragma once

#include <string>
#include <vector>

#include "format/csv_field.h"
#include "summary/averages.h"
#include "summary/clustering.h"
#include "summary/pair_trust.h"
#include "summary/proximity_reader.h"
#include "summary/stability.h"
#include "summary/yearly_values.h"

namespace locprox::summary {

// Columns: location_i, name_i, location_j, name_j, average, sum,
// entries_in_common (see Averages::common), years_compared (NYPAIR); rows
// i <= j in reading order, the diagonal only where the measure fills it.
// Then the trust columns (see PairTrust): ci_low, ci_high, heterogeneity_q,
// heterogeneity_df, heterogeneity_p, sd_years, empty where a figure does not
// apply; `trust` is indexed like the packed triangle, or empty (all empty).
std::string pairs_csv(const ProximityFile& file, const Averages& averages,
                      const std::vector<std::string>& names, const std::vector<PairTrust>& trust);

// Columns: year (the year's shown name), year_number, location_i, name_i,
// location_j, name_j, value, entries_in_common: one row per yearly value
// (see yearly_values). `year_names[k]` names history.years[k].
std::string years_csv(const ProximityHistory& history, const std::vector<YearlyValue>& values,
                      const std::vector<std::string>& names,
                      const std::vector<std::string>& year_names);

// Names as the header row and the first column, averages in the cells.
std::string matrix_csv(const Averages& averages, const std::vector<std::string>& names);

// The clustering's merges for R: columns step, merge1, merge2, height, one
// row per merge in the order they happen, in the convention of the `merge`
// and `height` of R's hclust: a location is -i (i its location number), the
// group formed at an earlier step s is s; within a row the tighter side
// first: a location before a group, the lower number first of two
// locations, and of two groups the one formed at the lower height (at equal
// heights the earlier step). Two groups joined with no compared pair between
// them have the height Inf.
std::string tree_csv(const Dendrogram& tree);

// Columns: k, location, name, group: the tree cut into k groups (numbered as
// cut_tree numbers them) for every k from 2 to min(10, L - 1); locations in
// number order within each k.
std::string groups_csv(const Dendrogram& tree, const std::vector<std::string>& names);

// Columns: location_i, name_i, location_j, name_j, together, runs: one row
// per pair i < j in reading order (see Stability).
std::string stability_csv(const Stability& stability, const std::vector<std::string>& names);

}  // namespace locprox::summary
