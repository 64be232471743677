#include "summary/clustering.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "summary/csv_tables.h"
#include "summary/proximity_reader.h"
#include "summary/scratch.h"

namespace locprox::summary {
namespace {

// Packed distances for n locations from a full matrix; a negative entry marks
// a pair never compared.
struct Matrix {
  std::int32_t n;
  std::vector<double> distance;
  std::vector<std::uint8_t> compared;
};

Matrix packed(const std::vector<std::vector<double>>& full) {
  Matrix m{static_cast<std::int32_t>(full.size()), {}, {}};
  const size_t ntm = full.size() * (full.size() + 1) / 2;
  m.distance.assign(ntm, 0.0);
  m.compared.assign(ntm, 0);
  for (std::int32_t j = 1; j <= m.n; ++j) {
    for (std::int32_t i = 1; i < j; ++i) {
      const double d = full[i - 1][j - 1];
      m.distance[packed_index(i, j)] = d < 0 ? 0.0 : d;
      m.compared[packed_index(i, j)] = d >= 0;
    }
  }
  return m;
}

constexpr double X = -1;  // never compared

TEST(AverageLinkage, BuildsTheKnownTreeUsingOnlyComparedPairs) {
  // Locations 1..5, pair (2,3) never compared. {1,2} join at 1, then {4,5}
  // at 2. Then {1,2}-3 is the mean over its compared pairs, (1,3) = 4 alone
  // (not (4 + 0) / 2), which beats 3-{4,5} = (6 + 8) / 2 = 7 and
  // {1,2}-{4,5} = (9 + 11 + 10 + 12) / 4 = 10.5. The root joins {1,2,3} and
  // {4,5} at (9 + 11 + 10 + 12 + 6 + 8) / 6 = 56 / 6.
  const Matrix m = packed({
      {0, 1, 4, 9, 11},
      {1, 0, X, 10, 12},
      {4, X, 0, 6, 8},
      {9, 10, 6, 0, 2},
      {11, 12, 8, 2, 0},
  });
  Dendrogram tree = average_linkage(m.n, m.distance, m.compared);
  ASSERT_EQ(tree.merges.size(), 4u);
  const Merge expected[] = {
      {0, 1, 1.0, true, 2},         // node 5 = {1,2}
      {3, 4, 2.0, true, 2},         // node 6 = {4,5}
      {5, 2, 4.0, true, 3},         // node 7 = {1,2,3}
      {7, 6, 56.0 / 6.0, true, 5},  // the root
  };
  for (size_t k = 0; k < 4; ++k) {
    SCOPED_TRACE("merge " + std::to_string(k));
    EXPECT_EQ(tree.merges[k].left, expected[k].left);
    EXPECT_EQ(tree.merges[k].right, expected[k].right);
    EXPECT_DOUBLE_EQ(tree.merges[k].height, expected[k].height);
    EXPECT_EQ(tree.merges[k].connected, expected[k].connected);
    EXPECT_EQ(tree.merges[k].size, expected[k].size);
  }
  EXPECT_EQ(tree.order, (std::vector<std::int32_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(cut_tree(tree, 2), (std::vector<std::int32_t>{1, 1, 1, 2, 2}));
  EXPECT_EQ(cut_tree(tree, 3), (std::vector<std::int32_t>{1, 1, 2, 3, 3}));
  EXPECT_EQ(cut_tree(tree, 5), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(cut_tree(tree, 1), (std::vector<std::int32_t>{1, 1, 1, 1, 1}));
}

TEST(AverageLinkage, ClustersWithNoComparedPairBetweenThemJoinLast) {
  // {1,3} and {2,4} were never compared with each other: they join last, at
  // an infinite height, however far apart the compared pairs are.
  const Matrix m = packed({
      {0, X, 50, X},
      {X, 0, X, 70},
      {50, X, 0, X},
      {X, 70, X, 0},
  });
  Dendrogram tree = average_linkage(m.n, m.distance, m.compared);
  ASSERT_EQ(tree.merges.size(), 3u);
  EXPECT_EQ(tree.merges[0].left, 0);
  EXPECT_EQ(tree.merges[0].right, 2);
  EXPECT_EQ(tree.merges[0].height, 50.0);
  EXPECT_EQ(tree.merges[1].left, 1);
  EXPECT_EQ(tree.merges[1].right, 3);
  EXPECT_FALSE(tree.merges[2].connected);
  EXPECT_TRUE(std::isinf(tree.merges[2].height));
  EXPECT_EQ(tree.order, (std::vector<std::int32_t>{0, 2, 1, 3}));
}

TEST(AverageLinkage, BreaksTiesByTheLowestLocationNumbers) {
  // All pairs at distance 1: the lowest pair joins first, and every later
  // join takes the cluster holding location 1 and the next lowest location.
  const Matrix m = packed({{0, 1, 1, 1}, {1, 0, 1, 1}, {1, 1, 0, 1}, {1, 1, 1, 0}});
  Dendrogram tree = average_linkage(m.n, m.distance, m.compared);
  EXPECT_EQ(tree.merges[0].left, 0);
  EXPECT_EQ(tree.merges[0].right, 1);
  EXPECT_EQ(tree.merges[1].left, 4);
  EXPECT_EQ(tree.merges[1].right, 2);
  EXPECT_EQ(tree.merges[2].left, 5);
  EXPECT_EQ(tree.merges[2].right, 3);
  // Nothing compared at all: the same order, every join unconnected.
  const Matrix none = packed({{0, X, X}, {X, 0, X}, {X, X, 0}});
  Dendrogram loose = average_linkage(none.n, none.distance, none.compared);
  EXPECT_EQ(loose.merges[0].left, 0);
  EXPECT_EQ(loose.merges[0].right, 1);
  EXPECT_FALSE(loose.merges[0].connected);
  EXPECT_EQ(loose.merges[1].left, 3);
  EXPECT_EQ(loose.merges[1].right, 2);
}

TEST(AverageLinkage, ASingleLocationHasNoMerge) {
  Dendrogram tree = average_linkage(1, {0.0}, {0});
  EXPECT_TRUE(tree.merges.empty());
  EXPECT_EQ(tree.order, (std::vector<std::int32_t>{0}));
  EXPECT_EQ(cut_tree(tree, 1), (std::vector<std::int32_t>{1}));
}

// The merges as R's hclust gives them, worked by hand. Distances:
// (2,4) = 1; (1,5) = 2; between {1,5} and {2,4} every pair 3; location 3
// at 10 from every other. Step 1 joins locations 2 and 4 (-2, -4), step 2
// locations 1 and 5 (-1, -5), step 3 the groups of steps 2 and 1, the
// earlier step first (1, 2), step 4 location 3 and the group of step 3, the
// location first (-3, 3). The tree itself holds the group with the lower
// location number first, so steps 3 and 4 are turned round for R.
TEST(TreeCsv, WritesTheMergesInTheConventionOfRsHclust) {
  const Matrix m = packed({{0, 3, 10, 3, 2},
                           {3, 0, 10, 1, 3},
                           {10, 10, 0, 10, 10},
                           {3, 1, 10, 0, 3},
                           {2, 3, 10, 3, 0}});
  const Dendrogram tree = average_linkage(m.n, m.distance, m.compared);
  ASSERT_EQ(tree.merges.size(), 4u);
  EXPECT_EQ(tree.merges[2].left, 6);   // the group of step 2, holding location 1
  EXPECT_EQ(tree.merges[3].right, 2);  // location 3
  EXPECT_EQ(tree_csv(tree),
            "step,merge1,merge2,height\n"
            "1,-2,-4,1\n"
            "2,-1,-5,2\n"
            "3,1,2,3\n"
            "4,-3,3,10\n");
  // A join with no compared pair has an infinite height; one location, no merge.
  const Matrix loose = packed({{0, 0.5, X}, {0.5, 0, X}, {X, X, 0}});
  EXPECT_EQ(tree_csv(average_linkage(loose.n, loose.distance, loose.compared)),
            "step,merge1,merge2,height\n1,-1,-2,0.5\n2,-3,1,Inf\n");
  EXPECT_EQ(tree_csv(average_linkage(1, {0.0}, {0})), "step,merge1,merge2,height\n");
}

// Where R is installed, its own hclust checks the convention on problems
// with no gaps, where the clustering is plain average linkage: the same
// merges row by row, the same heights to the 9 digits written, and the
// order that rebuilds the tree from the merges is R's own.
TEST(TreeCsv, AgreesWithRsHclustWhereRIsInstalled) {
  const std::string rscript = testing::program_on_path("Rscript");
  if (rscript.empty()) GTEST_SKIP() << "Rscript not installed (Debian package r-base-core)";
  std::uint32_t seed = 99;
  auto uniform = [&seed]() {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<double>(seed >> 8) / 16777216.0;
  };
  for (int trial = 0; trial < 3; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const std::int32_t n = 25;
    std::vector<std::array<double, 3>> points(n);
    for (auto& point : points)
      for (double& x : point) x = uniform();
    std::vector<std::vector<double>> full(n, std::vector<double>(n, 0.0));
    std::string matrix;
    for (std::int32_t i = 0; i < n; ++i) {
      for (std::int32_t j = 0; j < n; ++j) {
        double sum = 0.0;
        for (int k = 0; k < 3; ++k)
          sum += (points[i][k] - points[j][k]) * (points[i][k] - points[j][k]);
        full[i][j] = std::sqrt(sum);
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", full[i][j]);
        if (j > 0) matrix += ' ';
        matrix += text;
      }
      matrix += "\n";
    }
    const Matrix m = packed(full);
    testing::Scratch dir;
    dir.write("distances.txt", matrix);
    dir.write("tree.csv", tree_csv(average_linkage(m.n, m.distance, m.compared)));
    dir.write(
        "check.R",
        "d <- as.matrix(read.table('distances.txt'))\n"
        "h <- hclust(as.dist(d), 'average')\n"
        "tree <- read.csv('tree.csv')\n"
        "merge <- as.matrix(tree[, c('merge1', 'merge2')])\n"
        "leaves <- function(i) if (i < 0) -i else c(leaves(merge[i, 1]), leaves(merge[i, 2]))\n"
        "stopifnot(identical(tree$step, seq_len(nrow(merge))))\n"
        "stopifnot(identical(unname(merge), h$merge))\n"
        "stopifnot(all(abs(tree$height - h$height) <= 1e-8 * h$height))\n"
        "stopifnot(identical(as.integer(leaves(nrow(merge))), h$order))\n"
        "cat('same\\n')\n");
    testing::ProgramRun run = testing::run(rscript, {"check.R"}, dir.path());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "same\n") << run.err;
  }
}

// --groups K takes every K from 1 (one group of all) to the number of
// locations (each alone), joins with no compared pair included.
TEST(CutTree, GivesOneGroupToEachLocationAtTheEdges) {
  const Matrix m = packed({{0, 1, X, 4}, {1, 0, X, 5}, {X, X, 0, X}, {4, 5, X, 0}});
  const Dendrogram tree = average_linkage(m.n, m.distance, m.compared);
  EXPECT_EQ(cut_tree(tree, 1), (std::vector<std::int32_t>{1, 1, 1, 1}));
  // Four groups, numbered in the picture's order: 1 2 4 3.
  std::vector<std::int32_t> alone = cut_tree(tree, 4);
  std::vector<std::int32_t> in_order;
  for (std::int32_t location : tree.order) in_order.push_back(alone[location]);
  EXPECT_EQ(in_order, (std::vector<std::int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(cut_tree(tree, 2), (std::vector<std::int32_t>{1, 1, 2, 1}));  // 3 joined last
}

// The cached nearest neighbours must give the same tree as the plain search
// over all pairs after every merge.
TEST(AverageLinkage, AgreesWithAPlainSearchOnAMatrixWithGaps) {
  const std::int32_t n = 40;
  std::vector<std::vector<double>> full(n, std::vector<double>(n, 0.0));
  std::uint32_t seed = 12345;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % 1000;
  };
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = i + 1; j < n; ++j) {
      const std::uint32_t r = next();
      full[i][j] = full[j][i] = r < 150 ? X : static_cast<double>(r % 37);  // many ties
    }
  }
  const Matrix m = packed(full);
  Dendrogram tree = average_linkage(m.n, m.distance, m.compared);

  // The plain search: sums and counts between clusters, all pairs scanned.
  std::vector<std::vector<double>> sum(n, std::vector<double>(n, 0.0));
  std::vector<std::vector<std::int64_t>> count(n, std::vector<std::int64_t>(n, 0));
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t j = 0; j < n; ++j) {
      if (i != j && full[i][j] >= 0) sum[i][j] = full[i][j], count[i][j] = 1;
    }
  }
  std::vector<bool> active(n, true);
  std::vector<std::int32_t> node(n);
  for (std::int32_t i = 0; i < n; ++i) node[i] = i;
  const double inf = std::numeric_limits<double>::infinity();
  for (std::int32_t k = 0; k + 1 < n; ++k) {
    std::int32_t a = -1, b = -1;
    double best = inf;
    for (std::int32_t i = 0; i < n; ++i) {
      for (std::int32_t j = i + 1; j < n; ++j) {
        if (!active[i] || !active[j]) continue;
        const double d = count[i][j] > 0 ? sum[i][j] / static_cast<double>(count[i][j]) : inf;
        if (a < 0 || d < best) a = i, b = j, best = d;
      }
    }
    SCOPED_TRACE("merge " + std::to_string(k));
    ASSERT_EQ(tree.merges[k].left, node[a]);
    ASSERT_EQ(tree.merges[k].right, node[b]);
    ASSERT_EQ(tree.merges[k].height, best);
    for (std::int32_t x = 0; x < n; ++x) {
      sum[a][x] += sum[b][x];
      sum[x][a] = sum[a][x];
      count[a][x] += count[b][x];
      count[x][a] = count[a][x];
    }
    active[b] = false;
    node[a] = n + k;
  }
}

}  // namespace
}  // namespace locprox::summary
