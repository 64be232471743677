#include "summary/group_choice.h"

#include <algorithm>
#include <limits>

namespace locprox::summary {

std::int32_t most_groups_offered(std::int32_t locations) {
  return std::min(kMostGroupsOffered, locations - 1);
}

std::optional<GroupChoice> choose_groups(const Dendrogram& tree) {
  const std::int32_t n = tree.leaves;
  const std::int32_t most = most_groups_offered(n);
  if (most < 2) return std::nullopt;
  auto height = [&tree](std::int32_t merge) {
    const Merge& m = tree.merges[static_cast<size_t>(merge)];
    return m.connected ? m.height : std::numeric_limits<double>::infinity();
  };
  std::optional<GroupChoice> best;
  double best_gap = 0.0;
  bool best_infinite = false;
  for (std::int32_t k = 2; k <= most; ++k) {
    // K groups keep merges 0 .. n - K - 1 and undo merge n - K onwards.
    const double below = height(n - k - 1);
    const double above = height(n - k);
    const bool infinite = above == std::numeric_limits<double>::infinity() &&
                          below != std::numeric_limits<double>::infinity();
    const double gap =
        infinite || below == std::numeric_limits<double>::infinity() ? 0.0 : above - below;
    const bool better = !best || (infinite && !best_infinite) ||
                        (infinite == best_infinite && !infinite && gap > best_gap);
    if (better) {
      best = GroupChoice{k, below, above};
      best_gap = gap;
      best_infinite = infinite;
    }
  }
  return best;
}

}  // namespace locprox::summary
