// The exit codes of diff, check and report --baseline, in-process: a diff
// always ends 0 once both reports are read, check ends 1 on a failed rule
// (or a warning under --warnings-as-errors), and a budget or baseline that
// cannot be used ends 3 with one line naming the file, the key and why.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "check/check_test_run.h"
#include "check/run_check.h"
#include "tests/test_support.h"

namespace {

using test_support::scoped_working_dir;

using check_test::check_run;
using check_test::run;

// The small board of the report formats: program0 37.5 % used (192 of 512),
// one section dropped for each of five reasons, straddles_range among them
// (.sdata, 16 bytes from 0x1F8 across the end of program0 at 0x200). The
// budgets but default.json and straddle.json say to ignore it.
class budget_folder : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string small = test_support::source_dir() + "/formats/testdata/small/";
    m_dir.write("memory.def", test_support::read_file(small + "memory.def"));
    m_dir.write("small.map", test_support::read_file(small + "firmware.map"));
    const std::string ignore = ", \"dropped\": {\"straddles_range\": \"ignore\"}";
    m_dir.write("pass.json", budget("\"ranges\": {\"program0\": {\"max_used_pct\": 50}}" + ignore));
    m_dir.write("default.json", budget("\"ranges\": {\"program0\": {\"max_used_pct\": 50}}"));
    m_dir.write("fail.json", budget("\"ranges\": {\"program0\": {\"max_used_pct\": 30}}" + ignore));
    m_dir.write("warn.json", budget("\"warn_headroom_pct\": 15, \"ranges\": {\"boot | flash\": "
                                    "{\"max_used_pct\": 50}}" +
                                    ignore));
    m_dir.write("straddle.json", budget("\"dropped\": {\"straddles_range\": \"error\"}"));
    m_dir.write("growth.json",
                budget("\"totals\": {\"program\": {\"max_growth_bytes\": 0}}" + ignore));
    m_dir.write("group.json", budget("\"groups\": {\".text\": {\"max_bytes\": 1}}" + ignore));
    m_dir.write("memfoot.json", budget("\"totals\": {\"memory\": {\"max_footprint_pct\": 90}}"));
    m_dir.write("allow.json", budget("\"allow\": [\"VL110\", \"VL11\"]" + ignore));
    m_dir.write("nogroup.json", budget("\"groups\": {\"bss\": {\"max_bytes\": 1}}" + ignore));
    m_dir.write("typo.json", budget("\"ranges\": {\"program7\": {\"max_used_pct\": 50}}"));
    m_dir.write("bad.json", "{\"budget_version\": 1,");
    m_dir.write("array.json", "[1]");
    m_dir.write("major2.json", "{\"schema\": \"vemora-report\", \"schema_version\": \"2.0.0\"}");
  }

  static std::string budget(const std::string& members) {
    return "{\"budget_version\": 1, " + members + "}";
  }

  /// The report of the small board, as a baseline.
  void write_baseline() {
    ASSERT_EQ(run({"report", "Tev2", "memory.def", "small.map", "--json", "base.json"}).code, 0);
  }

  test_support::scoped_temp_dir m_dir;
};

using check_test::exit_case;

const std::vector<std::string> k_check = {"check", "Tev2", "memory.def", "small.map"};

std::vector<std::string> with(std::vector<std::string> front,
                              const std::vector<std::string>& more) {
  front.insert(front.end(), more.begin(), more.end());
  return front;
}

