// Section names are kept once per distinct text: equal texts must give equal
// names and different texts different ones, whatever the lookup caches hold
// and however many threads make names at once.
#include "mapfile/section_name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

TEST(SectionName, EqualTextsGiveTheSameName) {
  const section_name a = ".text";
  const std::string text = ".text";
  const section_name b = text;
  const section_name c = std::string_view(".text_x").substr(0, 5);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a, c);
  EXPECT_EQ(a.id(), c.id());
  EXPECT_EQ(a.str(), ".text");
  EXPECT_EQ(c.size(), 5u);
}

TEST(SectionName, DifferentTextsStayApart) {
  const section_name lower = ".bss";
  const section_name upper = ".BSS";
  const section_name longer = ".bss2";
  EXPECT_NE(lower, upper);
  EXPECT_NE(lower, longer);
  EXPECT_EQ(lower, ".bss");
  EXPECT_EQ(upper, ".BSS");
  EXPECT_EQ(longer, ".bss2");
}

TEST(SectionName, TheEmptyNameIsTheDefault) {
  const section_name none;
  const section_name empty = "";
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(none, empty);
  EXPECT_EQ(none.id(), 0u);
  EXPECT_EQ(none.str(), "");
  EXPECT_FALSE(section_name("x").empty());
}

TEST(SectionName, ANewTextIsKeptOnceAndOnlyOnce) {
  const std::size_t before = section_name::distinct_count();
  const section_name first = "a text no other test uses";
  EXPECT_EQ(section_name::distinct_count(), before + 1);
  const section_name again = "a text no other test uses";
  EXPECT_EQ(section_name::distinct_count(), before + 1);
  EXPECT_EQ(first, again);
}

TEST(SectionName, TextsThatShareLengthAndEndsAreNotConfused) {
  // Same length, first and last character: the lookup cache cannot tell
  // these apart by its key alone.
  const std::vector<std::string> texts = {"_axz", "_bxz", "_ayz", "_axz", "_bxz"};
  std::vector<section_name> names;
  for (int pass = 0; pass < 3; ++pass) {
    for (const std::string& text : texts) {
      names.emplace_back(text);
      EXPECT_EQ(names.back().str(), text);
    }
  }
  EXPECT_EQ(names[0], names[3]);
  EXPECT_NE(names[0], names[1]);
  EXPECT_NE(names[0], names[2]);
  EXPECT_EQ(names[1], names[4]);
}

TEST(SectionName, TextsStayValidWhileManyMoreAreAdded) {
  const section_name first = "kept while the pool grows";
  const std::string& text = first.str();
  std::unordered_set<std::uint32_t> ids;
  for (int i = 0; i < 100000; ++i) {
    ids.insert(section_name("grow/" + std::to_string(i)).id());
  }
  EXPECT_EQ(ids.size(), 100000u);
  EXPECT_EQ(text, "kept while the pool grows");
  EXPECT_EQ(section_name("grow/4711").str(), "grow/4711");
  EXPECT_EQ(section_name("grow/4711").id(), section_name(std::string("grow/") + "4711").id());
}

TEST(SectionName, ComparesAndPrintsLikeItsText) {
  const section_name name = ".data";
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
  section_name::recent_list recent;
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
      ASSERT_EQ(listed, section_name(text)) << text;
      ASSERT_EQ(listed.str(), text);
    }
  }
  EXPECT_TRUE(section_name("", recent).empty());
}

TEST(SectionName, ThreadsMakingNamesAtOnceAgreeOnThem) {
  // Every thread makes the same texts in its own order, many of them new to
  // the pool; afterwards each text has one number everywhere.
  constexpr int k_threads = 4;
  constexpr int k_texts = 3000;
  std::vector<std::vector<std::uint32_t>> ids(k_threads, std::vector<std::uint32_t>(k_texts));
  std::vector<std::thread> threads;
  for (int t = 0; t < k_threads; ++t) {
    threads.emplace_back([t, &ids] {
      section_name::recent_list recent;
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
    EXPECT_EQ(section_name("threaded/" + std::to_string(i % 40) + "/" + std::to_string(i)).id(),
              ids[0][i]);
  }
  EXPECT_EQ(distinct.size(), static_cast<std::size_t>(k_texts));
}

}  // namespace
