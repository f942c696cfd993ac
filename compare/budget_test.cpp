// Budgets: every limit's pass, warn, fail and skipped in one table, every
// refusal of a budget file with its key path, and the sizes a budget takes.
// The builds are small models written out here, their figures chosen so
// that each verdict falls clearly on one side of its bound.
#include "compare/budget.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

/// program0 "boot": 850 of 1000 used (85 %), 150 free, and 60 bytes of load
/// copies (a footprint of 910, 91 %); memory0 and memory1 share the label
/// "RAM", memory1 has size 0, memory0 no footprint (as in an older report);
/// program1 is not in the baseline. The program area: 860 used, 75 bytes of
/// load copies, a footprint of 935 of 1100 (85 %). Its .text holds the symbols
/// _vfprintf_r 700, printf 40, logger::print() 120 (new) and memcpy 60.
report_model current_build() {
  report_model model;
  model.ranges = {
      {"program0", true, "boot", 0, 1000, 850, 150, 85.0, model_load_copies{2, 60}, 910},
      {"program1", true, "app", 4096, 100, 10, 90, 10.0, model_load_copies{1, 15}, 25},
      {"memory0", false, "RAM", 0x100000, 2000, 1000, 1000, 50.0},
      {"memory1", false, "RAM", 0x200000, 0, 0, 0, std::nullopt, model_load_copies{0, 0}, 0}};
  model.program = {1100, 860, 240, 860 * 100.0 / 1100, model_load_copies{3, 75}, 935.0};
  model.memory = {2000, 1000, 1000, 50.0};
  model.groups = {{"text ", 500}, {"rodata ", 200}, {"rodata ", 100}};
  model.dropped = {{"straddles_range", 2, 30}};
  model.sections = {{".text", true, "program0", "", 920}};
  model.has_symbols = true;
  model.symbols = {{"_vfprintf_r", "_vfprintf_r", "", false, 0, 0x100, 700, 700},
                   {"printf", "printf", "", false, 0, 0x3bc, 40, 40},
                   {"_ZN6logger5printEv", "logger::print()", "", false, 0, 0x3e4, 120, 120},
                   {"memcpy", "memcpy", "", false, 0, 0x45c, 60, 60}};
  return model;
}

/// program0 used 800 (so 50 bytes or 6.25 % of growth), memory0 used
/// nothing, the text group 400. Its .text holds _vfprintf_r 600, printf 40,
/// sprintf 30 (gone since) and memcpy 60.
report_model baseline_build() {
  report_model model;
  model.ranges = {{"program0", true, "boot", 0, 1000, 800, 200, 80.0},
                  {"memory0", false, "RAM", 0x100000, 2000, 0, 2000, 0.0}};
  model.program = {1000, 800, 200, 80.0};
  model.memory = {2000, 0, 2000, 0.0};
  model.groups = {{"text ", 400}};
  model.eeprom = model_eeprom{100, 10, 90, 10.0};
  model.sections = {{".text", true, "program0", "", 800}};
  model.has_symbols = true;
  model.symbols = {{"_vfprintf_r", "_vfprintf_r", "", false, 0, 0x100, 600, 600},
                   {"printf", "printf", "", false, 0, 0x358, 40, 40},
                   {"sprintf", "sprintf", "", false, 0, 0x380, 30, 30},
                   {"memcpy", "memcpy", "", false, 0, 0x3a0, 60, 60}};
  return model;
}

struct limit_case {
  const char* what;
  std::string rules;  ///< the budget's members after the version
  bool with_baseline;
  rule_verdict verdict;
  std::optional<double> value;
  const char* message;
};

class BudgetLimit : public ::testing::TestWithParam<limit_case> {};

TEST_P(BudgetLimit, EndsWithItsVerdict) {
  const report_model current = current_build();
  const report_model base = baseline_build();
  budget the_budget;
  std::string error;
  ASSERT_TRUE(
      parse_budget("{\"budget_version\": 1, " + GetParam().rules + "}", current, the_budget, error))
      << error;
  // The build's straddling sections add the default rule after the file's own.
  ASSERT_GE(the_budget.rules.size(), 1u);
  EXPECT_FALSE(the_budget.rules[0].implicit);
  for (std::size_t i = 1; i < the_budget.rules.size(); ++i) {
    EXPECT_TRUE(the_budget.rules[i].implicit);
  }
  const budget_result result =
      evaluate_budget(the_budget, current, GetParam().with_baseline ? &base : nullptr);
  ASSERT_EQ(result.rules.size(), the_budget.rules.size());
  const rule_result& rule = result.rules[0];
  EXPECT_EQ(rule_verdict_keyword(rule.verdict), rule_verdict_keyword(GetParam().verdict));
  EXPECT_EQ(rule.value, GetParam().value);
  EXPECT_EQ(rule.message, GetParam().message);
}

const std::string k_h5 = "\"warn_headroom_pct\": 5, ";

