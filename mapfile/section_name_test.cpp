// Section names are kept once per distinct text of a pool: equal texts must
// give equal names and different texts different ones, whatever the lookup
// caches hold and however many threads make names at once; two pools never
// share a name or a number.
#include "mapfile/section_name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "mapfile/section_name_pool.h"

namespace {

TEST(SectionName, EqualTextsGiveTheSameName) {
  section_name_pool pool;
  const section_name a(".text", pool);
  const std::string text = ".text";
  const section_name b(text, pool);
  const section_name c(std::string_view(".text_x").substr(0, 5), pool);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_EQ(a.id(), c.id());
  EXPECT_EQ(a.str(), ".text");
  EXPECT_EQ(c.size(), 5u);
}

TEST(SectionName, DifferentTextsStayApart) {
  section_name_pool pool;
  const section_name lower(".bss", pool);
  const section_name upper(".BSS", pool);
  const section_name longer(".bss2", pool);
  EXPECT_NE(lower, upper);
  EXPECT_NE(lower, longer);
  EXPECT_NE(lower.id(), upper.id());
  EXPECT_EQ(lower, ".bss");
  EXPECT_EQ(upper, ".BSS");
  EXPECT_EQ(longer, ".bss2");
}

TEST(SectionName, TheEmptyNameIsTheDefault) {
  section_name_pool pool;
  const section_name none;
  const section_name empty("", pool);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none, empty);
  EXPECT_EQ(none.id(), 0u);
  EXPECT_EQ(empty.id(), 0u);
  EXPECT_EQ(none.str(), "");
  EXPECT_EQ(none.size(), 0u);
  EXPECT_FALSE(section_name("x", pool).empty());
  EXPECT_EQ(pool.distinct_count(), 2u) << "the empty text and \"x\"";
}

TEST(SectionName, ANewTextIsKeptOnceAndOnlyOnce) {
  section_name_pool pool;
  EXPECT_EQ(pool.distinct_count(), 1u) << "the empty text";
  const section_name first("a text", pool);
  EXPECT_EQ(pool.distinct_count(), 2u);
  const section_name again("a text", pool);
  EXPECT_EQ(pool.distinct_count(), 2u);
  EXPECT_EQ(first, again);
}

TEST(SectionName, NumbersAreDenseFromOneInTheOrderTextsFirstCome) {
  section_name_pool pool;
  const std::vector<std::string> texts = {"c", "a", "c", "b", "a", "d"};
  std::vector<std::uint32_t> ids;
  for (const std::string& text : texts) {
    ids.push_back(section_name(text, pool).id());
  }
  EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 2, 1, 3, 2, 4}));
}

TEST(SectionName, TwoPoolsKeepTheirOwnNamesAndNumbers) {
  section_name_pool first;
  section_name_pool second;
  const section_name a_first("a", first);
  const section_name b_second("b", second);
  const section_name a_second("a", second);
  EXPECT_EQ(a_first.id(), 1u);
  EXPECT_EQ(b_second.id(), 1u);
  EXPECT_EQ(a_second.id(), 2u);
  EXPECT_EQ(a_first.str(), a_second.str());
  EXPECT_NE(a_first, a_second) << "a name belongs to its pool";
  EXPECT_EQ(first.distinct_count(), 2u);
  EXPECT_EQ(second.distinct_count(), 3u);
}

TEST(SectionName, TextsThatShareLengthAndEndsAreNotConfused) {
  // Same length, first and last character: the lookup cache cannot tell
  // these apart by its key alone.
  section_name_pool pool;
  const std::vector<std::string> texts = {"_axz", "_bxz", "_ayz", "_axz", "_bxz"};
  std::vector<section_name> names;
  for (int pass = 0; pass < 3; ++pass) {
    for (const std::string& text : texts) {
      names.emplace_back(text, pool);
      EXPECT_EQ(names.back().str(), text);
    }
  }
  EXPECT_EQ(names[0], names[3]);
  EXPECT_NE(names[0], names[1]);
  EXPECT_NE(names[0], names[2]);
  EXPECT_EQ(names[1], names[4]);
}

TEST(SectionName, TextsStayValidWhileManyMoreAreAdded) {
  section_name_pool pool;
  const section_name first("kept while the pool grows", pool);
  const std::string& text = first.str();
  std::unordered_set<std::uint32_t> ids;
  for (int i = 0; i < 100000; ++i) {
    ids.insert(section_name("grow/" + std::to_string(i), pool).id());
  }
  EXPECT_EQ(ids.size(), 100000u);
  EXPECT_EQ(text, "kept while the pool grows");
  EXPECT_EQ(section_name("grow/4711", pool).str(), "grow/4711");
  EXPECT_EQ(section_name("grow/4711", pool).id(),
            section_name(std::string("grow/") + "4711", pool).id());
  EXPECT_EQ(pool.distinct_count(), 100002u);
}