TEST_F(budget_folder, ExitCodesAndTheirMessages) {
  const scoped_working_dir here(m_dir.path());
  write_baseline();
  const std::vector<exit_case> cases = {
      {"a budget that holds", with(k_check, {"--budget", "pass.json"}), 0, ""},
      {"a breached budget", with(k_check, {"--budget", "fail.json"}), 1, ""},
      {"the verdicts and the page both on standard output",
       with(k_check, {"--budget", "pass.json", "--json", "-", "--html", "-"}), 2,
       "vemora-check: --json - and --html - both ask for standard output\n"},
      {"a warning alone passes", with(k_check, {"--budget", "warn.json"}), 0, ""},
      {"a warning as an error", with(k_check, {"--budget", "warn.json", "--warnings-as-errors"}), 1,
       ""},
      {"a dropped section as an error", with(k_check, {"--budget", "straddle.json"}), 1, ""},
      {"a straddling section fails when the budget says nothing of it",
       with(k_check, {"--budget", "default.json"}), 1, ""},
      {"a group named without the trailing blank of its search text",
       with(k_check, {"--budget", "group.json"}), 1, ""},
      {"a footprint of the memory area", with(k_check, {"--budget", "memfoot.json"}), 3,
       "vemora-check: memfoot.json: totals.memory.max_footprint_pct: unknown limit (known: "
       "max_used_pct, max_used_bytes, min_free_bytes, max_growth_bytes, max_growth_pct)\n"},
      {"a code of no finding under allow", with(k_check, {"--budget", "allow.json"}), 3,
       "vemora-check: allow.json: allow[1]: \"VL11\" is no code of a finding of the map (known: "
       "VL101, VL102, VL103, VL104, VL105, VL106, VL107, VL108, VL109, VL110, VL111, VL112, "
       "VL113, VL114)\n"},
      {"a group that does not exist, with those that do",
       with(k_check, {"--budget", "nogroup.json"}), 3,
       "vemora-check: nogroup.json: groups.bss: no such group (groups: #0 \".text \", #1 "
       "\"|text |.intvect \")\n"},
      {"a growth limit without a baseline is skipped, not failed",
       with(k_check, {"--budget", "growth.json"}), 0, ""},
      {"no growth since the baseline",
       with(k_check, {"--budget", "growth.json", "--baseline", "base.json"}), 0, ""},
      {"a range that does not exist", with(k_check, {"--budget", "typo.json"}), 3,
       "vemora-check: typo.json: ranges.program7: no such range (ranges: program0 \"boot | "
       "flash\", program1, memory0 \"RAM, \"fast\"\")\n"},
      {"a budget that is no JSON", with(k_check, {"--budget", "bad.json"}), 3,
       "vemora-check: bad.json: is not valid JSON (parse error at line 1, column 22: syntax error "
       "while parsing object key - unexpected end of input; expected string literal)\n"},
      {"no budget file", with(k_check, {"--budget", "missing.json"}), 3,
       "vemora-check: missing.json: no such file\n"},
      {"no --budget", k_check, 2, nullptr},
      {"check in an unknown form", with(k_check, {"--budget", "pass.json", "--format", "xml"}), 2,
       nullptr},
      {"a baseline that is no report",
       with(k_check, {"--budget", "pass.json", "--baseline", "array.json"}), 3,
       "vemora-check: array.json: is no vemora report (not a JSON object)\n"},
      {"a baseline of another major version",
       with(k_check, {"--budget", "pass.json", "--baseline", "major2.json"}), 3,
       "vemora-check: major2.json: is a report of schema version 2.0.0; this vemora-check reads "
       "version 1 reports only\n"},
      {"verdicts that would replace the budget",
       with(k_check, {"--budget", "pass.json", "--json", "pass.json"}), 3,
       "vemora-check: pass.json: is an input of this run and is not overwritten\n"},
      {"a diff", {"diff", "base.json", "base.json"}, 0, ""},
      {"a diff as Markdown", {"diff", "base.json", "base.json", "--format", "markdown"}, 0, ""},
      {"a diff of a missing report",
       {"diff", "base.json", "next.json"},
       3,
       "vemora-check: next.json: no such file\n"},
      {"a diff of no report",
       {"diff", "array.json", "base.json"},
       3,
       "vemora-check: array.json: is no vemora report (not a JSON object)\n"},
      {"a diff of one report", {"diff", "base.json"}, 2, nullptr},
      {"a diff in an unknown form",
       {"diff", "base.json", "base.json", "--format", "html"},
       2,
       nullptr},
      {"a negative --top", {"diff", "base.json", "base.json", "--top", "-1"}, 2, nullptr},
      {"a negative --min-delta",
       {"diff", "base.json", "base.json", "--min-delta", "-1"},
       2,
       nullptr},
      {"a baseline with nothing to add it to",
       {"report", "Tev2", "memory.def", "small.map", "--baseline", "base.json"},
       2,
       "vemora-check: --baseline adds the diff to --json, --markdown or --html: give one\n"},
      {"a report with a baseline that is no report",
       {"report", "Tev2", "memory.def", "small.map", "--json", "-", "--baseline", "bad.json"},
       3,
       "vemora-check: bad.json: is not valid JSON (parse error at line 1, column 22: syntax "
       "error while parsing object key - unexpected end of input; expected string literal)\n"},
  };
  for (const exit_case& c : cases) {
    const check_run result = check_test::expect_exit(c);
    if (c.code <= 1) {
      EXPECT_FALSE(result.out.empty());
    }
  }
}