INSTANTIATE_TEST_SUITE_P(
    Limits, BudgetLimit,
    ::testing::Values(
        // max_used_pct: program0 at 85 %; warns above limit - 5 points.
        limit_case{"pct pass", k_h5 + "\"ranges\": {\"boot\": {\"max_used_pct\": 95}}", false,
                   rule_verdict::pass, 85.0, "used 85.00 % (limit 95 %)"},
        limit_case{"pct warn", k_h5 + "\"ranges\": {\"boot\": {\"max_used_pct\": 88}}", false,
                   rule_verdict::warn, 85.0, "used 85.00 %, within 5 points of the limit of 88 %"},
        limit_case{"pct fail", k_h5 + "\"ranges\": {\"program0\": {\"max_used_pct\": 80}}", false,
                   rule_verdict::fail, 85.0, "used 85.00 %, over the limit of 80 %"},
        limit_case{"pct skipped", k_h5 + "\"ranges\": {\"memory1\": {\"max_used_pct\": 80}}", false,
                   rule_verdict::skipped, std::nullopt, "no percentage: the size is 0"},
        limit_case{"pct at the limit without headroom",
                   "\"ranges\": {\"program0\": {\"max_used_pct\": 85}}", false, rule_verdict::pass,
                   85.0, "used 85.00 % (limit 85 %)"},
        // max_used_bytes: 850 used; warns above 95 % of the limit.
        limit_case{"bytes pass", k_h5 + "\"ranges\": {\"program0\": {\"max_used_bytes\": 1000}}",
                   false, rule_verdict::pass, 850.0, "used 850 bytes (limit 1000 bytes)"},
        limit_case{"bytes warn", k_h5 + "\"ranges\": {\"program0\": {\"max_used_bytes\": 880}}",
                   false, rule_verdict::warn, 850.0,
                   "used 850 bytes, within 5 % of the limit of 880 bytes"},
        limit_case{"bytes fail", k_h5 + "\"ranges\": {\"program0\": {\"max_used_bytes\": 849}}",
                   false, rule_verdict::fail, 850.0, "used 850 bytes, over the limit of 849 bytes"},
        limit_case{"bytes skipped", k_h5 + "\"eeprom\": {\"max_used_bytes\": \"1K\"}", true,
                   rule_verdict::skipped, std::nullopt, "no EEPROM source was read"},
        // min_free_bytes: 150 free; warns below 105 % of the minimum.
        limit_case{"free pass", k_h5 + "\"ranges\": {\"program0\": {\"min_free_bytes\": 100}}",
                   false, rule_verdict::pass, 150.0, "free 150 bytes (minimum 100 bytes)"},
        limit_case{"free warn", k_h5 + "\"ranges\": {\"program0\": {\"min_free_bytes\": 145}}",
                   false, rule_verdict::warn, 150.0,
                   "free 150 bytes, within 5 % of the minimum of 145 bytes"},
        limit_case{"free fail", k_h5 + "\"ranges\": {\"program0\": {\"min_free_bytes\": \"1K\"}}",
                   false, rule_verdict::fail, 150.0, "free 150 bytes, under the minimum of 1K"},
        limit_case{"free skipped", k_h5 + "\"eeprom\": {\"min_free_bytes\": 10}", false,
                   rule_verdict::skipped, std::nullopt, "no EEPROM source was read"},
        // max_growth_bytes: program0 grew by 50.
        limit_case{"growth pass", k_h5 + "\"ranges\": {\"program0\": {\"max_growth_bytes\": 100}}",
                   true, rule_verdict::pass, 50.0, "grew by 50 bytes (limit 100 bytes)"},
        limit_case{"growth warn", k_h5 + "\"ranges\": {\"program0\": {\"max_growth_bytes\": 52}}",
                   true, rule_verdict::warn, 50.0,
                   "grew by 50 bytes, within 5 % of the limit of 52 bytes"},
        limit_case{"growth fail", k_h5 + "\"ranges\": {\"program0\": {\"max_growth_bytes\": 49}}",
                   true, rule_verdict::fail, 50.0, "grew by 50 bytes, over the limit of 49 bytes"},
        limit_case{"growth skipped without a baseline",
                   k_h5 + "\"ranges\": {\"program0\": {\"max_growth_bytes\": 49}}", false,
                   rule_verdict::skipped, std::nullopt, "a growth limit needs --baseline"},
        limit_case{"growth skipped for a new range",
                   k_h5 + "\"ranges\": {\"app\": {\"max_growth_bytes\": 0}}", true,
                   rule_verdict::skipped, std::nullopt, "not in the baseline"},
        // max_growth_pct: program0 grew by 6.25 %, the program total by 7.5 %; warns above
        // limit - 5 points.
        limit_case{"growth pct pass", k_h5 + "\"totals\": {\"program\": {\"max_growth_pct\": 13}}",
                   true, rule_verdict::pass, 7.5, "grew by 7.50 % (limit 13 %)"},
        limit_case{"growth pct warn", k_h5 + "\"ranges\": {\"program0\": {\"max_growth_pct\": 10}}",
                   true, rule_verdict::warn, 6.25,
                   "grew by 6.25 %, within 5 points of the limit of 10 %"},
        limit_case{"growth pct fail", k_h5 + "\"ranges\": {\"program0\": {\"max_growth_pct\": 6}}",
                   true, rule_verdict::fail, 6.25, "grew by 6.25 %, over the limit of 6 %"},
        limit_case{"growth pct skipped", k_h5 + "\"groups\": {\"#0\": {\"max_growth_pct\": 6}}",
                   false, rule_verdict::skipped, std::nullopt, "a growth limit needs --baseline"},
        limit_case{"growth pct from nothing fails without a figure",
                   "\"ranges\": {\"memory0\": {\"max_growth_pct\": 50}}", true, rule_verdict::fail,
                   std::nullopt, "grew from 0 to 1000 bytes, over the limit of 50 %"},
        // max_bytes of a group: text at 500.
        limit_case{"group pass", k_h5 + "\"groups\": {\"text \": {\"max_bytes\": \"1K\"}}", false,
                   rule_verdict::pass, 500.0, "used 500 bytes (limit 1K)"},
        limit_case{"group warn", k_h5 + "\"groups\": {\"text \": {\"max_bytes\": 510}}", false,
                   rule_verdict::warn, 500.0,
                   "used 500 bytes, within 5 % of the limit of 510 bytes"},
        limit_case{"group fail", k_h5 + "\"groups\": {\"#0\": {\"max_bytes\": 499}}", false,
                   rule_verdict::fail, 500.0, "used 500 bytes, over the limit of 499 bytes"},
        limit_case{"group growth", "\"groups\": {\"#0\": {\"max_growth_bytes\": 99}}", true,
                   rule_verdict::fail, 100.0, "grew by 100 bytes, over the limit of 99 bytes"},
        // Dropped sections: two straddle a range.
        limit_case{"dropped error", "\"dropped\": {\"straddles_range\": \"error\"}", false,
                   rule_verdict::fail, 2.0, "2 sections (30 bytes) dropped as straddles_range"},
        limit_case{"dropped warning", "\"dropped\": {\"straddles_range\": \"warning\"}", false,
                   rule_verdict::warn, 2.0, "2 sections (30 bytes) dropped as straddles_range"},
        limit_case{"dropped ignored", "\"dropped\": {\"straddles_range\": \"ignore\"}", false,
                   rule_verdict::pass, 2.0,
                   "2 sections (30 bytes) dropped as straddles_range, ignored"},
        limit_case{"none dropped", "\"dropped\": {\"outside_ranges\": \"error\"}", false,
                   rule_verdict::pass, 0.0, "0 sections (0 bytes) dropped as outside_ranges"},
        // max_footprint_bytes: program0's 850 used and 60 of load copies; warns above 95 %
        // of the limit. Its use alone (850) would pass every one of these.
        limit_case{"footprint pass",
                   k_h5 + "\"ranges\": {\"boot\": {\"max_footprint_bytes\": 1000}}", false,
                   rule_verdict::pass, 910.0, "footprint 910 bytes (limit 1000 bytes)"},
        limit_case{"footprint warn",
                   k_h5 + "\"ranges\": {\"boot\": {\"max_footprint_bytes\": 950}}", false,
                   rule_verdict::warn, 910.0,
                   "footprint 910 bytes, within 5 % of the limit of 950 bytes"},
        limit_case{"footprint fail",
                   k_h5 + "\"ranges\": {\"boot\": {\"max_footprint_bytes\": \"900\"}}", false,
                   rule_verdict::fail, 910.0, "footprint 910 bytes, over the limit of 900 bytes"},
        limit_case{"footprint of a report without one",
                   k_h5 + "\"ranges\": {\"memory0\": {\"max_footprint_bytes\": 10}}", false,
                   rule_verdict::skipped, std::nullopt,
                   "no footprint: the report is older than schema 1.2.0"},
        // max_footprint_pct: 910 of 1000 is 91 %; warns above limit - 5 points.
        limit_case{"footprint pct pass",
                   k_h5 + "\"ranges\": {\"program0\": {\"max_footprint_pct\": 99}}", false,
                   rule_verdict::pass, 91.0, "footprint 91.00 % (limit 99 %)"},
        limit_case{"footprint pct warn",
                   k_h5 + "\"ranges\": {\"program0\": {\"max_footprint_pct\": 93}}", false,
                   rule_verdict::warn, 91.0,
                   "footprint 91.00 %, within 5 points of the limit of 93 %"},
        limit_case{"footprint pct fail",
                   k_h5 + "\"ranges\": {\"program0\": {\"max_footprint_pct\": 90}}", false,
                   rule_verdict::fail, 91.0, "footprint 91.00 %, over the limit of 90 %"},
        limit_case{"footprint pct of a range of size 0",
                   "\"ranges\": {\"memory1\": {\"max_footprint_pct\": 90}}", false,
                   rule_verdict::skipped, std::nullopt, "no percentage: the size is 0"},
        limit_case{"footprint pct without a footprint",
                   "\"ranges\": {\"memory0\": {\"max_footprint_pct\": 90}}", false,
                   rule_verdict::skipped, std::nullopt,
                   "no footprint: the report is older than schema 1.2.0"},
        // The program area: 935 of 1100 is 85 %.
        limit_case{"program footprint pct at the limit",
                   "\"totals\": {\"program\": {\"max_footprint_pct\": 85}}", false,
                   rule_verdict::pass, 85.0, "footprint 85.00 % (limit 85 %)"},
        limit_case{"program footprint bytes",
                   "\"totals\": {\"program\": {\"max_footprint_bytes\": 934}}", false,
                   rule_verdict::fail, 935.0, "footprint 935 bytes, over the limit of 934 bytes"},
        // Trailing blanks of a group's search text need not be written.
        limit_case{"group named without its trailing blank",
                   "\"groups\": {\"text\": {\"max_bytes\": 499}}", false, rule_verdict::fail, 500.0,
                   "used 500 bytes, over the limit of 499 bytes"},
        // Symbols: *printf* matches _vfprintf_r 700 and printf 40 now, and sprintf 30 too in
        // the baseline (670 there).
        limit_case{"symbols sum warn", k_h5 + "\"symbols\": {\"*printf*\": {\"max_bytes\": 760}}",
                   false, rule_verdict::warn, 740.0,
                   "2 symbols hold 740 bytes, within 5 % of the limit of 760 bytes"},
        limit_case{"symbols sum fail",
                   "\"symbols\": {\"*printf*\": {\"max_bytes\": 739, \"each\": false}}", false,
                   rule_verdict::fail, 740.0,
                   "2 symbols hold 740 bytes, over the limit of 739 bytes"},
        limit_case{"symbols by display name", "\"symbols\": {\"logger::*\": {\"max_bytes\": 100}}",
                   false, rule_verdict::fail, 120.0,
                   "1 symbol holds 120 bytes, over the limit of 100 bytes"},
        limit_case{"symbols by key", "\"symbols\": {\"_ZN6logger*\": {\"max_bytes\": 100}}", false,
                   rule_verdict::fail, 120.0,
                   "1 symbol holds 120 bytes, over the limit of 100 bytes"},
        limit_case{"symbols matching nothing", "\"symbols\": {\"nosuch*\": {\"max_bytes\": 1}}",
                   true, rule_verdict::skipped, std::nullopt, "no symbol matches"},
        limit_case{"each symbol, one over",
                   "\"symbols\": {\"*printf*\": {\"each\": true, \"max_bytes\": 512}}", false,
                   rule_verdict::fail, 700.0,
                   "_vfprintf_r (largest of 2) holds 700 bytes, over the limit of 512 bytes"},
        limit_case{"each symbol, both over",
                   "\"symbols\": {\"*printf*\": {\"each\": true, \"max_bytes\": 30}}", false,
                   rule_verdict::fail, 700.0,
                   "_vfprintf_r (largest of 2) holds 700 bytes, over the limit of 30 bytes; 2 of 2 "
                   "over it"},
        limit_case{"symbols sum growth", "\"symbols\": {\"*printf*\": {\"max_growth_bytes\": 50}}",
                   true, rule_verdict::fail, 70.0,
                   "2 symbols (3 in the baseline) grew by 70 bytes, over the limit of 50 bytes"},
        limit_case{"symbols sum growth pct",
                   "\"symbols\": {\"*printf*\": {\"max_growth_pct\": 11}}", true,
                   rule_verdict::pass, 7000.0 / 670,
                   "2 symbols (3 in the baseline) grew by 10.45 % (limit 11 %)"},
        limit_case{"symbols growth without a baseline",
                   "\"symbols\": {\"*printf*\": {\"max_growth_pct\": 11}}", false,
                   rule_verdict::skipped, std::nullopt, "a growth limit needs --baseline"},
        limit_case{"symbols sum growth from 0",
                   "\"symbols\": {\"logger::*\": {\"max_growth_pct\": 50}}", true,
                   rule_verdict::fail, std::nullopt,
                   "1 symbol (0 in the baseline) grew from 0 to 120 bytes, over the limit of 50 %"},
        // Each paired symbol: _vfprintf_r grew by 100 (16.67 %), printf by 0, sprintf is gone
        // (-30) and logger::print() is new.
        limit_case{"each symbol's growth",
                   "\"symbols\": {\"*printf*\": {\"each\": true, \"max_growth_bytes\": 50}}", true,
                   rule_verdict::fail, 100.0,
                   "_vfprintf_r (worst of 3) grew by 100 bytes, over the limit of 50 bytes"},
        limit_case{
            "each symbol's growth pct within the headroom",
            k_h5 + "\"symbols\": {\"*printf*\": {\"each\": true, \"max_growth_pct\": 20}}", true,
            rule_verdict::warn, 10000.0 / 600,
            "_vfprintf_r (worst of 3) grew by 16.67 %, within 5 points of the limit of 20 %"},
        limit_case{"each symbol's growth pct, a new one the worst",
                   "\"symbols\": {\"*print*\": {\"each\": true, \"max_growth_pct\": 50}}", true,
                   rule_verdict::fail, std::nullopt,
                   "logger::print() (worst of 4) grew from 0 to 120 bytes, over the limit of 50 %"},
        limit_case{"a removed symbol does not fail",
                   "\"symbols\": {\"sprintf\": {\"each\": true, \"max_growth_bytes\": 0}}", true,
                   rule_verdict::pass, -30.0, "sprintf grew by -30 bytes (limit 0 bytes)"},
        // New symbols: logger::print() 120.
        limit_case{"new symbols fail", "\"new_symbols\": {\"max_bytes\": 100}", true,
                   rule_verdict::fail, 120.0,
                   "1 new symbol holds 120 bytes, over the limit of 100 bytes"},
        limit_case{"new symbols without a baseline", "\"new_symbols\": {\"max_bytes\": 100}", false,
                   rule_verdict::skipped, std::nullopt, "a limit on new symbols needs --baseline"}),
    [](const ::testing::TestParamInfo<limit_case>& param) {
      return "Case" + std::to_string(param.index);
    });

