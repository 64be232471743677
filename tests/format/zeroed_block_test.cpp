// Memory that comes zeroed from the system: blocks, blocks reused from year
// to year, and the file units' buffers.
#include "format/zeroed_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <span>
#include <string>

namespace locprox {
namespace {

// The run's work arrays come zeroed from the system and are not cleared
// again: every element must read zero and be writable, on either side of
// the size from which a block is mapped on its own (256 KiB) and of whole
// huge pages.
TEST(ZeroedBlock, EveryElementIsZeroAndWritable) {
  for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{1000},
                            (std::size_t{1} << 18) - 1, std::size_t{1} << 18,
                            (std::size_t{5} << 18) + 3, std::size_t{1} << 19,
                            (std::size_t{1} << 19) + 1, (std::size_t{1} << 16) - 1,
                            std::size_t{1} << 16}) {
    SCOPED_TRACE("elements: " + std::to_string(count));
    ZeroedBlock<std::int32_t> block(count);
    std::span<std::int32_t> elements = block.span();
    ASSERT_EQ(elements.size(), count);
    EXPECT_EQ(block.size(), count);
    // A mapped block starts on a huge-page boundary (whole huge pages).
    if (count * sizeof(std::int32_t) >= (std::size_t{256} << 10)) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(elements.data()) % (std::size_t{2} << 20), 0u);
    }
    std::size_t nonzero = 0;
    for (std::int32_t e : elements) nonzero += e != 0;
    EXPECT_EQ(nonzero, 0u);
    for (std::size_t i = 0; i < count; i += 1021) elements[i] = static_cast<std::int32_t>(i) + 1;
    if (count > 0) elements[count - 1] = -7;
    std::size_t lost = 0;
    for (std::size_t i = 0; i + 1 < count; i += 1021)
      lost += elements[i] != static_cast<std::int32_t>(i) + 1;
    EXPECT_EQ(lost, 0u);
    if (count > 0) {
      EXPECT_EQ(elements[count - 1], -7);
    }
  }
  EXPECT_THROW(ZeroedBlock<double>(~std::size_t{0} / 4), std::bad_alloc);
}

// A reused block hands out the memory it holds while a year fits in it, and
// larger memory when one does not.
TEST(ReusedBlock, KeepsItsMemoryWhileTheYearsFit) {
  ReusedBlock<float> block;
  const std::span<float> first = block.first(100000);
  ASSERT_EQ(first.size(), 100000u);
  first[99999] = 1.5f;
  const std::span<float> smaller = block.first(10);
  EXPECT_EQ(smaller.data(), first.data());
  EXPECT_EQ(smaller.size(), 10u);
  EXPECT_EQ(block.first(100000)[99999], 1.5f);  // the same memory, untouched
  const std::span<float> larger = block.first(300000);
  ASSERT_EQ(larger.size(), 300000u);
  larger[299999] = 2.0f;
  EXPECT_EQ(block.first(0).size(), 0u);
}

// A file unit's buffer keeps what it holds when it grows, across the size
// from which it is mapped on its own (the input unit's long records).
TEST(ByteBuffer, GrowingKeepsTheContents) {
  ByteBuffer buffer;
  EXPECT_TRUE(buffer.empty());
  std::size_t size = 64;
  buffer.resize(size);
  for (std::size_t i = 0; i < size; ++i) buffer.data()[i] = static_cast<char>('a' + i % 26);
  while (size < (std::size_t{3} << 20)) {
    const std::size_t old = size;
    size = size * 4 + 7;
    buffer.resize(size);
    ASSERT_EQ(buffer.size(), size);
    std::size_t lost = 0;
    for (std::size_t i = 0; i < old; ++i) lost += buffer.data()[i] != static_cast<char>('a' + i % 26);
    EXPECT_EQ(lost, 0u) << "grown from " << old << " to " << size;
    for (std::size_t i = old; i < size; ++i) buffer.data()[i] = static_cast<char>('a' + i % 26);
  }
  const char* before = buffer.data();
  buffer.resize(10);  // smaller: the same memory
  EXPECT_EQ(buffer.data(), before);
  EXPECT_EQ(buffer.size(), 10u);
}

}  // namespace
}  // namespace locprox
