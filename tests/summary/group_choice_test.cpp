#include "summary/group_choice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

#include "support/case_names.h"

namespace locprox::summary {
namespace {

// A tree over `heights.size() + 1` locations whose merges happen at the
// heights given (infinite: unconnected); only the heights matter here.
Dendrogram tree_of(const std::vector<double>& heights) {
  Dendrogram tree;
  tree.leaves = static_cast<std::int32_t>(heights.size()) + 1;
  for (double h : heights) tree.merges.push_back(Merge{0, 1, h, !std::isinf(h), 2});
  return tree;
}

struct ChoiceCase {
  const char* name;
  std::vector<double> heights;
  std::int32_t groups;
  double below, above;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
  *os << c.name;
}

class GroupChoiceCases : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(GroupChoiceCases, TakesTheLargestGapBetweenSuccessiveHeights) {
  const ChoiceCase& c = GetParam();
  const std::optional<GroupChoice> got = choose_groups(tree_of(c.heights));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->groups, c.groups);
  EXPECT_EQ(got->below, c.below);
  EXPECT_EQ(got->above, c.above);
}

constexpr double kInf = INFINITY;

INSTANTIATE_TEST_SUITE_P(Trees, GroupChoiceCases,
                         ::testing::Values(
                             // Five locations: K = 2 gap 0.1, K = 3 gap 0.7, K = 4 gap 0.1.
                             ChoiceCase{"three_groups", {0.1, 0.2, 0.9, 1.0}, 3, 0.2, 0.9},
                             // Equal gaps: the fewer groups.
                             ChoiceCase{"equal_gaps_fewest", {0.25, 0.5, 0.75, 1.0}, 2, 0.75, 1.0},
                             // Two unconnected merges at the top: three parts never compared.
                             ChoiceCase{"unconnected_parts", {0.1, 0.2, kInf, kInf}, 3, 0.2, kInf},
                             // Three locations: only K = 2 is offered.
                             ChoiceCase{"three_locations", {0.3, 0.4}, 2, 0.3, 0.4},
                             // Fourteen locations: K stops at 10, though the gap at 13 is larger.
                             ChoiceCase{"at_most_ten",
                                        {0.01, 0.02, 5.0, 5.1, 5.2, 5.3, 5.4, 5.5, 5.6, 5.7, 5.8,
                                         5.9, 6.5},
                                        2,
                                        5.9,
                                        6.5}),
                         ::locprox::testing::NameOfCase());

TEST(GroupChoice, NeedsThreeLocations) {
  EXPECT_FALSE(choose_groups(tree_of({0.5})));
  EXPECT_FALSE(choose_groups(tree_of({})));
  EXPECT_EQ(most_groups_offered(3), 2);
  EXPECT_EQ(most_groups_offered(600), 10);
}

}  // namespace
}  // namespace locprox::summary
