// A growing record written as front + kept values + end gives the bytes of
// one writer given all the values, for the row layouts of the report, at
// every length (one record, exactly full, continued on further records).

#include "format/growing_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "format/record_writer.h"

namespace locprox {
namespace {

std::string_view all_at_once(OutputUnit& out, const Layout& layout,
                             const std::vector<std::int32_t>& front,
                             const std::vector<std::int32_t>& values) {
  out.clear();
  RecordWriter writer(out, layout);
  for (const std::int32_t v : front) writer.put(v);
  writer.put_all(std::span<const std::int32_t>(values));
  writer.finish();
  return out.text();
}

TEST(GrowingRecord, GivesTheBytesOfOneWriterAtEveryLength) {
  struct Case {
    const char* layout;
    std::size_t front_values;
  } cases[] = {
      {"I5,1X,49I5", 2},     // a location's row: number, total, one value a year
      {"' Total',49I5", 1},  // the totals row: grand total, one value a year
      {"11X,48I5", 0},       // the year numbers
      {"20I4", 1},
  };
  for (const Case& c : cases) {
    const Layout layout{c.layout};
    GrowingRecord record(layout, c.front_values);
    OutputUnit want(OutputUnit::InMemory{}), got(OutputUnit::InMemory{});
    std::vector<std::int32_t> values;
    for (std::int32_t k = 1; k <= 150; ++k) {
      // One value at a time, and now and then a few at once; values too
      // large for their field too.
      std::vector<std::int32_t> more{k % 13 == 0 ? 123456 : k * 7};
      if (k % 10 == 0) more.push_back(k);
      values.insert(values.end(), more.begin(), more.end());
      record.append(more);
      std::vector<std::int32_t> front;
      for (std::size_t f = 0; f < c.front_values; ++f) {
        front.push_back(static_cast<std::int32_t>(k * 1000 + f));
      }
      got.clear();
      record.write(got, front);
      ASSERT_EQ(got.text(), all_at_once(want, layout, front, values))
          << c.layout << " with " << values.size() << " values";
    }
    record.clear();
    got.clear();
    record.write(got, std::vector<std::int32_t>(c.front_values, 5));
    EXPECT_EQ(got.text(), all_at_once(want, layout, std::vector<std::int32_t>(c.front_values, 5), {}))
        << c.layout << " cleared";
  }
}

}  // namespace
}  // namespace locprox
