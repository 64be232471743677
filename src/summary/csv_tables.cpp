#include "summary/csv_tables.h"

#include <limits>
#include <optional>
#include <utility>

#include "summary/group_choice.h"
#include "summary/number_text.h"
#include "summary/summary_values.h"

namespace locprox::summary {

namespace {

constexpr const char* kLineEnd = "\n";

void append_optional(std::string& out, const std::optional<double>& value) {
  out += ',';
  if (value) append_average(out, *value);
}

void append_trust(std::string& out, const PairTrust& t) {
  append_optional(out, t.ci_low);
  append_optional(out, t.ci_high);
  append_optional(out, t.q);
  out += ',';
  if (t.df) append_integer(out, *t.df);
  append_optional(out, t.p);
  append_optional(out, t.sd_years);
}

}  // namespace

std::string pairs_csv(const ProximityFile& file, const Averages& averages,
                      const std::vector<std::string>& names, const std::vector<PairTrust>& trust) {
  const YearGroup& group = file.group;
  const std::int32_t maxl = averages.locations;
  std::string out =
      "location_i,name_i,location_j,name_j,average,sum,entries_in_common,years_compared,"
      "ci_low,ci_high,heterogeneity_q,heterogeneity_df,heterogeneity_p,sd_years";
  out += kLineEnd;
  out.reserve(out.size() + static_cast<size_t>(file.dims.ntm) * 64);
  const std::vector<std::string> fields = csv_fields(names);
  for (std::int32_t i = 1; i <= maxl; ++i) {
    std::string left = std::to_string(i);
    left += ',';
    left += fields[i - 1];
    left += ',';
    for (std::int32_t j = i; j <= maxl; ++j) {
      if (i == j && file.options.distance()) continue;  // no distance of a location to itself
      const size_t p = packed_index(i, j);
      out += left;
      append_integer(out, j);
      out += ',';
      out += fields[j - 1];
      out += ',';
      if (averages.state[p] == PairState::compared) append_average(out, averages.value[p]);
      out += ',';
      append_number(out, group.prox[p]);
      out += ',';
      if (averages.common_known[p]) append_integer(out, averages.common[p]);
      out += ',';
      if (group.nypair_known[p]) append_integer(out, group.nypair[p]);
      append_trust(out, trust.empty() ? PairTrust{} : trust[p]);
      out += kLineEnd;
    }
  }
  return out;
}

std::string years_csv(const ProximityHistory& history, const std::vector<YearlyValue>& values,
                      const std::vector<std::string>& names,
                      const std::vector<std::string>& year_names) {
  std::string out = "year,year_number,location_i,name_i,location_j,name_j,value,entries_in_common";
  out += kLineEnd;
  out.reserve(out.size() + values.size() * 64);
  const std::vector<std::string> fields = csv_fields(names);
  const std::vector<std::string> year_fields = csv_fields(year_names);
  for (const YearlyValue& v : values) {
    out += year_fields[v.year_index];
    out += ',';
    append_integer(out, history.years[v.year_index].year);
    out += ',';
    append_integer(out, v.i);
    out += ',';
    out += fields[static_cast<size_t>(v.i - 1)];
    out += ',';
    append_integer(out, v.j);
    out += ',';
    out += fields[static_cast<size_t>(v.j - 1)];
    out += ',';
    append_average(out, v.value);
    out += ',';
    append_integer(out, v.entries_in_common);
    out += kLineEnd;
  }
  return out;
}

std::string tree_csv(const Dendrogram& tree) {
  std::string out = "step,merge1,merge2,height";
  out += kLineEnd;
  const std::vector<TreeRow> rows = tree_rows(tree);
  for (size_t k = 0; k < rows.size(); ++k) {
    const TreeRow& row = rows[k];
    out += std::to_string(k + 1) + ',' + std::to_string(row.first) + ',' +
           std::to_string(row.second) + ',' +
           (tree.merges[k].connected ? average_text(row.height) : "Inf");
    out += kLineEnd;
  }
  return out;
}

std::string groups_csv(const Dendrogram& tree, const std::vector<std::string>& names) {
  std::string out = "k,location,name,group";
  out += kLineEnd;
  for (std::int32_t k = 2; k <= most_groups_offered(tree.leaves); ++k) {
    const std::vector<std::int32_t> group = cut_tree(tree, k);
    for (std::int32_t x = 0; x < tree.leaves; ++x) {
      out += std::to_string(k) + ',' + std::to_string(x + 1) + ',' +
             csv_field(names[static_cast<size_t>(x)]) + ',' +
             std::to_string(group[static_cast<size_t>(x)]);
      out += kLineEnd;
    }
  }
  return out;
}

std::string stability_csv(const Stability& stability, const std::vector<std::string>& names) {
  std::string out = "location_i,name_i,location_j,name_j,together,runs";
  out += kLineEnd;
  const std::int32_t n = static_cast<std::int32_t>(stability.full_group.size());
  const std::string runs = std::to_string(stability.runs.size());
  out.reserve(out.size() + stability.together.size() * 40);
  const std::vector<std::string> fields = csv_fields(names);
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i + 1; j <= n; ++j) {
      append_integer(out, i);
      out += ',';
      out += fields[static_cast<size_t>(i - 1)];
      out += ',';
      append_integer(out, j);
      out += ',';
      out += fields[static_cast<size_t>(j - 1)];
      out += ',';
      append_integer(out, stability.together[packed_index(i, j)]);
      out += ',';
      out += runs;
      out += kLineEnd;
    }
  }
  return out;
}

std::string matrix_csv(const Averages& averages, const std::vector<std::string>& names) {
  const std::int32_t maxl = averages.locations;
  std::string out;
  const std::vector<std::string> fields = csv_fields(names);
  for (std::int32_t j = 1; j <= maxl; ++j) {
    out += ',';
    out += fields[j - 1];
  }
  out += kLineEnd;
  for (std::int32_t i = 1; i <= maxl; ++i) {
    out += fields[i - 1];
    for (std::int32_t j = 1; j <= maxl; ++j) {
      const size_t p = i <= j ? packed_index(i, j) : packed_index(j, i);
      out += ',';
      if (averages.state[p] == PairState::compared) append_average(out, averages.value[p]);
    }
    out += kLineEnd;
  }
  return out;
}

}  // namespace locprox::summary
