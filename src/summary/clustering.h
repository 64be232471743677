// Average-linkage hierarchical clustering that uses only the pairs of
// locations that were compared. The distance between two clusters is the mean
// of the distances of the compared pairs between them; two clusters with no
// compared pair between them are at an infinite distance and so join last.
//
// Ties are broken so that the tree is the same on every machine: a cluster is
// known by the lowest location number among its members, and among equal
// distances the pair of clusters whose lower number is lowest merges first,
// then the one whose higher number is lowest.
#pragma once

#include <cstdint>
#include <vector>

namespace locprox::summary {

// Node ids: 0 .. n-1 are the locations (location number - 1); merge k makes
// node n + k.
struct Merge {
  std::int32_t left = 0;  // the child holding the lower location number
  std::int32_t right = 0;
  double height = 0.0;    // the mean distance at which they joined; infinite when unconnected
  bool connected = true;  // false when no compared pair joined them
  std::int32_t size = 0;  // locations under the new node
};

struct Dendrogram {
  std::int32_t leaves = 0;
  std::vector<Merge> merges;        // n - 1 merges in the order they happen
  std::vector<std::int32_t> order;  // locations (0-based) in the drawing order, left child first
};

// `distance` and `compared` are packed upper triangles over n locations (see
// packed_index); the diagonal is ignored.
Dendrogram average_linkage(std::int32_t n, const std::vector<double>& distance,
                           const std::vector<std::uint8_t>& compared);

// The groups left when the last `groups` - 1 merges are undone: for every
// location (0-based) its group number, 1 to `groups`, numbered in drawing order.
std::vector<std::int32_t> cut_tree(const Dendrogram& tree, std::int32_t groups);

}  // namespace locprox::summary