/// The build without its straddling sections, so that no default rule joins the file's.
report_model settled_build() {
  report_model model = current_build();
  model.dropped.clear();
  return model;
}

TEST(BudgetVerdict, FailOutweighsWarnAndSkippedCountsForNothing) {
  const report_model current = settled_build();
  budget the_budget;
  std::string error;
  ASSERT_TRUE(
      parse_budget("{\"budget_version\": 1, \"warn_headroom_pct\": 5, \"ranges\": {\"boot\": "
                   "{\"max_used_pct\": 88, \"max_growth_bytes\": 0}}, \"totals\": {\"memory\": "
                   "{\"max_used_pct\": 40}}}",
                   current, the_budget, error))
      << error;
  const budget_result result = evaluate_budget(the_budget, current, nullptr);
  EXPECT_EQ(result.verdict, rule_verdict::fail);
  EXPECT_EQ(result.counts[static_cast<int>(rule_verdict::warn)], 1u);
  EXPECT_EQ(result.counts[static_cast<int>(rule_verdict::skipped)], 1u);
  EXPECT_EQ(result.counts[static_cast<int>(rule_verdict::fail)], 1u);

  budget warn_only;
  ASSERT_TRUE(
      parse_budget("{\"budget_version\": 1, \"warn_headroom_pct\": 5, \"ranges\": {\"boot\": "
                   "{\"max_used_pct\": 88, \"max_growth_bytes\": 0}}}",
                   current, warn_only, error));
  EXPECT_EQ(evaluate_budget(warn_only, current, nullptr).verdict, rule_verdict::warn);
}

