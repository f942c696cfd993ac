// The symbol rows of a diff in every writer, against whole outputs written by
// hand: a hand-made diff of two ranges whose symbols were added, removed,
// grew, moved and stayed; the line of a diff where one report lacks symbols;
// and --top's limit on the rows under a range.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "compare/report_diff.h"
#include "tests/test_support.h"

namespace {

std::string testdata(const std::string& name) {
  return test_support::source_dir() + "/compare/testdata/" + name;
}

range_diff range_row(const std::string& id, std::uint64_t start, std::uint64_t size, double base,
                     double current, double base_unattributed, double current_unattributed) {
  range_diff row;
  row.id = id;
  row.in_base = true;
  row.in_current = true;
  row.base_start = start;
  row.current_start = start;
  row.base_size = size;
  row.current_size = size;
  row.used = make_diff_amount(base, current);
  row.base_used_pct = base * 100 / static_cast<double>(size);
  row.current_used_pct = current * 100 / static_cast<double>(size);
  row.current_free = static_cast<std::int64_t>(size) - static_cast<std::int64_t>(current);
  row.status = diff_status::changed;
  row.unattributed = make_diff_amount(base_unattributed, current_unattributed);
  return row;
}

symbol_place place(const std::string& section, const std::string& range, const std::string& group,
                   std::uint64_t address, std::uint64_t size) {
  return {section, range, group, address, size};
}

symbol_diff symbol_row(const std::string& key, const std::string& display, const std::string& file,
                       symbol_status status, const std::optional<symbol_place>& base,
                       const std::optional<symbol_place>& current) {
  symbol_diff row;
  row.key = key;
  row.display = display;
  row.file = file;
  row.status = status;
  row.in_base = base.has_value();
  row.in_current = current.has_value();
  row.base = base.value_or(symbol_place{});
  row.current = current.value_or(symbol_place{});
  row.bytes =
      make_diff_amount(static_cast<double>(row.base.size), static_cast<double>(row.current.size));
  return row;
}

symbol_sum sum_row(const std::string& name, double base, double current, std::uint64_t added,
                   std::size_t changed) {
  return {name, make_diff_amount(base, current), added, changed};
}

/// program0 (1024 bytes) went from 60 to 62 used, memory0 (512 bytes) from 70 to 120; their
/// symbols add up to the ranges with the unattributed bytes.
report_diff two_ranges() {
  report_diff diff;
  diff.program = {make_diff_amount(60, 62), diff_status::changed, 1024, 1024, 5.859375, 6.0546875};
  diff.memory = {make_diff_amount(70, 120), diff_status::changed, 512, 512, 13.671875, 23.4375};
  diff.ranges = {range_row("memory0", 0x20000000, 512, 70, 120, 6, 4),
                 range_row("program0", 0, 1024, 60, 62, 12, 14)};
  diff.groups = {{"text ", make_diff_amount(48, 50), diff_status::changed}};
  diff.sections = {{".bss", "memory0", "memory0", "", "", true, true, make_diff_amount(64, 96),
                    diff_status::changed},
                   {".text", "program0", "program0", "", "", true, true, make_diff_amount(48, 50),
                    diff_status::changed}};
  symbol_changes& symbols = diff.symbols;
  symbols.sides = symbol_sides::both;
  symbols.rows = {symbol_row("_ZN2ns4makeIiEEvv", "ns::make<int>()", "", symbol_status::added,
                             std::nullopt, place(".text", "program0", "text ", 0x100, 40)),
                  symbol_row("buffer", "buffer", "main.c", symbol_status::grown,
                             place(".bss", "memory0", "", 0x20000000, 64),
                             place(".bss", "memory0", "", 0x20000010, 96)),
                  symbol_row("old_fn", "old_fn", "", symbol_status::removed,
                             place(".text", "program0", "text ", 0x80, 24), std::nullopt),
                  symbol_row("table", "table", "", symbol_status::moved,
                             place(".rodata", "program0", "text ", 0x200, 16),
                             place(".data", "memory0", "", 0x20000000, 20)),
                  symbol_row("idle", "idle", "main.c", symbol_status::unchanged,
                             place(".text", "program0", "text ", 0x40, 8),
                             place(".text", "program0", "text ", 0x40, 8))};
  symbols.ranges = {sum_row("program0", 48, 48, 40, 2), sum_row("memory0", 64, 116, 0, 2)};
  symbols.groups = {sum_row("text ", 48, 48, 40, 3)};
  symbols.files = {sum_row(k_global_file, 40, 60, 40, 3), sum_row("main.c", 72, 104, 0, 1)};
  symbols.added_bytes = 40;
  return diff;
}

diff_view named_view() {
  diff_view view;
  view.base_name = "base.json";
  view.current_name = "current.json";
  return view;
}

enum class face { text, markdown, json, csv };

std::string written(face form, const report_diff& diff, const diff_view& view) {
  std::ostringstream out;
  switch (form) {
    case face::text:
      write_diff_text(out, diff, view);
      break;
    case face::markdown:
      write_diff_markdown(out, diff, view);
      break;
    case face::json:
      write_diff_json(out, diff);
      break;
    case face::csv:
      write_diff_csv(out, diff);
      break;
  }
  return out.str();
}

struct golden_case {
  const char* file;
  face form;
};

class SymbolDiffFaces : public ::testing::TestWithParam<golden_case> {};

TEST_P(SymbolDiffFaces, MatchTheHandWrittenOutput) {
  EXPECT_EQ(written(GetParam().form, two_ranges(), named_view()),
            test_support::read_file(testdata(GetParam().file)));
}

INSTANTIATE_TEST_SUITE_P(Faces, SymbolDiffFaces,
                         ::testing::Values(golden_case{"symbol_diff.txt", face::text},
                                           golden_case{"symbol_diff.md", face::markdown},
                                           golden_case{"symbol_diff.json", face::json},
                                           golden_case{"symbol_diff.csv", face::csv}),
                         [](const ::testing::TestParamInfo<golden_case>& param) {
                           return std::string(param.param.file).substr(12);
                         });

struct one_side_case {
  symbol_sides sides;
  const char* line;  ///< the one line about the symbols; empty: none
};

class OneSidedSymbols : public ::testing::TestWithParam<one_side_case> {};

TEST_P(OneSidedSymbols, SayItOnceAndListNoSymbol) {
  report_diff diff = two_ranges();
  diff.symbols = symbol_changes{};
  diff.symbols.sides = GetParam().sides;
  for (const face form : {face::text, face::markdown}) {
    const std::string text = written(form, diff, named_view());
    const std::string line = GetParam().line;
    const std::size_t at = line.empty() ? text.find("Symbols") : text.find("\n" + line + "\n");
    if (line.empty()) {
      EXPECT_EQ(at, std::string::npos) << text;
    } else {
      EXPECT_NE(at, std::string::npos) << text;
      EXPECT_EQ(text.find("Symbols", at + 8), std::string::npos) << text;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sides, OneSidedSymbols,
    ::testing::Values(one_side_case{symbol_sides::neither, ""},
                      one_side_case{symbol_sides::base_only,
                                    "Symbols: only the base report carries symbols (made with an "
                                    "image); the diff compares sections only."},
                      one_side_case{symbol_sides::current_only,
                                    "Symbols: only the current report carries symbols (made with "
                                    "an image); the diff compares sections only."}));

TEST(SymbolDiffTop, LimitsTheRowsOfEachRangeAndSaysHowManyMore) {
  diff_view view = named_view();
  view.symbol_top = 1;
  view.show_unchanged = true;
  const std::string text = written(face::text, two_ranges(), view);
  // program0 holds the added, the removed and the unchanged symbol: the added one comes first.
  const std::string program0 =
      "\nSymbols of program0\n"
      "Symbol           Status  Base  Current  \xCE\x94 bytes  \xCE\x94 %  Section\n"
      "ns::make<int>()  added      0       40      +40  new  .text\n"
      "... and 2 more symbols (--top sets how many are listed)\n"
      "symbols 0, unattributed +2\n";
  EXPECT_NE(text.find(program0), std::string::npos) << text;
  EXPECT_NE(text.find("\n... and 1 more symbol (--top sets how many are listed)\n"
                      "symbols +52, unattributed -2\n"),
            std::string::npos)
      << text;
  view.symbol_top = 0;
  const std::string none = written(face::text, two_ranges(), view);
  EXPECT_NE(none.find("\nSymbols of program0\n... and 3 more symbols"), std::string::npos) << none;
}

TEST(SymbolDiffMinDelta, LeavesOutSmallGrowthButNeverAnAddedSymbol) {
  diff_view view = named_view();
  view.min_delta = 33;
  const std::string text = written(face::text, two_ranges(), view);
  EXPECT_EQ(text.find("buffer"), std::string::npos) << text;  // grown by 32
  EXPECT_NE(text.find("table   moved"), std::string::npos) << text;
  EXPECT_NE(text.find("ns::make<int>()  added"), std::string::npos) << text;
}

}  // namespace
