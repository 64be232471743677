// How many groups to cut the tree into when the user does not say: the K
// from 2 to min(10, L - 1) at which the tree's merge heights jump most, that
// is, where joining the K groups into K - 1 would cost the most over the
// merge before it.
#pragma once

#include <cstdint>
#include <optional>

#include "summary/clustering.h"

namespace locprox::summary {

inline constexpr std::int32_t kMostGroupsOffered = 10;

struct GroupChoice {
  std::int32_t groups = 0;
  double below = 0.0;  // the height of the last merge kept
  double above = 0.0;  // the height of the first merge undone (infinite: unconnected)
};

// The largest K offered: min(10, L - 1); below 2 there is nothing to choose.
std::int32_t most_groups_offered(std::int32_t locations);

// Empty when fewer than 3 locations. Among equal gaps the fewer groups win;
// an unconnected merge (no compared pair between the two sides) is an
// infinite gap above any finite one.
std::optional<GroupChoice> choose_groups(const Dendrogram& tree);

}  // namespace locprox::summary
