#include "summary/clustering.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "format/proximity_records.h"

namespace locprox::summary {

namespace {

constexpr double kUnconnected = std::numeric_limits<double>::infinity();

// The working state: every cluster lives in the slot of its lowest location
// and keeps, towards every other cluster, the sum of the distances of the
// compared pairs between them and how many there are. The mean linkage
// distance is their quotient, so merging two clusters only adds their rows.
//
// The pairs of 0-based slots x < y (the diagonal left out) are kept row by
// row: slot x's row holds its pairs with y = x + 1 .. n - 1 side by side, sum
// and count together, and in the same places their means, formed once when
// a merge changes a sum (the mean of a cluster merged away is +inf). A
// refresh of x's closest partner reads one row of means from end to end,
// with no division and no look at which clusters are left.
class Linkage {
 public:
  Linkage(std::int32_t n, const std::vector<double>& distance,
          const std::vector<std::uint8_t>& compared)
      : n_(n),
        row_start_(static_cast<size_t>(std::max(n, 0))),
        cells_(n > 0 ? packed_size(n - 1) : 0),
        mean_(cells_.size(), kUnconnected),
        active_(static_cast<size_t>(n), 1),
        node_(static_cast<size_t>(n)),
        size_(static_cast<size_t>(n), 1),
        best_(static_cast<size_t>(n)) {
    size_t start = 0;
    for (std::int32_t x = 0; x < n; ++x) {
      row_start_[x] = start;
      start += static_cast<size_t>(n - 1 - x);
    }
    for (std::int32_t y = 1; y < n; ++y) {
      for (std::int32_t x = 0; x < y; ++x) {
        const size_t p = packed_index(x + 1, y + 1);
        if (compared[p]) {
          const size_t at = upper(x, y);
          cells_[at] = Cell{distance[p], 1};
          mean_[at] = mean(cells_[at]);
        }
      }
    }
    std::iota(node_.begin(), node_.end(), 0);
    for (std::int32_t x = 0; x < n; ++x) refresh(x);
  }

  Dendrogram run() {
    Dendrogram tree;
    tree.leaves = n_;
    for (std::int32_t k = 0; k + 1 < n_; ++k) {
      // The closest pair; scanning slots upwards with a strict comparison
      // keeps the lowest slot among equal distances, and each row's best
      // already keeps the lowest partner.
      std::int32_t a = -1;
      for (std::int32_t x = 0; x < n_; ++x) {
        if (!active_[x] || best_[x].partner < 0) continue;
        if (a < 0 || best_[x].distance < best_[a].distance) a = x;
      }
      const std::int32_t b = best_[a].partner;
      const double height = best_[a].distance;
      tree.merges.push_back(
          Merge{node_[a], node_[b], height, height != kUnconnected, size_[a] + size_[b]});
      join(a, b);
      node_[a] = n_ + k;
    }
    tree.order = drawing_order(tree);
    return tree;
  }

 private:
  struct Best {
    double distance = kUnconnected;
    std::int32_t partner = -1;  // the closest active slot above this one, -1 if none
  };

  // The sum of the compared pairs' distances between two clusters and how
  // many they are.
  struct Cell {
    double sum = 0.0;
    std::int64_t pairs = 0;
  };

  // Where the pair of slots x < y is kept.
  size_t upper(std::int32_t x, std::int32_t y) const {
    return row_start_[static_cast<size_t>(x)] + static_cast<size_t>(y - x - 1);
  }

  static double mean(const Cell& cell) {
    return cell.pairs > 0 ? cell.sum / static_cast<double>(cell.pairs) : kUnconnected;
  }

  double between(std::int32_t x, std::int32_t y) const {
    return mean_[x < y ? upper(x, y) : upper(y, x)];
  }