TEST_F(budget_folder, JsonVerdictsGoToTheirFileAndTheTableToStandardOutput) {
  const scoped_working_dir here(m_dir.path());
  const check_run result = run(with(k_check, {"--budget", "fail.json", "--json", "verdicts.json"}));
  EXPECT_EQ(result.code, 1);
  EXPECT_EQ(result.out.rfind("vemora-check check: fail (2 rules: 1 pass, 0 warn, 1 fail, 0 "
                             "skipped)\n",
                             0),
            0u);
  const nlohmann::json verdicts =
      nlohmann::json::parse(test_support::read_file(m_dir.file("verdicts.json")));
  EXPECT_EQ(verdicts["schema"], "vemora-check");
  EXPECT_EQ(verdicts["verdict"], "fail");
  ASSERT_EQ(verdicts["rules"].size(), 2u);
  EXPECT_EQ(verdicts["rules"][0]["target"], "ranges.program0");
  EXPECT_EQ(verdicts["rules"][0]["value"], 37.5);
  EXPECT_EQ(verdicts["rules"][0]["limit_value"], 30);
}

TEST_F(budget_folder, TheDefaultForAStraddlingSectionIsARuleLikeAnyOther) {
  const scoped_working_dir here(m_dir.path());
  const check_run failed = run(with(k_check, {"--budget", "default.json", "--format", "github"}));
  EXPECT_EQ(failed.code, 1);
  EXPECT_EQ(failed.out,
            "::error title=vemora-check budget::dropped.straddles_range level: 1 section (16 "
            "bytes) dropped as straddles_range\n"
            "vemora-check check: fail (2 rules: 1 pass, 0 warn, 1 fail, 0 skipped)\n");
  // The page's table of rules lists the default among the budget's own.
  ASSERT_EQ(run(with(k_check, {"--budget", "default.json", "--html", "page.html"})).code, 1);
  const std::string page = test_support::read_file(m_dir.file("page.html"));
  EXPECT_NE(page.find("<tr><td class=\"mono\">dropped.straddles_range</td><td "
                      "class=\"mono\">level</td><td class=\"num\">error</td><td "
                      "class=\"num\">1</td>"),
            std::string::npos);
  const check_run ignored = run(with(k_check, {"--budget", "pass.json", "--format", "github"}));
  EXPECT_EQ(ignored.code, 0);
  EXPECT_EQ(ignored.out, "vemora-check check: pass (2 rules: 2 pass, 0 warn, 0 fail, 0 skipped)\n");
}

TEST_F(budget_folder, DiffListsTheSectionsDroppedInBothOnlyWithShowDropped) {
  const scoped_working_dir here(m_dir.path());
  write_baseline();
  // .sdata straddles the end of program0 in both builds: 16 bytes, none of them counted.
  const std::string row = "\r\nsection,.sdata,,,0,0,0,0.0,unchanged,,,,,,\r\n";
  const check_run quiet = run({"diff", "base.json", "base.json", "--format", "csv"});
  ASSERT_EQ(quiet.code, 0) << quiet.err;
  EXPECT_EQ(quiet.out.find(",.sdata,"), std::string::npos);
  const check_run all =
      run({"diff", "base.json", "base.json", "--format", "csv", "--show-dropped"});
  ASSERT_EQ(all.code, 0) << all.err;
  EXPECT_NE(all.out.find(row), std::string::npos);
  const check_run text =
      run({"diff", "base.json", "base.json", "--show-dropped", "--show-unchanged"});
  EXPECT_NE(text.out.find(".sdata    dropped: straddles_range"), std::string::npos) << text.out;
  const check_run json = run({"diff", "base.json", "base.json", "--format", "json"});
  const nlohmann::json document = nlohmann::json::parse(json.out);
  for (const nlohmann::json& section : document["sections"]) {
    EXPECT_NE(section["name"], ".sdata");
  }
}

TEST_F(budget_folder, JsonToStandardOutputIsTheOnlyOutput) {
  const scoped_working_dir here(m_dir.path());
  const check_run result = run(with(k_check, {"--budget", "warn.json", "--json", "-"}));
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(nlohmann::json::parse(result.out)["verdict"], "warn");
}

