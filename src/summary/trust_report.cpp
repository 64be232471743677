#include "summary/trust_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "format/proximity_records.h"

namespace locprox::summary {

namespace {

std::string fixed(double value, int digits) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
  return buffer;
}

std::string general(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2g", value);
  return buffer;
}

std::string height_text(double height) {
  return std::isinf(height) ? "unconnected (no pair compared)" : fixed(height, 3);
}

// "4 Hill" for a location with a name, "4" when its name is its number.
std::string location_text(const std::vector<std::string>& names, std::int32_t location) {
  const std::string& name = names[static_cast<size_t>(location - 1)];
  return name == std::to_string(location) ? name : std::to_string(location) + " " + name;
}

std::string runs_text(std::int64_t count, size_t runs) {
  return std::to_string(count) + " of " + std::to_string(runs);
}

}  // namespace

std::string group_choice_text(const GroupChoice& choice) {
  return std::to_string(choice.groups) +
         " groups chosen (--groups K to choose): the largest gap between successive merge "
         "heights of K = 2 to 10, from " +
         height_text(choice.below) + " to " + height_text(choice.above) + "\n";
}

std::string stability_text(const Stability& stability, const std::vector<std::string>& names,
                           const std::vector<std::string>& year_names,
                           const std::string& stability_path) {
  const size_t runs = stability.runs.size();
  if (runs == 0) {
    return "leave-one-year-out: needs two or more years compared; " +
           std::to_string(stability.years_compared) + " here\n";
  }
  std::string text = "leave-one-year-out: " + std::to_string(runs) +
                     " runs, each without one year, cut into " + std::to_string(stability.groups) +
                     " groups (" + stability_path + "):\n";
  for (size_t g = 0; g < stability.stayed_whole.size(); ++g) {
    text += "  group " + std::to_string(g + 1) + " stayed whole in " +
            runs_text(stability.stayed_whole[g], runs) + " runs\n";
  }
  // Each location's share of runs in its own group; those always there in one line.
  std::int32_t always = 0;
  std::string moved;
  for (size_t x = 0; x < stability.stayed_home.size(); ++x) {
    if (static_cast<size_t>(stability.stayed_home[x]) == runs) {
      ++always;
      continue;
    }
    moved += "    " + location_text(names, static_cast<std::int32_t>(x + 1)) + " in group " +
             std::to_string(stability.full_group[x]) + " in " +
             runs_text(stability.stayed_home[x], runs) + " runs\n";
  }
  text += "  " + std::to_string(always) + " of " + std::to_string(stability.stayed_home.size()) +
          " locations in their group in every run" + (moved.empty() ? "\n" : "; the others:\n");
  text += moved;
  if (const std::optional<size_t> worst = most_changing_run(stability)) {
    text += "  the year whose removal changes the groups most: " +
            year_names[stability.runs[*worst]] + " (adjusted Rand index " +
            adjusted_rand_text(stability.adjusted_rand[*worst]) + " against all years)\n";
  } else {
    text += "  no single year's removal changes the groups\n";
  }
  return text;
}

std::optional<size_t> most_changing_run(const Stability& stability) {
  const auto worst =
      std::min_element(stability.adjusted_rand.begin(), stability.adjusted_rand.end());
  if (worst == stability.adjusted_rand.end() || !(*worst < 1.0)) return std::nullopt;
  return static_cast<size_t>(worst - stability.adjusted_rand.begin());
}

std::string adjusted_rand_text(double index) { return fixed(index, 3); }

std::string pairs_to_act_on_text(const Averages& averages, const std::vector<PairTrust>& trust,
                                 const std::vector<std::string>& names, bool keep_z,
                                 const std::string& pairs_path, const std::string& years_path,
                                 size_t shown) {
  struct Pair {
    std::int32_t i, j;
    size_t p;
  };
  std::vector<Pair> alike, disagree;
  for (std::int32_t j = 2; j <= averages.locations; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      const PairTrust& t = trust[p];
      if (t.ci_low) alike.push_back({i, j, p});
      if (t.p && *t.p < 0.01) disagree.push_back({i, j, p});
    }
  }
  if (alike.empty()) return {};
  // Highest lower end first; at equal ends the pair read first.
  std::stable_sort(alike.begin(), alike.end(), [&trust](const Pair& a, const Pair& b) {
    return *trust[a.p].ci_low > *trust[b.p].ci_low;
  });
  std::stable_sort(disagree.begin(), disagree.end(), [&trust](const Pair& a, const Pair& b) {
    return *trust[a.p].p < *trust[b.p].p;
  });
  const std::string scale = keep_z ? "z" : "r";
  auto pair_text = [&names](const Pair& x) {
    return location_text(names, x.i) + " ~ " + location_text(names, x.j);
  };
  std::string text = "pairs to act on (all pairs in " + pairs_path + "):\n";
  text += "  most alike, by the lower end of the 95 % interval (candidates for merging sites):\n";
  for (size_t k = 0; k < std::min(shown, alike.size()); ++k) {
    const PairTrust& t = trust[alike[k].p];
    text += "    " + pair_text(alike[k]) + ": " + scale + " " +
            fixed(averages.value[alike[k].p], 3) + ", interval " + fixed(*t.ci_low, 3) + " to " +
            fixed(*t.ci_high, 3) + "\n";
  }
  text += "  years disagree (heterogeneity p < 0.01; each year's value in " + years_path +
          "): " + std::to_string(disagree.size()) + (disagree.empty() ? "\n" : "\n");
  for (size_t k = 0; k < std::min(shown, disagree.size()); ++k) {
    const PairTrust& t = trust[disagree[k].p];
    text += "    " + pair_text(disagree[k]) + ": Q " + fixed(*t.q, 1) + " on " +
            std::to_string(*t.df) + " df, p " + general(*t.p) + "\n";
  }
  return text;
}

}  // namespace locprox::summary
