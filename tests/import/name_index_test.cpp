// The names of a kind numbered by their first appearance, whatever their
// lengths and however alike they are.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "import/trial_table.h"

namespace locprox {
namespace {

// Names of every length from 0 to 40, many differing in one byte only,
// prefixes of one another, or in the bytes that a hash reading eight at a
// time reads twice; each asked for several times, in a shuffled order, so
// that the table grows many times between lookups of names it already has.
TEST(NameIndex, NumbersNamesByTheirFirstAppearance) {
  std::vector<std::string> asked;
  for (int length = 0; length <= 40; ++length) {
    for (int variant = 0; variant < 300; ++variant) {
      std::string name(static_cast<size_t>(length), 'a');
      if (length > 0)
        name[static_cast<size_t>(variant) % name.size()] = static_cast<char>('b' + variant / 40);
      if (length > 1 && variant % 3 == 0) name[name.size() / 2] = static_cast<char>(variant);
      asked.push_back(name);
    }
  }
  asked.push_back(std::string("\0\0\0", 3));
  asked.push_back(std::string("\0\0", 2));
  std::uint64_t seed = 99;
  const size_t distinct_asked = asked.size();
  for (size_t k = 0; k < 3 * distinct_asked; ++k) {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    asked.push_back(asked[(seed >> 33) % distinct_asked]);
  }
  NameIndex index;
  std::map<std::string, std::uint32_t> expected;
  std::vector<std::string> in_order;
  for (const std::string& name : asked) {
    const auto [at, added] = expected.emplace(name, static_cast<std::uint32_t>(in_order.size()));
    if (added) in_order.push_back(name);
    ASSERT_EQ(index.index_of(name), at->second) << "name of " << name.size() << " bytes";
  }
  EXPECT_EQ(index.names(), in_order);
  EXPECT_EQ(index.size(), in_order.size());
  // Every name once more, in the order of their numbers.
  for (std::uint32_t k = 0; k < in_order.size(); ++k) EXPECT_EQ(index.index_of(in_order[k]), k);
}

}  // namespace
}  // namespace locprox