  void refresh(std::int32_t x) {
    Best best;
    const double* row = mean_.data() + row_start_[static_cast<size_t>(x)];
    std::int32_t y = x + 1;
    while (y < n_ && !active_[y]) ++y;
    if (y < n_) {
      best = Best{row[y - x - 1], y};
      // A cluster merged away reads as never closer (its means are +inf and
      // the comparison strict), so the rest needs no look at active_.
      for (++y; y < n_; ++y) {
        const double d = row[y - x - 1];
        if (d < best.distance) best = Best{d, y};
      }
    }
    best_[x] = best;
  }

  // Cluster b (the higher slot) joins cluster a.
  void join(std::int32_t a, std::int32_t b) {
    active_[b] = 0;
    size_[a] += size_[b];
    // b's column reads as never closer from now on, in the rows of the
    // clusters left (a < b, and only their rows are scanned again).
    mean_[upper(a, b)] = kUnconnected;
    for (std::int32_t x = 0; x < n_; ++x) {
      if (!active_[x] || x == a) continue;
      const size_t at = x < a ? upper(x, a) : upper(a, x);
      const size_t from_b = x < b ? upper(x, b) : upper(b, x);
      Cell& to_a = cells_[at];
      to_a.sum += cells_[from_b].sum;
      to_a.pairs += cells_[from_b].pairs;
      mean_[at] = mean(to_a);
      if (x < b) mean_[from_b] = kUnconnected;
    }
    refresh(a);
    for (std::int32_t x = 0; x < b; ++x) {
      if (!active_[x] || x == a) continue;
      Best& best = best_[x];
      if (best.partner == b || best.partner == a) {
        refresh(x);
      } else if (x < a) {
        const double d = between(x, a);
        if (d < best.distance || (d == best.distance && a < best.partner)) best = Best{d, a};
      }
    }
  }

  std::vector<std::int32_t> drawing_order(const Dendrogram& tree) const {
    std::vector<std::int32_t> order;
    if (n_ == 0) return order;
    std::vector<std::int32_t> stack{
        n_ == 1 ? 0 : n_ + static_cast<std::int32_t>(tree.merges.size()) - 1};
    while (!stack.empty()) {
      std::int32_t node = stack.back();
      stack.pop_back();
      if (node < n_) {
        order.push_back(node);
        continue;
      }
      const Merge& m = tree.merges[static_cast<size_t>(node - n_)];
      stack.push_back(m.right);
      stack.push_back(m.left);
    }
    return order;
  }

  std::int32_t n_;
  std::vector<size_t> row_start_;  // where each slot's row begins in cells_
  std::vector<Cell> cells_;
  std::vector<double> mean_;  // mean() of each cell; +inf towards a cluster merged away
  std::vector<std::uint8_t> active_;
  std::vector<std::int32_t> node_;
  std::vector<std::int32_t> size_;
  std::vector<Best> best_;
};

}  // namespace

Dendrogram average_linkage(std::int32_t n, const std::vector<double>& distance,
                           const std::vector<std::uint8_t>& compared) {
  return Linkage(n, distance, compared).run();
}

std::vector<std::int32_t> cut_tree(const Dendrogram& tree, std::int32_t groups) {
  const std::int32_t n = tree.leaves;
  // Union of the merges that stay: the first n - groups of them.
  std::vector<std::int32_t> root(
      static_cast<size_t>(n + static_cast<std::int32_t>(tree.merges.size())));
  std::iota(root.begin(), root.end(), 0);
  auto find = [&](std::int32_t x) {
    while (root[x] != x) x = root[x] = root[root[x]];
    return x;
  };
  for (std::int32_t k = 0; k < n - groups; ++k) {
    const Merge& m = tree.merges[static_cast<size_t>(k)];
    root[find(m.left)] = n + k;
    root[find(m.right)] = n + k;
  }
  std::vector<std::int32_t> group(static_cast<size_t>(n), 0);
  std::vector<std::int32_t> number(root.size(), 0);
  std::int32_t next = 0;
  for (std::int32_t location : tree.order) {
    std::int32_t r = find(location);
    if (number[r] == 0) number[r] = ++next;
    group[location] = number[r];
  }
  return group;
}

}  // namespace locprox::summary