TEST(BudgetWriters, GithubEscapesPercentAndMarksSkippedRules) {
  const report_model current = settled_build();
  budget the_budget;
  std::string error;
  ASSERT_TRUE(
      parse_budget("{\"budget_version\": 1, \"ranges\": {\"boot\": {\"max_used_pct\": 80, "
                   "\"max_growth_pct\": 1}}}",
                   current, the_budget, error));
  std::ostringstream out;
  write_budget_github(out, evaluate_budget(the_budget, current, nullptr));
  EXPECT_EQ(out.str(),
            "::error title=vemora-check budget::ranges.program0 max_used_pct: used 85.00 %25, "
            "over the limit of 80 %25\n"
            "::notice title=vemora-check budget::ranges.program0 max_growth_pct: a growth limit "
            "needs --baseline\n"
            "vemora-check check: fail (2 rules: 0 pass, 0 warn, 1 fail, 1 skipped)\n");
}

TEST(BudgetWriters, JsonGivesEveryRule) {
  const report_model current = current_build();
  budget the_budget;
  std::string error;
  ASSERT_TRUE(
      parse_budget("{\"budget_version\": 1, \"ranges\": {\"boot\": {\"min_free_bytes\": \"1K\"}}, "
                   "\"dropped\": {\"straddles_range\": \"warning\"}}",
                   current, the_budget, error));
  std::ostringstream out;
  write_budget_json(out, evaluate_budget(the_budget, current, nullptr));
  EXPECT_EQ(out.str(),
            "{\n"
            "  \"schema\": \"vemora-check\",\n"
            "  \"schema_version\": \"1.0.0\",\n"
            "  \"verdict\": \"fail\",\n"
            "  \"rules\": [\n"
            "    {\"target\": \"ranges.program0\", \"limit\": \"min_free_bytes\", \"limit_value\": "
            "1024, \"value\": 150, \"verdict\": \"fail\", \"message\": \"free 150 bytes, under "
            "the minimum of 1K\"},\n"
            "    {\"target\": \"dropped.straddles_range\", \"limit\": \"level\", \"limit_value\": "
            "\"warning\", \"value\": 2, \"verdict\": \"warn\", \"message\": \"2 sections (30 "
            "bytes) dropped as straddles_range\"}\n"
            "  ]\n"
            "}\n");
}

struct invalid_case {
  const char* what;
  std::string text;
  const char* error;
};

class InvalidBudget : public ::testing::TestWithParam<invalid_case> {};

TEST_P(InvalidBudget, IsRefusedWithItsKeyPath) {
  budget the_budget;
  std::string error;
  EXPECT_FALSE(parse_budget(GetParam().text, current_build(), the_budget, error));
  EXPECT_EQ(error, GetParam().error);
  EXPECT_TRUE(the_budget.rules.empty());
}

std::string v1(const std::string& members) { return "{\"budget_version\": 1, " + members + "}"; }

