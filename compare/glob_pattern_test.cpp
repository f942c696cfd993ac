// The patterns a budget names symbols by: each row a pattern, a name and whether it matches,
// then the patterns refused with their reason.
#include "compare/glob_pattern.h"

#include <gtest/gtest.h>

namespace {

struct glob_case {
  const char* pattern;
  const char* name;
  bool matches;
};

class GlobMatch : public ::testing::TestWithParam<glob_case> {};

TEST_P(GlobMatch, MatchesTheWholeName) {
  std::string error;
  const std::optional<glob_pattern> pattern = glob_pattern::parse(GetParam().pattern, error);
  ASSERT_TRUE(pattern) << error;
  EXPECT_EQ(pattern->matches(GetParam().name), GetParam().matches)
      << GetParam().pattern << " on " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, GlobMatch,
    ::testing::Values(
        glob_case{"printf", "printf", true}, glob_case{"printf", "sprintf", false},
        glob_case{"printf", "printf_r", false}, glob_case{"*printf*", "printf", true},
        glob_case{"*printf*", "_vfprintf_r", true}, glob_case{"*printf*", "print_f", false},
        glob_case{"*", "", true}, glob_case{"*", "anything", true}, glob_case{"?", "", false},
        glob_case{"?", "a", true}, glob_case{"a?c", "abc", true}, glob_case{"a?c", "ac", false},
        glob_case{"a*b*c", "aXbYbZc", true}, glob_case{"a*b*c", "aXbYcZ", false},
        glob_case{"*ab", "aab", true}, glob_case{"*ab", "abab", true},
        glob_case{"*ab", "aba", false}, glob_case{"a**b", "ab", true},
        glob_case{"[abc]x", "bx", true}, glob_case{"[abc]x", "dx", false},
        glob_case{"[a-c]x", "cx", true}, glob_case{"[!a-c]x", "cx", false},
        glob_case{"[^a-c]x", "dx", true}, glob_case{"[]]", "]", true}, glob_case{"[a-]", "-", true},
        glob_case{"operator new\\[\\]*", "operator new[](unsigned int)", true},
        glob_case{"\\*", "*", true}, glob_case{"\\*", "a", false},
        glob_case{"logger::*", "logger::print()", true},
        glob_case{"*.constprop.*", "encode.constprop.0", true},
        glob_case{"PRINTF", "printf", false},
        // Many stars and no match: every split of the name fails.
        glob_case{"*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false}));

struct refused_case {
  const char* pattern;
  const char* error;
};

class GlobRefused : public ::testing::TestWithParam<refused_case> {};

TEST_P(GlobRefused, SaysWhy) {
  std::string error;
  EXPECT_FALSE(glob_pattern::parse(GetParam().pattern, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, GlobRefused,
    ::testing::Values(refused_case{"abc[de", "the \"[\" at 4 is not closed by \"]\""},
                      refused_case{"[]", "the \"[\" at 1 is not closed by \"]\""},
                      refused_case{"[z-a]", "the range \"z-a\" runs backwards"},
                      refused_case{"abc\\", "a \"\\\" at the end takes no character"}));

}  // namespace
