// The diff and budget comments print names read from reports and budget
// files: in Markdown each must render as its text, never as markup or as a
// second table cell.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "compare/budget.h"
#include "compare/report_diff.h"

namespace {

TEST(DiffMarkdown, HostileNamesRenderAsText) {
  report_model base;
  report_model current;
  model_range range;
  range.id = "<b>x</b>";
  range.label = "a|b";
  range.size = 128;
  range.used = 64;
  range.free = 64;
  range.used_pct = 50;
  current.ranges.push_back(range);
  current.groups.push_back({"`code` &", 64});
  current.sections.push_back({"<img src=x onerror=alert(1)>", true, "<b>x</b>", "", 64});
  diff_view view;
  view.base_name = "base|<i>.json";
  view.current_name = "now`.json";
  std::ostringstream out;
  write_diff_markdown(out, compute_diff(base, current), view);
  const std::string text = out.str();
  EXPECT_NE(text.find("### vemora-check diff: base&#124;&lt;i&gt;.json \xE2\x86\x92 now&#96;.json"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n| &lt;b&gt;x&lt;/b&gt; | a&#124;b | 0 | 64 | +64 | new |"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\n| &#96;code&#96; &amp; | 0 | 64 | +64 | new | added |"), std::string::npos)
      << text;
  EXPECT_NE(text.find("\n| &lt;img src=x onerror=alert(1)&gt; | &lt;b&gt;x&lt;/b&gt; | 0 | 64 "
                      "| +64 | new | added |"),
            std::string::npos)
      << text;
  for (const char* raw : {"<b>", "<i>", "<img", "`", "a|b"}) {
    EXPECT_EQ(text.find(raw), std::string::npos) << raw;
  }
}

TEST(BudgetMarkdown, HostileNamesRenderAsText) {
  budget the_budget;
  budget_rule rule;
  rule.kind = budget_target_kind::group;
  rule.key = "groups.<b>|x";
  rule.target = "groups.<b>|x";
  rule.limit = "max_bytes";
  rule.limit_value = 16;
  rule.limit_text = "16";
  the_budget.rules.push_back(rule);
  budget_result result;
  result.rules.push_back({&the_budget.rules[0], 100, rule_verdict::fail, "`x` & <i>y</i>"});
  result.verdict = rule_verdict::fail;
  result.counts[2] = 1;
  std::ostringstream out;
  write_budget_markdown(out, the_budget, result);
  EXPECT_EQ(out.str(),
            "<!-- vemora-check check -->\n"
            "### vemora-check check: fail (1 rule: 0 pass, 0 warn, 1 fail, 0 skipped)\n"
            "\n"
            "| Verdict | Target | Limit | Allowed | Value | Message |\n"
            "|---|---|---|---:|---:|---|\n"
            "| fail | groups.&lt;b&gt;&#124;x | max_bytes | 16 | 100 | &#96;x&#96; &amp; "
            "&lt;i&gt;y&lt;/i&gt; |\n"
            "\n"
            "<details><summary>Budget as applied</summary>\n"
            "\n"
            "- warn_headroom_pct 0\n"
            "- groups.&lt;b&gt;&#124;x: max_bytes 16\n"
            "\n"
            "</details>\n");
}

}  // namespace

namespace {

TEST(CompareWording, OneOfAThingIsSingular) {
  report_model current;
  current.dropped.push_back({"zero_size", 1, 1});
  budget the_budget;
  budget_rule rule;
  rule.kind = budget_target_kind::dropped;
  rule.key = "dropped.zero_size";
  rule.target = "dropped.zero_size";
  rule.limit = "level";
  rule.limit_text = "warning";
  the_budget.rules.push_back(rule);
  const budget_result result = evaluate_budget(the_budget, current, nullptr);
  ASSERT_EQ(result.rules.size(), 1u);
  EXPECT_EQ(result.rules[0].message.rfind("1 section (1 byte) dropped as zero_size", 0), 0u)
      << result.rules[0].message;
  std::ostringstream text;
  write_budget_text(text, the_budget, result);
  EXPECT_NE(text.str().find(" (1 rule: "), std::string::npos) << text.str();

  report_model base;
  report_model two;
  two.sections = {{".a", true, "program0", "", 4}, {".b", true, "program0", "", 2}};
  diff_view view;
  view.top = 1;
  std::ostringstream diff_text;
  write_diff_text(diff_text, compute_diff(base, two), view);
  EXPECT_NE(diff_text.str().find("\n... and 1 more section (--top sets how many are listed)\n"),
            std::string::npos)
      << diff_text.str();
}

}  // namespace
