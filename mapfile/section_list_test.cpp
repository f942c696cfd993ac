// The address-ordered section list: ascending unsigned starts, and among
// equal starts the most recently inserted record first, checked on small
// cases and against a plain list walk on many random insertions.
#include "mapfile/section_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "mapfile/section_name_pool.h"

namespace {

/// Each test's records take their names from a pool of the test's own.
class SectionList : public ::testing::Test {
 protected:
  section_record make(std::uint32_t start, const std::string& name, std::uint32_t size = 1) {
    section_record record;
    record.start = start;
    record.size = size;
    record.name = section_name(name, m_names);
    return record;
  }

  section_name_pool m_names;
};

std::vector<std::string> names(const section_list& list) {
  std::vector<std::string> result;
  for (const section_record& record : list) {
    result.push_back(record.name);
  }
  return result;
}

using name_list = std::vector<std::string>;

TEST_F(SectionList, StartsInAscendingOrder) {
  section_list list;
  EXPECT_TRUE(list.empty());
  list.insert(make(0x300, "c"));
  list.insert(make(0x100, "a"));
  list.insert(make(0x200, "b"));
  EXPECT_EQ(names(list), (name_list{"a", "b", "c"}));
  EXPECT_EQ(list.size(), 3u);
  EXPECT_EQ(list.front().name, "a");
  EXPECT_EQ(list.back().name, "c");
}

TEST_F(SectionList, AmongEqualStartsTheNewestStandsFirst) {
  section_list list;
  list.insert(make(0x300, "c"));
  list.insert(make(0x100, "a"));
  list.insert(make(0x200, "b1"));
  list.insert(make(0x200, "b2"));
  EXPECT_EQ(names(list), (name_list{"a", "b2", "b1", "c"}));
  list.insert(make(0x200, "b3"));
  list.insert(make(0x100, "a2"));
  list.insert(make(0x300, "c2"));
  EXPECT_EQ(names(list), (name_list{"a2", "a", "b3", "b2", "b1", "c2", "c"}));
}

TEST_F(SectionList, AnEqualStartAtTheEndAlsoGoesBeforeItsEquals) {
  section_list list;
  list.insert(make(1, "x"));
  list.insert(make(2, "y"));
  list.insert(make(3, "z1"));
  list.insert(make(3, "z2"));
  EXPECT_EQ(names(list), (name_list{"x", "y", "z2", "z1"}));
  list.insert(make(2, "y2"));
  list.insert(make(4, "w"));
  list.insert(make(3, "z3"));
  EXPECT_EQ(names(list), (name_list{"x", "y2", "y", "z3", "z2", "z1", "w"}));
}

TEST_F(SectionList, StartsCompareUnsigned) {
  section_list list;
  list.insert(make(0x80000000, "top"));
  list.insert(make(0x7FFFFFFF, "below"));
  list.insert(make(0xFFFFFFFF, "last"));
  list.insert(make(0, "zero"));
  list.insert(make(0xFEDF0000, "ram"));
  EXPECT_EQ(names(list), (name_list{"zero", "below", "top", "ram", "last"}));
}

TEST_F(SectionList, KeepsCopiesOfTheRecordsWithAllTheirFields) {
  section_list list;
  section_record record = make(0x40, "bits", 0x18);
  record.range_index = 2;
  record.size_unit = 1;
  list.insert(record);
  record.name = section_name("changed", m_names);
  record.start = 0;
  const section_record& kept = list.front();
  EXPECT_EQ(kept.name, "bits");
  EXPECT_EQ(kept.start, 0x40u);
  EXPECT_EQ(kept.size, 0x18u);
  EXPECT_EQ(kept.range_index, 2);
  EXPECT_EQ(kept.size_unit, 1u);
}

// The documented rule, done the plain way: walk from the front and insert
// before the first record whose start is greater than or equal.
void reference_insert(std::vector<section_record>& list, const section_record& record) {
  auto position = list.begin();
  while (position != list.end() && position->start < record.start) {
    ++position;
  }
  list.insert(position, record);
}

TEST_F(SectionList, ManyRandomInsertionsFollowTheRule) {
  std::mt19937 random(4711);
  for (int round = 0; round < 20; ++round) {
    // Few distinct starts in some rounds (many equals), the full range in
    // others, and runs of ascending starts as in a sorted listing.
    const std::uint32_t spread = round % 3 == 0 ? 8 : (round % 3 == 1 ? 1000 : 0xFFFFFFFF);
    section_list list;
    std::vector<section_record> expected;
    std::uint32_t ascending = 0;
    for (int i = 0; i < 5000; ++i) {
      std::uint32_t start = 0;
      if (random() % 4 == 0) {
        ascending += static_cast<std::uint32_t>(random() % 3);
        start = ascending;
      } else {
        start = static_cast<std::uint32_t>(random()) % spread;
        if (spread == 0xFFFFFFFF && random() % 2 == 0) {
          start |= 0x80000000u;
        }
      }
      const section_record record = make(start, std::to_string(round) + "/" + std::to_string(i));
      list.insert(record);
      reference_insert(expected, record);
      // Look at the list now and then while it grows, and at the end.
      if (i % 997 == 0 || i == 4999) {
        ASSERT_EQ(list.size(), expected.size());
        std::size_t at = 0;
        for (const section_record& kept : list) {
          ASSERT_EQ(kept.name, expected[at].name) << "round " << round << ", position " << at;
          ASSERT_EQ(kept.start, expected[at].start);
          ++at;
        }
      }
    }
  }
}

TEST_F(SectionList, InsertingAllAtOnceEqualsInsertingOneByOne) {
  std::mt19937 random(815);
  for (int round = 0; round < 8; ++round) {
    std::vector<section_record> records;
    // Ascending runs with a few equal and smaller starts in between, as in a
    // listing whose addresses wrap, or wholly ascending ones.
    std::uint32_t start = 0;
    for (int i = 0; i < 5000; ++i) {
      if (round % 4 != 3 && random() % 50 == 0) {
        start = static_cast<std::uint32_t>(random() % 0x1000);
      }
      start += static_cast<std::uint32_t>(random() % (round % 4 == 3 ? 3 : 2)) + (round % 4 == 3);
      records.push_back(make(start, std::to_string(round) + "/" + std::to_string(i)));
    }
    section_list one_by_one;
    section_list at_once;
    if (round % 2 == 1) {
      for (const section_record& early : {make(0x10, "early"), make(0x10, "early2")}) {
        one_by_one.insert(early);
        at_once.insert(early);
      }
    }
    for (const section_record& record : records) {
      one_by_one.insert(record);
    }
    at_once.insert_all(std::move(records));
    EXPECT_EQ(names(at_once), names(one_by_one)) << "round " << round;
    // And what comes after them is still put in its place.
    one_by_one.insert(make(0x20, "late"));
    at_once.insert(make(0x20, "late"));
    EXPECT_EQ(names(at_once), names(one_by_one)) << "round " << round;
  }
}

TEST_F(SectionList, PartsInsertedAtOnceFollowTheRule) {
  std::mt19937 random(2612);
  // Small and large parts, empty parts, one part.
  const std::vector<std::vector<std::size_t>> layouts = {
      {300, 0, 500, 200}, {1500, 0, 2500, 3000, 1}, {4000}, {0, 0}, {2047, 1}, {1000, 1000, 48}};
  // Few distinct starts (many equal ones across parts) or many, up to the
  // whole 32-bit address space.
  const std::uint32_t spreads[] = {64, 0x00020000, 0x04000000, 0xFFFFFFFF};
  for (std::size_t round = 0; round < 4 * layouts.size(); ++round) {
    const std::vector<std::size_t>& layout = layouts[round % layouts.size()];
    const std::uint32_t spread = spreads[round / layouts.size()];
    std::vector<std::vector<section_record>> parts;
    std::vector<section_record> expected;  // by the plain rule, not by the list
    int n = 0;
    for (const std::size_t count : layout) {
      parts.emplace_back();
      for (std::size_t i = 0; i < count; ++i) {
        const section_record record =
            make(static_cast<std::uint32_t>(random()) % spread, std::to_string(n++));
        parts.back().push_back(record);
        reference_insert(expected, record);
      }
    }
    section_list parted;
    parted.insert_parts(std::move(parts));
    ASSERT_EQ(parted.size(), expected.size()) << "round " << round;
    EXPECT_EQ(parted.empty(), expected.empty());
    // Summing in any order sees every record once, before and after the
    // list is put in order.
    std::uint64_t visited = 0;
    std::size_t count = 0;
    parted.visit_in_any_order([&](const section_record& record) {
      visited += record.start;
      ++count;
    });
    std::uint64_t expected_sum = 0;
    name_list expected_names;
    for (const section_record& record : expected) {
      expected_sum += record.start;
      expected_names.push_back(record.name);
    }
    EXPECT_EQ(visited, expected_sum);
    EXPECT_EQ(count, expected.size());
    EXPECT_EQ(names(parted), expected_names) << "round " << round;
    reference_insert(expected, make(0x20, "late"));
    parted.insert(make(0x20, "late"));
    expected_names.clear();
    for (const section_record& record : expected) {
      expected_names.push_back(record.name);
    }
    EXPECT_EQ(names(parted), expected_names) << "round " << round;
  }
}

TEST_F(SectionList, ARecordInsertedBeforeThePartsAreReadTakesItsPlace) {
  std::vector<std::vector<section_record>> parts(3);
  for (int i = 0; i < 3000; ++i) {
    parts[static_cast<std::size_t>(i % 3)].push_back(make(0x100, "p" + std::to_string(i)));
  }
  section_list list;
  list.insert_parts(std::move(parts));
  list.insert(make(0x100, "newest"));
  EXPECT_EQ(list.size(), 3001u);
  EXPECT_EQ(list.front().name, "newest");
  EXPECT_EQ(list.in_any_order().size(), 3001u);
  // The parts follow each other: the last record of the last part is the
  // newest of them.
  EXPECT_EQ((list.begin() + 1)->name, "p2999");
  EXPECT_EQ(list.back().name, "p0");
}

TEST_F(SectionList, ThousandsOfEqualStartsStandNewestFirst) {
  section_list list;
  name_list expected;
  for (int i = 0; i < 3000; ++i) {
    list.insert(make(0x4000, std::to_string(i)));
    expected.insert(expected.begin(), std::to_string(i));
  }
  list.insert(make(0x3000, "below"));
  expected.insert(expected.begin(), "below");
  EXPECT_EQ(names(list), expected);
}

}  // namespace