TEST(SectionName, ComparesAndPrintsLikeItsText) {
  section_name_pool pool;
  const section_name name(".data", pool);
  EXPECT_TRUE(name == std::string(".data"));
  EXPECT_TRUE(std::string(".data") == name);
  EXPECT_TRUE(".data" == name);
  EXPECT_TRUE(name != ".rodata");
  const std::string_view view = name;
  EXPECT_EQ(view, ".data");
  std::ostringstream out;
  out << name;
  EXPECT_EQ(out.str(), ".data");
}

TEST(SectionName, ARecentListGivesTheSameNamesAsThePool) {
  section_name_pool pool;
  section_name::recent_list recent(pool);
  // More texts than the list keeps, in rounds, some sharing length and ends,
  // so that the list starts afresh and its slots collide.
  std::vector<std::string> texts;
  for (int i = 0; i < 300; ++i) {
    texts.push_back("_r" + std::to_string(i % 10) + "x" + std::to_string(i) + "z");
  }
  texts.push_back(".sdata");
  texts.push_back(".tdata");
  texts.push_back(".zdata");
  // Short names that differ in one character only, at every place.
  for (std::size_t size = 1; size <= 9; ++size) {
    for (std::size_t at = 0; at < size; ++at) {
      std::string text(size, 'q');
      text[at] = 'Q';
      texts.push_back(text);
    }
    texts.push_back(std::string(size, 'q'));
  }
  for (int round = 0; round < 3; ++round) {
    for (const std::string& text : texts) {
      const section_name listed(text, recent);
      ASSERT_EQ(listed, section_name(text, pool)) << text;
      ASSERT_EQ(listed.str(), text);
    }
  }
  EXPECT_TRUE(section_name("", recent).empty());
}

TEST(SectionName, RecentListsOfTwoPoolsGiveNamesOfTheirOwnPool) {
  // The same texts through two lists, one per pool: each list must hand out
  // the names of its pool, never a name it met for the other.
  section_name_pool first;
  section_name_pool second;
  section_name::recent_list first_recent(first);
  section_name::recent_list second_recent(second);
  EXPECT_EQ(section_name("only in the second", second).id(), 1u);
  for (int round = 0; round < 2; ++round) {
    for (const char* text : {".text", ".data", "a much longer section name"}) {
      EXPECT_EQ(section_name(text, first_recent), section_name(text, first)) << text;
      EXPECT_EQ(section_name(text, second_recent), section_name(text, second)) << text;
    }
  }
  EXPECT_EQ(first.distinct_count(), 4u);
  EXPECT_EQ(second.distinct_count(), 5u);
}

TEST(SectionName, ThreadsMakingNamesAtOnceAgreeOnThem) {
  // Every thread makes the same texts in its own order, many of them new to
  // the pool; afterwards each text has one number everywhere.
  constexpr int k_threads = 4;
  constexpr int k_texts = 3000;
  section_name_pool pool;
  std::vector<std::vector<std::uint32_t>> ids(k_threads, std::vector<std::uint32_t>(k_texts));
  std::vector<std::thread> threads;
  for (int t = 0; t < k_threads; ++t) {
    threads.emplace_back([t, &ids, &pool] {
      section_name::recent_list recent(pool);
      for (int n = 0; n < k_texts; ++n) {
        const int i = (n * 7 + t * 1013) % k_texts;
        const std::string text = "threaded/" + std::to_string(i % 40) + "/" + std::to_string(i);
        ids[t][i] = section_name(text, recent).id();
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  std::unordered_set<std::uint32_t> distinct;
  for (int i = 0; i < k_texts; ++i) {
    for (int t = 1; t < k_threads; ++t) {
      ASSERT_EQ(ids[t][i], ids[0][i]) << "text " << i << ", thread " << t;
    }
    distinct.insert(ids[0][i]);
    EXPECT_EQ(
        section_name("threaded/" + std::to_string(i % 40) + "/" + std::to_string(i), pool).id(),
        ids[0][i]);
  }
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(k_texts));
  EXPECT_EQ(pool.distinct_count(), static_cast<std::size_t>(k_texts) + 1);
}

TEST(SectionName, PoolsOnTwoThreadsNumberTheirNamesEachFromOne) {
  // Two analyses at once: each pool's numbers stay dense from 1, in the
  // order its own thread met the texts.
  constexpr std::uint32_t k_texts = 2000;
  section_name_pool pools[2];
  std::vector<std::uint32_t> ids[2];
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([t, &pools, &ids] {
      section_name::recent_list recent(pools[t]);
      for (std::uint32_t i = 0; i < k_texts; ++i) {
        ids[t].push_back(section_name("n" + std::to_string(i % 500 + 100 * t), recent).id());
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (int t = 0; t < 2; ++t) {
    for (std::uint32_t i = 0; i < k_texts; ++i) {
      ASSERT_EQ(ids[t][i], i % 500 + 1) << "pool " << t << ", text " << i;
    }
    EXPECT_EQ(pools[t].distinct_count(), 501u);
  }
}

}  // namespace