INSTANTIATE_TEST_SUITE_P(
    Refusals, InvalidBudget,
    ::testing::Values(
        invalid_case{"no JSON", "budget: none",
                     "is not valid JSON (parse error at line 1, column 1: syntax error while "
                     "parsing value - invalid literal; last read: 'b')"},
        invalid_case{"an array", "[]", "is not a JSON object"},
        invalid_case{"no version", "{}",
                     "budget_version: missing (this vemora-check reads budget_version 1)"},
        invalid_case{"another version", "{\"budget_version\": 2}",
                     "budget_version: 2 is not supported (this vemora-check reads 1)"},
        invalid_case{"an unknown key", v1("\"range\": {}"),
                     "range: unknown key (known: budget_version, warn_headroom_pct, ranges, "
                     "totals, groups, dropped, eeprom, allow, symbols, new_symbols)"},
        invalid_case{"no such range", v1("\"ranges\": {\"program7\": {\"max_used_pct\": 90}}"),
                     "ranges.program7: no such range (ranges: program0 \"boot\", program1 "
                     "\"app\", memory0 \"RAM\", memory1 \"RAM\")"},
        invalid_case{"a label of two ranges", v1("\"ranges\": {\"RAM\": {\"max_used_pct\": 90}}"),
                     "ranges.RAM: the label of memory0, memory1; name the range by its id"},
        invalid_case{"an unknown limit", v1("\"ranges\": {\"boot\": {\"max_use_pct\": 90}}"),
                     "ranges.boot.max_use_pct: unknown limit (known: max_used_pct, "
                     "max_used_bytes, min_free_bytes, max_growth_bytes, max_growth_pct, "
                     "max_footprint_bytes, max_footprint_pct)"},
        invalid_case{"a negative percentage",
                     v1("\"ranges\": {\"program0\": {\"max_used_pct\": -1}}"),
                     "ranges.program0.max_used_pct: must not be negative"},
        invalid_case{"a percentage as text",
                     v1("\"ranges\": {\"program0\": {\"max_used_pct\": \"90%\"}}"),
                     "ranges.program0.max_used_pct: not a number"},
        invalid_case{"a lower-case suffix",
                     v1("\"ranges\": {\"program0\": {\"min_free_bytes\": \"16k\"}}"),
                     "ranges.program0.min_free_bytes: \"16k\" is not a size (digits, with K or M "
                     "for 1024 or 1048576)"},
        invalid_case{"a negative size", v1("\"ranges\": {\"program0\": {\"min_free_bytes\": -5}}"),
                     "ranges.program0.min_free_bytes: must not be negative"},
        invalid_case{"a negative size as text",
                     v1("\"ranges\": {\"program0\": {\"min_free_bytes\": \"-5K\"}}"),
                     "ranges.program0.min_free_bytes: must not be negative"},
        invalid_case{"a fraction of a byte",
                     v1("\"ranges\": {\"program0\": {\"max_growth_bytes\": 1.5}}"),
                     "ranges.program0.max_growth_bytes: not a whole number of bytes"},
        invalid_case{"a size that is no number",
                     v1("\"totals\": {\"memory\": {\"max_used_bytes\": true}}"),
                     "totals.memory.max_used_bytes: not a size (a whole number, or a string "
                     "such as \"16K\" or \"1M\")"},
        invalid_case{"a size too large to be exact",
                     v1("\"totals\": {\"memory\": {\"max_used_bytes\": \"8796093022208M\"}}"),
                     "totals.memory.max_used_bytes: \"8796093022208M\" is not a size (digits, "
                     "with K or M for 1024 or 1048576)"},
        invalid_case{"limits that are no object", v1("\"ranges\": {\"program0\": 90}"),
                     "ranges.program0: not an object of limits"},
        invalid_case{"no such group", v1("\"groups\": {\"bss \": {\"max_bytes\": 1}}"),
                     "groups.bss : no such group (groups: #0 \"text \", #1 \"rodata \", #2 "
                     "\"rodata \")"},
        invalid_case{"a group index past the end", v1("\"groups\": {\"#3\": {\"max_bytes\": 1}}"),
                     "groups.#3: no such group (groups: #0 \"text \", #1 \"rodata \", #2 "
                     "\"rodata \")"},
        invalid_case{"a search text of two groups",
                     v1("\"groups\": {\"rodata \": {\"max_bytes\": 1}}"),
                     "groups.rodata : the search text of #1, #2; name the group by its #index"},
        invalid_case{"a limit no group has", v1("\"groups\": {\"#0\": {\"min_free_bytes\": 1}}"),
                     "groups.#0.min_free_bytes: unknown limit (known: max_bytes, max_used_bytes, "
                     "max_growth_bytes, max_growth_pct)"},
        invalid_case{"an unknown area", v1("\"totals\": {\"flash\": {\"max_used_pct\": 1}}"),
                     "totals.flash: unknown area (known: program, memory)"},
        invalid_case{"an unknown reason", v1("\"dropped\": {\"gone\": \"error\"}"),
                     "dropped.gone: unknown reason (known: no_attribute_line, debug_name, "
                     "debugging_attribute, excluded_name, zero_size, straddles_range, "
                     "outside_ranges, name_not_accepted, not_allocated)"},
        invalid_case{"an unknown level", v1("\"dropped\": {\"zero_size\": \"fail\"}"),
                     "dropped.zero_size: must be \"error\", \"warning\" or \"ignore\""},
        invalid_case{"a footprint of the memory area",
                     v1("\"totals\": {\"memory\": {\"max_footprint_bytes\": 1}}"),
                     "totals.memory.max_footprint_bytes: unknown limit (known: max_used_pct, "
                     "max_used_bytes, min_free_bytes, max_growth_bytes, max_growth_pct)"},
        invalid_case{"a footprint of a group",
                     v1("\"groups\": {\"#0\": {\"max_footprint_pct\": 1}}"),
                     "groups.#0.max_footprint_pct: unknown limit (known: max_bytes, "
                     "max_used_bytes, max_growth_bytes, max_growth_pct)"},
        invalid_case{"a footprint of the EEPROM", v1("\"eeprom\": {\"max_footprint_bytes\": 1}"),
                     "eeprom.max_footprint_bytes: unknown limit (known: max_used_pct, "
                     "max_used_bytes, min_free_bytes, max_growth_bytes, max_growth_pct)"},
        invalid_case{"a negative footprint",
                     v1("\"ranges\": {\"boot\": {\"max_footprint_pct\": -1}}"),
                     "ranges.boot.max_footprint_pct: must not be negative"},
        invalid_case{"a search text without its blank that two groups share",
                     v1("\"groups\": {\"rodata\": {\"max_bytes\": 1}}"),
                     "groups.rodata: the search text of #1, #2; name the group by its #index"},
        invalid_case{"allow as one code", v1("\"allow\": \"VL110\""),
                     "allow: not an array of finding codes (\"VL110\", ...)"},
        invalid_case{"allow with a number", v1("\"allow\": [\"VL110\", 106]"),
                     "allow[1]: not a string"},
        invalid_case{"allow with an unknown code", v1("\"allow\": [\"VL199\"]"),
                     "allow[0]: \"VL199\" is no code of a finding of the map (known: VL101, "
                     "VL102, VL103, VL104, VL105, VL106, VL107, VL108, VL109, VL110, VL111, VL112, "
                     "VL113, VL114)"},
        invalid_case{"allow with a code of the definition", v1("\"allow\": [\"VL005\"]"),
                     "allow[0]: \"VL005\" is no code of a finding of the map (known: VL101, "
                     "VL102, VL103, VL104, VL105, VL106, VL107, VL108, VL109, VL110, VL111, VL112, "
                     "VL113, VL114)"},
        invalid_case{"allow in lower case", v1("\"allow\": [\"vl110\"]"),
                     "allow[0]: \"vl110\" is no code of a finding of the map (known: VL101, "
                     "VL102, VL103, VL104, VL105, VL106, VL107, VL108, VL109, VL110, VL111, VL112, "
                     "VL113, VL114)"},
        invalid_case{"allow with a code twice", v1("\"allow\": [\"VL110\", \"VL110\"]"),
                     "allow[1]: \"VL110\" is listed twice"},
        invalid_case{"too much headroom", v1("\"warn_headroom_pct\": 150"),
                     "warn_headroom_pct: must not be above 100"},
        invalid_case{"a limit given twice",
                     v1("\"ranges\": {\"program0\": {\"max_used_pct\": 90, \"max_used_pct\": "
                        "95}}"),
                     "ranges.program0.max_used_pct: given twice"},
        invalid_case{"a key with control characters", v1("\"ranges\": {\"a\\u001b[2J\\nb\": {}}"),
                     "ranges.a [2J b: no such range (ranges: program0 \"boot\", program1 "
                     "\"app\", memory0 \"RAM\", memory1 \"RAM\")"},
        invalid_case{"a section of the file given twice",
                     v1("\"ranges\": {}, \"ranges\": {\"program7\": {}}"), "ranges: given twice"},
        invalid_case{"symbols as a list", v1("\"symbols\": [\"*printf*\"]"),
                     "symbols: not an object of patterns"},
        invalid_case{"an empty pattern", v1("\"symbols\": {\"\": {\"max_bytes\": 1}}"),
                     "symbols.: an empty pattern matches no symbol (\"*\" matches every one)"},
        invalid_case{"a pattern's limits that are no object", v1("\"symbols\": {\"*printf*\": 5}"),
                     "symbols.*printf*: not an object of limits"},
        invalid_case{"a limit no symbol has",
                     v1("\"symbols\": {\"*printf*\": {\"max_used_pct\": 5}}"),
                     "symbols.*printf*.max_used_pct: unknown limit (known: max_bytes, "
                     "max_growth_bytes, max_growth_pct, each)"},
        invalid_case{"each as text",
                     v1("\"symbols\": {\"*printf*\": {\"max_bytes\": 1, \"each\": \"yes\"}}"),
                     "symbols.*printf*.each: not true or false"},
        invalid_case{"each without a limit", v1("\"symbols\": {\"*printf*\": {\"each\": true}}"),
                     "symbols.*printf*: names no limit (known: max_bytes, max_growth_bytes, "
                     "max_growth_pct)"},
        invalid_case{"an unclosed set", v1("\"symbols\": {\"abc[\": {\"max_bytes\": 1}}"),
                     "symbols.abc[: the \"[\" at 4 is not closed by \"]\""},
        invalid_case{"a symbol's size in lower case",
                     v1("\"symbols\": {\"a.b\": {\"max_bytes\": \"16k\"}}"),
                     "symbols.a.b.max_bytes: \"16k\" is not a size (digits, with K or M for 1024 "
                     "or 1048576)"},
        invalid_case{"a negative growth of symbols",
                     v1("\"symbols\": {\"x\": {\"max_growth_pct\": -1}}"),
                     "symbols.x.max_growth_pct: must not be negative"},
        invalid_case{"a pattern given twice",
                     v1("\"symbols\": {\"x\": {\"max_bytes\": 1}, \"x\": {\"max_bytes\": 2}}"),
                     "symbols.x: given twice"},
        invalid_case{"new symbols with growth", v1("\"new_symbols\": {\"max_growth_bytes\": 1}"),
                     "new_symbols.max_growth_bytes: unknown limit (known: max_bytes)"},
        invalid_case{"new symbols each", v1("\"new_symbols\": {\"max_bytes\": 1, \"each\": true}"),
                     "new_symbols.each: unknown limit (known: max_bytes)"},
        invalid_case{"new symbols as a number", v1("\"new_symbols\": 100"),
                     "new_symbols: not an object of limits"}),
    [](const ::testing::TestParamInfo<invalid_case>& param) {
      return "Case" + std::to_string(param.index);
    });

