// diff's --top read from the command line: it sets the section rows and the
// symbol rows under each range alike, and without it each keeps its default.
#include "check/diff_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct top_case {
  std::vector<std::string> words;
  std::size_t sections;
  std::size_t symbols;
};

class DiffTop : public ::testing::TestWithParam<top_case> {};

TEST_P(DiffTop, SetsBothLimits) {
  CLI::App app;
  diff_options options;
  add_diff_command(app, options);
  std::vector<std::string> words = GetParam().words;
  // CLI11 takes the words last first.
  std::vector<std::string> reversed(words.rbegin(), words.rend());
  app.parse(reversed);
  const diff_view view = diff_view_of(options);
  EXPECT_EQ(view.top, GetParam().sections);
  EXPECT_EQ(view.symbol_top, GetParam().symbols);
}

INSTANTIATE_TEST_SUITE_P(
    Options, DiffTop,
    ::testing::Values(top_case{{"diff", "a.json", "b.json"}, 20, 10},
                      top_case{{"diff", "a.json", "b.json", "--top", "3"}, 3, 3},
                      top_case{{"diff", "a.json", "b.json", "--top", "0"}, 0, 0},
                      top_case{{"diff", "--top", "25", "a.json", "b.json"}, 25, 25}));

}  // namespace
