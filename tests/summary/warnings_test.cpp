// The summary's warnings go where the front end routes them, and back to
// where they went before once its route ends.
#include "summary/warnings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace locprox::summary {
namespace {

void collect(const std::string& text, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(text);
}

TEST(WarningRoute, SendsWarningsToTheInnermostRouteAndRestoresTheOneBefore) {
  std::vector<std::string> outer, inner;
  {
    const WarningRoute outer_route(collect, &outer);
    warn("first");
    {
      const WarningRoute inner_route(collect, &inner);
      warn("second");
    }
    warn("third");
  }
  EXPECT_EQ(outer, (std::vector<std::string>{"first", "third"}));
  EXPECT_EQ(inner, (std::vector<std::string>{"second"}));
}

}  // namespace
}  // namespace locprox::summary