TEST_F(budget_folder, ReportWithABaselineCarriesTheDiff) {
  const scoped_working_dir here(m_dir.path());
  write_baseline();
  const check_run json =
      run({"report", "Tev2", "memory.def", "small.map", "--json", "-", "--baseline", "base.json"});
  ASSERT_EQ(json.code, 0) << json.err;
  const nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["schema_version"], "1.3.0");
  EXPECT_EQ(report["diff"]["schema"], "vemora-diff");
  EXPECT_EQ(report["diff"]["totals"]["program"]["current"], 256);
  EXPECT_EQ(report["diff"]["totals"]["program"]["delta"], 0);
  // A build against itself: every counted section unchanged, and the
  // dropped ones, dropped in both for the same reason, left out.
  std::size_t counted = 0;
  for (const nlohmann::json& section : report["sections"]) {
    counted += section["fate"] == "counted" ? 1 : 0;
  }
  EXPECT_LT(counted, report["sections"].size());
  EXPECT_EQ(report["diff"]["sections"].size(), counted);
  for (const nlohmann::json& row : report["diff"]["sections"]) {
    EXPECT_EQ(row["status"], "unchanged");
    EXPECT_TRUE(row["base_reason"].is_null());
  }

  const check_run markdown = run(
      {"report", "Tev2", "memory.def", "small.map", "--markdown", "-", "--baseline", "base.json"});
  ASSERT_EQ(markdown.code, 0) << markdown.err;
  EXPECT_NE(markdown.out.find("\n<!-- vemora-check diff -->\n"), std::string::npos);
  // Without a baseline the report has no diff at all.
  const check_run plain = run({"report", "Tev2", "memory.def", "small.map", "--json", "-"});
  EXPECT_FALSE(nlohmann::json::parse(plain.out).contains("diff"));
}

// The two budgets of the README's worked example: the later build of the
// example keeps the first and breaks the second.
TEST(WorkedExample, OneBudgetHoldsAndTheStrictOneFails) {
  test_support::scoped_temp_dir dir;
  const std::string examples = test_support::source_dir() + "/examples/";
  const std::string definition = examples + "tev2/memory.def";
  const std::string eeprom = examples + "tev2/EepPrj.src";
  const std::string base = dir.file("main.json");
  ASSERT_EQ(
      run({"report", "Tev2", definition, examples + "tev2/firmware.map", eeprom, "--json", base})
          .code,
      0);
  const std::vector<std::string> next = {"check", "Tev2", definition,
                                         examples + "tev2-next/firmware.map", eeprom};
  const check_run holds =
      run(with(next, {"--budget", examples + "tev2/budget.json", "--baseline", base}));
  EXPECT_EQ(holds.code, 0) << holds.out;
  EXPECT_EQ(holds.out.rfind("vemora-check check: pass (12 rules: 12 pass, 0 warn, 0 fail, 0 "
                            "skipped)\n",
                            0),
            0u);
  const check_run breaks = run(with(next, {"--budget", examples + "tev2/budget-strict.json",
                                           "--baseline", base, "--format", "github"}));
  EXPECT_EQ(breaks.code, 1);
  // 4096 bytes of growth of the code flash against 2048 allowed.
  EXPECT_NE(breaks.out.find("::error title=vemora-check budget::ranges.program1 "
                            "max_growth_bytes: grew by 4096 bytes, over the limit of 2048 "
                            "bytes\n"),
            std::string::npos);
}

}  // namespace

namespace {

// The real Cortex-M firmware listed with objdump -h -w: the reader loses every
// other section, which lint tells as an error (VL106). A budget whose ranges
// all pass still fails the gate, unless it allows that code.
TEST(BudgetOnRealFirmware, AWideListingFailsTheGateUnlessAllowed) {
  test_support::scoped_temp_dir dir;
  const std::string firmware = test_support::source_dir() + "/examples/cortex-m/";
  dir.write("memory.def", test_support::read_file(firmware + "memory.def"));
  dir.write("wide.lst", test_support::read_file(firmware + "firmware-wide.lst"));
  const std::string ranges = "\"ranges\": {\"FLASH, 64 KiB\": {\"max_used_pct\": 90}}";
  dir.write("plain.json", "{\"budget_version\": 1, " + ranges + "}");
  dir.write("allowed.json", "{\"budget_version\": 1, " + ranges + ", \"allow\": [\"VL106\"]}");
  const scoped_working_dir here(dir.path());
  const std::vector<std::string> inputs = {"check", "Tev2_mem32_unlimited", "memory.def",
                                           "wide.lst", "--budget"};
  std::vector<std::string> plain = inputs;
  plain.insert(plain.end(), {"plain.json", "--format", "github"});
  const check_run failed = run(plain);
  EXPECT_EQ(failed.code, 1) << failed.out << failed.err;
  EXPECT_NE(failed.out.find("::error title=vemora-check budget::findings.VL106 allow: the section "
                            "line of \"isr_vector\" (line 6) carries the attribute words itself"),
            std::string::npos)
      << failed.out;
  std::vector<std::string> allowed = inputs;
  allowed.insert(allowed.end(), {"allowed.json", "--format", "github"});
  // Allowed, the error passes; the heap dropped by its name inside RAM (VL107) still warns.
  const check_run passed = run(allowed);
  EXPECT_EQ(passed.code, 0) << passed.out << passed.err;
  EXPECT_NE(passed.out.find("::warning title=vemora-check budget::findings.VL107"),
            std::string::npos)
      << passed.out;
}

}  // namespace
