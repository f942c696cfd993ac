// Section names are kept once per distinct text: equal texts must give equal
// names and different texts different ones, whatever the lookup cache holds.
#include "mapfile/section_name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
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

}  // namespace