// ---- the defaults the file leaves in force -----------------------------------

budget parsed(const std::string& members, const report_model& current) {
  budget the_budget;
  std::string error;
  EXPECT_TRUE(parse_budget(v1(members), current, the_budget, error)) << error;
  return the_budget;
}

struct default_row {
  std::string target;
  std::string limit;
  std::string allowed;
  rule_verdict verdict;
  std::optional<double> value;
  std::string message;
};

/// The defaults among the rules, as evaluated; they follow the file's own.
std::vector<default_row> defaults_of(const budget& the_budget, const report_model& current) {
  const budget_result result = evaluate_budget(the_budget, current, nullptr);
  std::vector<default_row> rows;
  for (const rule_result& rule : result.rules) {
    if (!rule.rule->implicit) {
      EXPECT_TRUE(rows.empty()) << rule.rule->target << " after a default";
      continue;
    }
    rows.push_back({rule.rule->target, rule.rule->limit, rule.rule->limit_text, rule.verdict,
                    rule.value, rule.message});
  }
  return rows;
}

void expect_rows(const std::vector<default_row>& rows, const std::vector<default_row>& expected) {
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].target, expected[i].target);
    EXPECT_EQ(rows[i].limit, expected[i].limit);
    EXPECT_EQ(rows[i].allowed, expected[i].allowed);
    EXPECT_EQ(rule_verdict_keyword(rows[i].verdict), rule_verdict_keyword(expected[i].verdict));
    EXPECT_EQ(rows[i].value, expected[i].value);
    EXPECT_EQ(rows[i].message, expected[i].message);
  }
}

const std::string k_holds = "\"ranges\": {\"boot\": {\"max_used_pct\": 95}}";

TEST(BudgetDefaults, AStraddlingSectionFailsWithoutADroppedEntry) {
  const report_model current = current_build();
  const budget the_budget = parsed(k_holds, current);
  expect_rows(defaults_of(the_budget, current),
              {{"dropped.straddles_range", "level", "error", rule_verdict::fail, 2.0,
                "2 sections (30 bytes) dropped as straddles_range"}});
  EXPECT_EQ(evaluate_budget(the_budget, current, nullptr).verdict, rule_verdict::fail);
  // Said otherwise in the file, the file's word holds and no default is added.
  const budget ignored =
      parsed(k_holds + ", \"dropped\": {\"straddles_range\": \"ignore\"}", current);
  ASSERT_EQ(ignored.rules.size(), 2u);
  EXPECT_FALSE(ignored.rules[1].implicit);
  EXPECT_EQ(evaluate_budget(ignored, current, nullptr).verdict, rule_verdict::pass);
  // Nothing straddles: nothing to say.
  EXPECT_EQ(parsed(k_holds, settled_build()).rules.size(), 1u);
}

