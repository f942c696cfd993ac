// Large range arrays are searched through an index; it must give the same
// answer as trying the ranges one by one in array order.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "memdef/c_memory_def.h"

namespace {

/// What find_range places: a start, a size and the index it finds.
struct placed_block {
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  std::int32_t range_index = -1;
};

int first_fit(const std::vector<memory_range>& ranges, std::uint32_t start, std::uint32_t size) {
  if (size == 0) {
    return -1;
  }
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (ranges[i].start <= start &&
        std::uint64_t{start} + size <= std::uint64_t{ranges[i].start} + ranges[i].size) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void expect_same_as_first_fit(const c_memory_def& definition, std::mt19937& rng,
                              std::uint32_t address_span) {
  for (int probe = 0; probe < 20000; ++probe) {
    placed_block record;
    record.start = static_cast<std::uint32_t>(rng() % address_span);
    record.size = static_cast<std::uint32_t>(rng() % 3 == 0 ? rng() % 16 : rng() % 0x3000);
    record.range_index = -7;
    const int expected = first_fit(definition.program_ranges, record.start, record.size);
    const bool found = definition.find_range(record, definition.program_ranges);
    ASSERT_EQ(found, expected >= 0) << record.start << " " << record.size;
    ASSERT_EQ(record.range_index, found ? expected : -7);
  }
}

TEST(FindRangeIndexTest, DisjointShuffledRangesAgreeWithFirstFit) {
  std::mt19937 rng(12345);
  c_memory_def definition;
  for (std::uint32_t i = 0; i < 500; ++i) {
    // Gaps between ranges, some empty ranges, some ranges touching.
    const auto size = static_cast<std::uint32_t>(i % 17 == 0 ? 0 : 0x100 + rng() % 0x1000);
    definition.program_ranges.push_back({i * 0x2000u + (i % 3 == 0 ? 0 : 0x80), size});
  }
  std::shuffle(definition.program_ranges.begin(), definition.program_ranges.end(), rng);
  expect_same_as_first_fit(definition, rng, 501 * 0x2000u);
}

TEST(FindRangeIndexTest, OverlappingRangesKeepFirstFitInArrayOrder) {
  std::mt19937 rng(777);
  c_memory_def definition;
  for (std::uint32_t i = 0; i < 200; ++i) {
    definition.program_ranges.push_back({static_cast<std::uint32_t>(rng() % 0x40000),
                                         static_cast<std::uint32_t>(0x100 + rng() % 0x8000)});
  }
  expect_same_as_first_fit(definition, rng, 0x50000);
}

TEST(FindRangeIndexTest, RangesAtTheTopOfTheAddressSpace) {
  c_memory_def definition;
  for (std::uint32_t i = 0; i < 32; ++i) {
    definition.program_ranges.push_back({0xFFFF0000u - i * 0x10000u, 0x10000});
  }
  placed_block at_top;
  at_top.start = 0xFFFFFF00;
  at_top.size = 0x100;
  ASSERT_TRUE(definition.find_range(at_top, definition.program_ranges));
  EXPECT_EQ(at_top.range_index, 0);

  placed_block past_top;
  past_top.start = 0xFFFFFF00;
  past_top.size = 0x200;
  EXPECT_FALSE(definition.find_range(past_top, definition.program_ranges));
  EXPECT_EQ(past_top.range_index, -1);

  placed_block across_two;
  across_two.start = 0xFFFEFF00;
  across_two.size = 0x200;
  EXPECT_FALSE(definition.find_range(across_two, definition.program_ranges));
}

TEST(FindRangeIndexTest, IndexFollowsArraysThatGrow) {
  c_memory_def definition;
  for (std::uint32_t i = 0; i < 20; ++i) {
    definition.memory_ranges.push_back({i * 0x1000u, 0x1000});
  }
  placed_block record;
  record.start = 0x30000;
  record.size = 4;
  EXPECT_FALSE(definition.find_range(record, definition.memory_ranges));
  definition.memory_ranges.push_back({0x30000, 0x10});
  EXPECT_TRUE(definition.find_range(record, definition.memory_ranges));
  EXPECT_EQ(record.range_index, 20);
}

}  // namespace
