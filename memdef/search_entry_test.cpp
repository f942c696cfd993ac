// SEARCH entries: how the argument text is split into the three kinds of
// terms, the text the report prints for an entry, which section names an
// entry covers, and the accounting of sizes.
#include "memdef/search_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using terms = std::vector<std::string>;

// ---------------------------------------------------------------- splitting

TEST(SearchEntrySplit, PrefixesDecideTheKindAndAreRemoved) {
  const search_entry entry(" Com |Can !Test");
  EXPECT_EQ(entry.all_terms, terms{"Com"});
  EXPECT_EQ(entry.any_terms, terms{"Can"});
  EXPECT_EQ(entry.none_terms, terms{"Test"});
  EXPECT_TRUE(entry.valid);
  EXPECT_EQ(entry.total, 0u);
}

TEST(SearchEntrySplit, TermsKeepTheirOrderWithinEachKind) {
  const search_entry entry("!x |y z |w a !v");
  EXPECT_EQ(entry.all_terms, (terms{"z", "a"}));
  EXPECT_EQ(entry.any_terms, (terms{"y", "w"}));
  EXPECT_EQ(entry.none_terms, (terms{"x", "v"}));
}

TEST(SearchEntrySplit, EveryWhiteSpaceCharacterSeparatesAndNothingElseDoes) {
  const search_entry entry("\ta\v b\f\fc\r\nd  e,f;g/h");
  EXPECT_EQ(entry.all_terms, (terms{"a", "b", "c", "d", "e,f;g/h"}));
}

TEST(SearchEntrySplit, OnlyTheFirstCharacterIsAPrefix) {
  const search_entry entry("a!b c|d !!x |!y !|z ||w");
  EXPECT_EQ(entry.all_terms, (terms{"a!b", "c|d"}));
  EXPECT_EQ(entry.none_terms, (terms{"!x", "|z"}));
  EXPECT_EQ(entry.any_terms, (terms{"!y", "|w"}));
}

TEST(SearchEntrySplit, LonePrefixesGiveEmptyTerms) {
  const search_entry entry("! |");
  EXPECT_TRUE(entry.all_terms.empty());
  EXPECT_EQ(entry.any_terms, terms{""});
  EXPECT_EQ(entry.none_terms, terms{""});
  EXPECT_TRUE(entry.valid);
}

TEST(SearchEntrySplit, ATextWithoutTermsGivesAnInvalidEntry) {
  for (const char* text : {"", " ", " \t\r\n\v\f "}) {
    const search_entry entry(text);
    EXPECT_FALSE(entry.valid) << '"' << text << '"';
    EXPECT_TRUE(entry.all_terms.empty());
    EXPECT_TRUE(entry.any_terms.empty());
    EXPECT_TRUE(entry.none_terms.empty());
    EXPECT_EQ(entry.display_text(), "");
  }
}

TEST(SearchEntrySplit, NoneTermsAloneMakeAValidEntry) {
  EXPECT_TRUE(search_entry("!Test").valid);
  EXPECT_TRUE(search_entry("|Can").valid);
}

// ------------------------------------------------------------- display text

TEST(SearchEntryDisplay, AllThenAnyThenNoneEachFollowedByABlank) {
  EXPECT_EQ(search_entry("Com |Can !Test").display_text(), "Com |Can !Test ");
  EXPECT_EQ(search_entry("!x |y z |w a !v").display_text(), "z a |y |w !x !v ");
  EXPECT_EQ(search_entry("\tOs  ").display_text(), "Os ");
  EXPECT_EQ(search_entry("! |").display_text(), "| ! ");
  EXPECT_EQ(search_entry("!!x").display_text(), "!!x ");
}

// ------------------------------------------------------------------ matches

TEST(SearchEntryMatches, AllTermsMustAllOccurAnywhereInTheName) {
  const search_entry entry("Com Stack");
  EXPECT_TRUE(entry.matches("ComStack"));
  EXPECT_TRUE(entry.matches(".text.StackCom"));
  EXPECT_TRUE(entry.matches("xxComxxStackxx"));
  EXPECT_FALSE(entry.matches("Com"));
  EXPECT_FALSE(entry.matches("Stack"));
  EXPECT_FALSE(entry.matches(""));
}

TEST(SearchEntryMatches, TestsAreCaseSensitive) {
  const search_entry entry("Com |Can");
  EXPECT_FALSE(entry.matches("com"));
  EXPECT_FALSE(entry.matches("CAN"));
  // A none-term in other letters' case excludes nothing.
  EXPECT_TRUE(search_entry("Com !test").matches("ComTest"));
}

TEST(SearchEntryMatches, AnyTermsAreAlternativesToTheAllTerms) {
  const search_entry entry("Com Stack |Can |Lin");
  EXPECT_TRUE(entry.matches("ComStack"));
  EXPECT_TRUE(entry.matches("CanIf"));
  EXPECT_TRUE(entry.matches("LinIf"));
  EXPECT_FALSE(entry.matches("ComIf"));
  EXPECT_FALSE(entry.matches("Stack"));
}

TEST(SearchEntryMatches, NoneTermsExcludeWhateverElseMatches) {
  const search_entry entry("Com |Can !Test");
  EXPECT_TRUE(entry.matches("ComStack"));
  EXPECT_TRUE(entry.matches("CanIf"));
  EXPECT_FALSE(entry.matches("ComTest"));
  EXPECT_FALSE(entry.matches("CanTest"));
  EXPECT_FALSE(entry.matches("Test"));
  EXPECT_FALSE(entry.matches("Dio"));
}

TEST(SearchEntryMatches, NoneTermsAloneNeverMatch) {
  const search_entry entry("!Test !Dem");
  EXPECT_FALSE(entry.matches("Com"));
  EXPECT_FALSE(entry.matches(""));
}

TEST(SearchEntryMatches, ALoneExclamationMarkExcludesEveryName) {
  const search_entry entry("Com !");
  EXPECT_FALSE(entry.matches("Com"));
  EXPECT_FALSE(entry.matches("ComStack"));
  EXPECT_FALSE(search_entry("| !").matches("x"));
}

TEST(SearchEntryMatches, ALoneBarMatchesEveryNameThatIsNotExcluded) {
  const search_entry entry("| !Test");
  EXPECT_TRUE(entry.matches("anything"));
  EXPECT_TRUE(entry.matches(""));
  EXPECT_FALSE(entry.matches("MyTest"));
  // With all-terms beside it the bar still lets every name through.
  EXPECT_TRUE(search_entry("Com |").matches("Dio"));
}

TEST(SearchEntryMatches, AnInvalidEntryMatchesNothing) {
  const search_entry entry("   ");
  EXPECT_FALSE(entry.matches("Com"));
  EXPECT_FALSE(entry.matches(""));
}

// ----------------------------------------------------------------- add_size

TEST(SearchEntryAddSize, AValidEntryAddsAndWraps) {
  search_entry entry("Com");
  EXPECT_TRUE(entry.add_size(0x10));
  EXPECT_TRUE(entry.add_size(0));
  EXPECT_EQ(entry.total, 0x10u);
  EXPECT_TRUE(entry.add_size(0xFFFFFFF8));
  EXPECT_EQ(entry.total, 0x8u);
}

TEST(SearchEntryAddSize, AnInvalidEntryStaysAtZero) {
  search_entry entry("");
  EXPECT_FALSE(entry.add_size(0x10));
  EXPECT_EQ(entry.total, 0u);
}

}  // namespace
