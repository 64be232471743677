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
}  // namespace

std::string csv_field(const std::string& text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

void append_optional(std::string& out, const std::optional<double>& value) {
  out += ',';
  if (value) out += average_text(*value);
}

void append_trust(std::string& out, const PairTrust& t) {
  append_optional(out, t.ci_low);
  append_optional(out, t.ci_high);
  append_optional(out, t.q);
  out += ',';
  if (t.df) out += std::to_string(*t.df);
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
  out.reserve(out.size() + static_cast<size_t>(file.dims.ntm) * 48);
  for (std::int32_t i = 1; i <= maxl; ++i) {
    std::string left = std::to_string(i);
    left += ',';
    left += csv_field(names[i - 1]);
    left += ',';
    for (std::int32_t j = i; j <= maxl; ++j) {
      if (i == j && file.options.distance()) continue;  // no distance of a location to itself
      const size_t p = packed_index(i, j);
      out += left;
      out += std::to_string(j);
      out += ',';
      out += csv_field(names[j - 1]);
      out += ',';
      if (averages.state[p] == PairState::compared) out += average_text(averages.value[p]);
      out += ',';
      out += number_text(group.prox[p]);
      out += ',';
      if (averages.common_known[p]) out += std::to_string(averages.common[p]);
      out += ',';
      if (group.nypair_known[p]) out += std::to_string(group.nypair[p]);
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
  out.reserve(out.size() + values.size() * 48);
  for (const YearlyValue& v : values) {
    out += csv_field(year_names[v.year_index]);
    out += ',';
    out += std::to_string(history.years[v.year_index].year);
    out += ',';
    out += std::to_string(v.i);
    out += ',';
    out += csv_field(names[static_cast<size_t>(v.i - 1)]);
    out += ',';
    out += std::to_string(v.j);
    out += ',';
    out += csv_field(names[static_cast<size_t>(v.j - 1)]);
    out += ',';
    out += average_text(v.value);
    out += ',';
    out += std::to_string(v.entries_in_common);
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
  for (std::int32_t i = 1; i <= n; ++i) {
    for (std::int32_t j = i + 1; j <= n; ++j) {
      out += std::to_string(i) + ',' + csv_field(names[static_cast<size_t>(i - 1)]) + ',' +
             std::to_string(j) + ',' + csv_field(names[static_cast<size_t>(j - 1)]) + ',' +
             std::to_string(stability.together[packed_index(i, j)]) + ',' + runs;
      out += kLineEnd;
    }
  }
  return out;
}

std::string matrix_csv(const Averages& averages, const std::vector<std::string>& names) {
  const std::int32_t maxl = averages.locations;
  std::string out;
  for (std::int32_t j = 1; j <= maxl; ++j) {
    out += ',';
    out += csv_field(names[j - 1]);
  }
  out += kLineEnd;
  for (std::int32_t i = 1; i <= maxl; ++i) {
    out += csv_field(names[i - 1]);
    for (std::int32_t j = 1; j <= maxl; ++j) {
      const size_t p = i <= j ? packed_index(i, j) : packed_index(j, i);
      out += ',';
      if (averages.state[p] == PairState::compared) out += average_text(averages.value[p]);
    }
    out += kLineEnd;
  }
  return out;
}

}  // namespace locprox::summary