/// The settled build with these findings of its lint.
report_model with_findings(std::vector<model_diagnostic> diagnostics) {
  report_model model = settled_build();
  model.diagnostics = std::move(diagnostics);
  return model;
}

TEST(BudgetDefaults, AnErrorOfTheMapFailsUnlessAllowed) {
  // Two VL110 and one VL106 errors; a warning, a note and an error of the definition beside them.
  const report_model current = with_findings({{"VL101", "warning", "name not taken"},
                                              {"VL110", "error", "wide at line 4"},
                                              {"VL006", "error", "of the definition"},
                                              {"VL106", "error", "attribute words at line 6"},
                                              {"VL110", "error", "wide at line 9"},
                                              {"VL109", "note", "load copy"}});
  const budget strict = parsed(k_holds, current);
  expect_rows(defaults_of(strict, current),
              {{"findings.VL110", "allow", "not allowed", rule_verdict::fail, 2.0,
                "wide at line 4 (and 1 more)"},
               {"findings.VL106", "allow", "not allowed", rule_verdict::fail, 1.0,
                "attribute words at line 6"}});
  EXPECT_EQ(evaluate_budget(strict, current, nullptr).verdict, rule_verdict::fail);

  const budget one = parsed(k_holds + ", \"allow\": [\"VL110\"]", current);
  expect_rows(defaults_of(one, current), {{"findings.VL110", "allow", "allowed", rule_verdict::pass,
                                           2.0, "wide at line 4 (and 1 more); allowed"},
                                          {"findings.VL106", "allow", "not allowed",
                                           rule_verdict::fail, 1.0, "attribute words at line 6"}});
  const budget both = parsed(k_holds + ", \"allow\": [\"VL106\", \"VL110\"]", current);
  EXPECT_EQ(evaluate_budget(both, current, nullptr).verdict, rule_verdict::pass);
  EXPECT_EQ(both.rules.size(), 3u);
}

TEST(BudgetDefaults, ANameRuleDropInsideARangeWarns) {
  const report_model current = with_findings({{"VL107", "warning", ".dbg lies in boot"}});
  const std::vector<default_row> warned = {
      {"findings.VL107", "level", "warning", rule_verdict::warn, 1.0, ".dbg lies in boot"}};
  expect_rows(defaults_of(parsed(k_holds, current), current), warned);
  // One name rule settled leaves the others unsaid: still a warning.
  expect_rows(defaults_of(parsed(k_holds + ", \"dropped\": {\"debug_name\": \"ignore\"}", current),
                          current),
              warned);
  // Every name rule settled in the file: no default.
  EXPECT_EQ(parsed(k_holds + ", \"dropped\": {\"debug_name\": \"ignore\", \"excluded_name\": "
                             "\"ignore\", \"name_not_accepted\": \"warning\"}",
                   current)
                .rules.size(),
            4u);
  expect_rows(defaults_of(parsed(k_holds + ", \"allow\": [\"VL107\"]", current), current),
              {{"findings.VL107", "allow", "allowed", rule_verdict::pass, 1.0,
                ".dbg lies in boot; allowed"}});
}

TEST(BudgetDefaults, WritersShowTheDefaultsLikeAnyRule) {
  const report_model current = with_findings({{"VL110", "error", "wide, 100% sure"}});
  const budget the_budget = parsed("\"allow\": [\"VL110\"]", current);
  ASSERT_EQ(the_budget.rules.size(), 1u);
  const budget_result result = evaluate_budget(the_budget, current, nullptr);
  std::ostringstream json;
  write_budget_json(json, result);
  EXPECT_EQ(json.str(),
            "{\n"
            "  \"schema\": \"vemora-check\",\n"
            "  \"schema_version\": \"1.0.0\",\n"
            "  \"verdict\": \"pass\",\n"
            "  \"rules\": [\n"
            "    {\"target\": \"findings.VL110\", \"limit\": \"allow\", \"limit_value\": "
            "\"allowed\", \"value\": 1, \"verdict\": \"pass\", \"message\": \"wide, 100% sure; "
            "allowed\"}\n"
            "  ]\n"
            "}\n");
  std::ostringstream text;
  write_budget_text(text, the_budget, result);
  EXPECT_EQ(text.str(),
            "vemora-check check: pass (1 rule: 1 pass, 0 warn, 0 fail, 0 skipped)\n"
            "\n"
            "Verdict  Target          Limit  Allowed  Value  Message\n"
            "pass     findings.VL110  allow  allowed      1  wide, 100% sure; allowed\n"
            "\n"
            "Budget as applied:\n"
            "  warn_headroom_pct 0\n"
            "  findings.VL110: allow allowed (default)\n"
            "  allow VL110\n");
  const report_model failing = with_findings({{"VL110", "error", "wide, 100% sure"}});
  const budget strict = parsed("\"warn_headroom_pct\": 0", failing);
  std::ostringstream github;
  write_budget_github(github, evaluate_budget(strict, failing, nullptr));
  EXPECT_EQ(github.str(),
            "::error title=vemora-check budget::findings.VL110 allow: wide, 100%25 sure\n"
            "vemora-check check: fail (1 rule: 0 pass, 0 warn, 1 fail, 0 skipped)\n");
}

TEST(BudgetGroups, TheTextAsWrittenWinsOverOneWithATrailingBlank) {
  report_model current = settled_build();
  current.groups = {{"text ", 500}, {"text", 7}};
  const budget the_budget = parsed("\"groups\": {\"text\": {\"max_bytes\": 10}}", current);
  ASSERT_EQ(the_budget.rules.size(), 1u);
  EXPECT_EQ(the_budget.rules[0].index, 1u);
  EXPECT_EQ(the_budget.rules[0].target, "groups.text");
}

// ---- symbols ------------------------------------------------------------------

