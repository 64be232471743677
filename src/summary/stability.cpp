#include "summary/stability.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "job/worker_pool.h"
#include "summary/averages.h"
#include "summary/clustering.h"

namespace locprox::summary {

namespace {

// The locations' groups when the summary's clustering runs on `file`.
std::vector<std::int32_t> grouping(const ProximityFile& file, std::int32_t groups) {
  // The clustering's distances do not depend on the z scale or the minimum.
  const Averages averages = form_averages(file, false, 0);
  std::vector<std::uint8_t> compared(averages.state.size());
  for (size_t p = 0; p < compared.size(); ++p)
    compared[p] = averages.state[p] == PairState::compared;
  return cut_tree(average_linkage(file.dims.maxl, averages.distance, compared), groups);
}

// Whether any pair of distinct locations was compared in year `k`.
bool year_compared(const ProximityHistory& history, size_t k) {
  const YearGroup& now = history.years[k];
  const YearGroup* before = k == 0 ? nullptr : &history.years[k - 1];
  for (std::int32_t j = 2; j <= history.dims.maxl; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      if (now.nypair[p] > (before ? before->nypair[p] : 0)) return true;
    }
  }
  return false;
}

}  // namespace

void distances_without_year(const ProximityFile& file, const ProximityHistory& history, size_t k,
                            std::vector<double>& distance, std::vector<std::uint8_t>& compared) {
  const Measure& measure = file.options;
  const YearGroup& g = file.group;
  const YearGroup& now = history.years[k];
  const YearGroup* before = k == 0 ? nullptr : &history.years[k - 1];
  const size_t ntm = g.prox.size();
  distance.assign(ntm, 0.0);
  compared.assign(ntm, 0);
  for (std::int32_t j = 2; j <= file.dims.maxl; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const size_t p = packed_index(i, j);
      // Counts of the year (or the one before) not known leave the pair's
      // counts unknown, and so does a count of the file's own not known.
      const bool known = now.ngpair_is_known(p) && now.nypair_is_known(p) &&
                         (!before || (before->ngpair_is_known(p) && before->nypair_is_known(p)));
      if (!known) continue;
      if (!(measure.weighted() ? g.ngpair_is_known(p) : g.nypair_is_known(p))) continue;
      // The year's own sums and counts taken out, term by term as they were
      // added up.
      const double prox = g.prox[p] - (now.prox[p] - (before ? before->prox[p] : 0.0));
      std::int32_t ngpair = g.ngpair[p];
      ngpair -= now.ngpair[p] - (before ? before->ngpair[p] : 0);
      std::int32_t nypair = g.nypair[p];
      nypair -= now.nypair[p] - (before ? before->nypair[p] : 0);
      // A pair left with no year compared is never compared, whatever
      // rounding left in its sum.
      if (nypair <= 0) continue;
      const std::int32_t count = measure.weighted() ? ngpair : nypair;
      if (count <= 0) continue;
      const double average = prox / static_cast<double>(count);
      const double r = measure.fisher_z() ? std::tanh(average) : average;
      distance[p] = measure.distance() ? average : 1.0 - r;
      compared[p] = 1;
    }
  }
}

double adjusted_rand_index(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
  if (a.size() < 2) return 1.0;
  auto pairs = [](double n) { return n * (n - 1.0) / 2.0; };
  std::map<std::pair<std::int32_t, std::int32_t>, std::int64_t> cells;
  std::map<std::int32_t, std::int64_t> rows, columns;
  for (size_t x = 0; x < a.size(); ++x) {
    ++cells[{a[x], b[x]}];
    ++rows[a[x]];
    ++columns[b[x]];
  }
  double index = 0.0, row_sum = 0.0, column_sum = 0.0;
  for (const auto& [cell, n] : cells) index += pairs(static_cast<double>(n));
  for (const auto& [g, n] : rows) row_sum += pairs(static_cast<double>(n));
  for (const auto& [g, n] : columns) column_sum += pairs(static_cast<double>(n));
  const double expected = row_sum * column_sum / pairs(static_cast<double>(a.size()));
  const double most = (row_sum + column_sum) / 2.0;
  if (most == expected) return 1.0;  // both trivial: nothing to tell them apart
  return (index - expected) / (most - expected);
}

Stability leave_one_year_out(const ProximityFile& file, const ProximityHistory& history,
                             std::int32_t groups, unsigned threads) {
  const std::int32_t n = file.dims.maxl;
  Stability out;
  out.groups = groups;
  out.full_group = grouping(file, groups);
  out.together.assign(static_cast<size_t>(file.dims.ntm), 0);
  out.stayed_whole.assign(static_cast<size_t>(groups), 0);
  out.stayed_home.assign(static_cast<size_t>(n), 0);
  std::vector<size_t> years;
  for (size_t k = 0; k < history.years.size(); ++k) {
    if (year_compared(history, k)) years.push_back(k);
  }
  out.years_compared = static_cast<std::int64_t>(years.size());
  if (years.size() < 2) return out;
  // Every run's grouping, each on its own (in parallel), then the tallies
  // in the order of the years.
  std::vector<std::vector<std::int32_t>> runs(years.size());
  auto cluster_run = [&](size_t r) {
    std::vector<double> distance;
    std::vector<std::uint8_t> compared;
    distances_without_year(file, history, years[r], distance, compared);
    runs[r] = cut_tree(average_linkage(n, distance, compared), groups);
  };
  WorkerPool(threads == 0 ? default_thread_count() : threads).run(years.size(), cluster_run);
  for (size_t r = 0; r < years.size(); ++r) {
    const size_t k = years[r];
    const std::vector<std::int32_t>& run = runs[r];
    out.runs.push_back(k);
    out.adjusted_rand.push_back(adjusted_rand_index(out.full_group, run));
    for (std::int32_t j = 2; j <= n; ++j) {
      for (std::int32_t i = 1; i < j; ++i) {
        out.together[packed_index(i, j)] +=
            run[static_cast<size_t>(i - 1)] == run[static_cast<size_t>(j - 1)];
      }
    }
    // For every full-data group: the run's groups its members fell into.
    std::vector<std::map<std::int32_t, std::int32_t>> spread(static_cast<size_t>(groups));
    std::vector<std::map<std::int32_t, std::int32_t>> first(static_cast<size_t>(groups));
    for (std::int32_t x = 0; x < n; ++x) {
      const size_t g = static_cast<size_t>(out.full_group[static_cast<size_t>(x)] - 1);
      const std::int32_t r = run[static_cast<size_t>(x)];
      ++spread[g][r];
      first[g].emplace(r, x);  // keeps the lowest location of each run group
    }
    std::vector<std::int32_t> home(static_cast<size_t>(groups), 0);
    for (size_t g = 0; g < spread.size(); ++g) {
      if (spread[g].size() == 1) ++out.stayed_whole[g];
      std::int32_t best = 0, best_count = 0, best_first = n;
      for (const auto& [r, count] : spread[g]) {
        const std::int32_t lowest = first[g][r];
        if (count > best_count || (count == best_count && lowest < best_first)) {
          best = r;
          best_count = count;
          best_first = lowest;
        }
      }
      home[g] = best;
    }
    for (std::int32_t x = 0; x < n; ++x) {
      const size_t g = static_cast<size_t>(out.full_group[static_cast<size_t>(x)] - 1);
      out.stayed_home[static_cast<size_t>(x)] += run[static_cast<size_t>(x)] == home[g];
    }
  }
  return out;
}

}  // namespace locprox::summary