TEST(BudgetSymbols, EachLimitIsARuleWithItsPattern) {
  const report_model current = settled_build();
  const budget the_budget = parsed(
      "\"symbols\": {\"*printf*\": {\"max_bytes\": \"16K\", \"max_growth_bytes\": 8, "
      "\"max_growth_pct\": 2.5, \"each\": true}, \"a.b\": {\"each\": false, \"max_bytes\": 1}}, "
      "\"new_symbols\": {\"max_bytes\": \"1K\"}",
      current);
  struct row {
    std::string key, target, limit, text, pattern;
    double value;
    bool each;
  };
  const std::vector<row> expected = {
      {"symbols.*printf*", "symbols.*printf* (each)", "max_bytes", "16K", "*printf*", 16384, true},
      {"symbols.*printf*", "symbols.*printf* (each)", "max_growth_bytes", "8", "*printf*", 8, true},
      {"symbols.*printf*", "symbols.*printf* (each)", "max_growth_pct", "2.5", "*printf*", 2.5,
       true},
      {"symbols.a.b", "symbols.a.b", "max_bytes", "1", "a.b", 1, false},
      {"new_symbols", "new_symbols", "max_bytes", "1K", "", 1024, false}};
  ASSERT_EQ(the_budget.rules.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const budget_rule& rule = the_budget.rules[i];
    EXPECT_EQ(rule.kind, i < 4 ? budget_target_kind::symbols : budget_target_kind::new_symbols);
    EXPECT_EQ(rule.key, expected[i].key);
    EXPECT_EQ(rule.target, expected[i].target);
    EXPECT_EQ(rule.limit, expected[i].limit);
    EXPECT_EQ(rule.limit_text, expected[i].text);
    EXPECT_EQ(rule.pattern, expected[i].pattern);
    EXPECT_EQ(rule.limit_value, expected[i].value);
    EXPECT_EQ(rule.each, expected[i].each);
  }
}

enum class lacking { current, baseline };

struct unchecked_case {
  std::string rules;
  lacking side;
  const char* message;
};

class BudgetSymbolsUnchecked : public ::testing::TestWithParam<unchecked_case> {};

/// A build without symbols (analysed without an image) never lets a symbol rule pass.
TEST_P(BudgetSymbolsUnchecked, IsSkippedWithTheReason) {
  report_model current = settled_build();
  report_model base = baseline_build();
  report_model& bare = GetParam().side == lacking::current ? current : base;
  bare.has_symbols = false;
  bare.symbols.clear();
  const budget the_budget = parsed(GetParam().rules, current);
  const budget_result result = evaluate_budget(the_budget, current, &base);
  ASSERT_EQ(result.rules.size(), 1u);
  EXPECT_EQ(rule_verdict_keyword(result.rules[0].verdict), "skipped");
  EXPECT_FALSE(result.rules[0].value);
  EXPECT_EQ(result.rules[0].message, GetParam().message);
}

const char* const k_no_symbols = "no symbols: the build was analysed without an image";
const char* const k_no_base_symbols =
    "no symbols in the baseline (made without an image, or older than schema 1.3.0)";

INSTANTIATE_TEST_SUITE_P(
    Sides, BudgetSymbolsUnchecked,
    ::testing::Values(
        unchecked_case{"\"symbols\": {\"*\": {\"max_bytes\": 1}}", lacking::current, k_no_symbols},
        unchecked_case{"\"symbols\": {\"*\": {\"max_bytes\": 1, \"each\": true}}", lacking::current,
                       k_no_symbols},
        unchecked_case{"\"symbols\": {\"*\": {\"max_growth_pct\": 1, \"each\": true}}",
                       lacking::baseline, k_no_base_symbols},
        unchecked_case{"\"new_symbols\": {\"max_bytes\": 1}", lacking::baseline, k_no_base_symbols},
        // A limit on the current build alone needs nothing of the baseline.
        unchecked_case{"\"symbols\": {\"nosuch\": {\"max_bytes\": 1}}", lacking::baseline,
                       "no symbol matches"}));

TEST(BudgetSymbols, WritersShowTheSymbolRules) {
  const report_model current = settled_build();
  const report_model base = baseline_build();
  const budget the_budget = parsed(
      "\"symbols\": {\"*printf*\": {\"max_bytes\": 739, \"each\": true}, \"logger::*\": "
      "{\"max_growth_bytes\": 200}}, \"new_symbols\": {\"max_bytes\": 100}",
      current);
  const budget_result result = evaluate_budget(the_budget, current, &base);
  std::ostringstream text;
  write_budget_text(text, the_budget, result);
  EXPECT_EQ(text.str(),
            "vemora-check check: fail (3 rules: 2 pass, 0 warn, 1 fail, 0 skipped)\n"
            "\n"
            "Verdict  Target                   Limit             Allowed  Value  Message\n"
            "pass     symbols.*printf* (each)  max_bytes             739    700  _vfprintf_r "
            "(largest of 2) holds 700 bytes (limit 739 bytes)\n"
            "pass     symbols.logger::*        max_growth_bytes      200    120  1 symbol (0 in "
            "the baseline) grew by 120 bytes (limit 200 bytes)\n"
            "fail     new_symbols              max_bytes             100    120  1 new symbol "
            "holds 120 bytes, over the limit of 100 bytes\n"
            "\n"
            "Budget as applied:\n"
            "  warn_headroom_pct 0\n"
            "  symbols.*printf* (each): max_bytes 739\n"
            "  symbols.logger::*: max_growth_bytes 200\n"
            "  new_symbols: max_bytes 100\n");
  // Without a baseline the growth rules are notices, never silent passes.
  std::ostringstream github;
  write_budget_github(github, evaluate_budget(the_budget, current, nullptr));
  EXPECT_EQ(github.str(),
            "::notice title=vemora-check budget::symbols.logger::* max_growth_bytes: a growth "
            "limit needs --baseline\n"
            "::notice title=vemora-check budget::new_symbols max_bytes: a limit on new symbols "
            "needs --baseline\n"
            "vemora-check check: pass (3 rules: 1 pass, 0 warn, 0 fail, 2 skipped)\n");
}

struct size_case {
  const char* text;
  std::optional<std::uint64_t> size;
};

class SizeText : public ::testing::TestWithParam<size_case> {};

TEST_P(SizeText, ReadsAsLinkerScriptsDo) {
  EXPECT_EQ(parse_size_text(GetParam().text), GetParam().size);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeText,
    ::testing::Values(size_case{"0", 0}, size_case{"512", 512}, size_case{"16K", 16384},
                      size_case{"1M", 1048576}, size_case{"K", std::nullopt},
                      size_case{"16 K", std::nullopt}, size_case{"16KB", std::nullopt},
                      size_case{"", std::nullopt}, size_case{"0x10", std::nullopt},
                      size_case{"1234567890123456", std::nullopt},
                      size_case{"8589934593M", std::nullopt},
                      size_case{"8589934591M", std::uint64_t{8589934591} * 1048576}));

}  // namespace
