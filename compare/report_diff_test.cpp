// The diff of two hand-written reports against hand-written tables (text,
// JSON, Markdown), and the pairing rules one at a time: moved, fate changed,
// sections of one name in map order, totals from the reports' totals.
#include "compare/report_diff.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "tests/test_support.h"

namespace {

std::string testdata(const std::string& name) {
  return test_support::source_dir() + "/compare/testdata/" + name;
}

report_model read_model(const std::string& name) {
  report_model model;
  std::string error;
  EXPECT_TRUE(read_report_model(test_support::read_file(testdata(name)), model, error)) << error;
  return model;
}

class TwoReports : public ::testing::Test {
 protected:
  report_model m_base = read_model("base.json");
  report_model m_current = read_model("current.json");
  report_diff m_diff = compute_diff(m_base, m_current);
};

TEST_F(TwoReports, TextTableMatchesTheHandWrittenOne) {
  diff_view view;
  view.base_name = "base.json";
  view.current_name = "current.json";
  view.top = 5;
  std::ostringstream out;
  write_diff_text(out, m_diff, view);
  EXPECT_EQ(out.str(), test_support::read_file(testdata("expected_diff_top5.txt")));
}

TEST_F(TwoReports, JsonHoldsEveryRowWithShowDropped) {
  std::ostringstream out;
  write_diff_json(out, m_diff, "", true);
  const nlohmann::json expected =
      nlohmann::json::parse(test_support::read_file(testdata("expected_diff.json")));
  EXPECT_EQ(nlohmann::json::parse(out.str()), expected);
}

TEST_F(TwoReports, JsonLeavesOutASectionDroppedInBothForTheSameReason) {
  std::ostringstream out;
  write_diff_json(out, m_diff);
  nlohmann::json expected =
      nlohmann::json::parse(test_support::read_file(testdata("expected_diff.json")));
  // .zero, dropped as zero_size in both, is the only such row.
  nlohmann::json& sections = expected["sections"];
  ASSERT_EQ(sections.back()["name"], ".zero");
  sections.erase(sections.size() - 1);
  EXPECT_EQ(nlohmann::json::parse(out.str()), expected);
}

TEST_F(TwoReports, CsvListsADroppedSectionOnlyWithShowDropped) {
  std::ostringstream quiet;
  write_diff_csv(quiet, m_diff);
  EXPECT_EQ(quiet.str().find("section,.zero"), std::string::npos);
  // .dbg went from dropped to counted: a fate change, listed either way.
  EXPECT_NE(quiet.str().find("\r\nsection,.dbg,,program1,0,64,64,,fate_changed,,,,,,\r\n"),
            std::string::npos);
  std::ostringstream all;
  write_diff_csv(all, m_diff, true);
  EXPECT_NE(all.str().find("\r\nsection,.zero,,,0,0,0,0.0,unchanged,,,,,,\r\n"), std::string::npos);
}

TEST_F(TwoReports, TextListsADroppedSectionOnlyWithShowDropped) {
  diff_view view;
  view.show_unchanged = true;
  std::ostringstream unchanged;
  write_diff_text(unchanged, m_diff, view);
  EXPECT_EQ(unchanged.str().find(".zero"), std::string::npos);
  EXPECT_NE(unchanged.str().find(".intvect"), std::string::npos);
  view.show_unchanged = false;
  view.show_dropped = true;
  std::ostringstream dropped;
  write_diff_text(dropped, m_diff, view);
  EXPECT_NE(dropped.str().find(".zero    dropped: zero_size"), std::string::npos);
  EXPECT_EQ(dropped.str().find(".intvect"), std::string::npos);
}

TEST_F(TwoReports, JsonIndentedForAnotherDocumentStaysOneDocument) {
  std::ostringstream out;
  out << "{\"diff\": ";
  write_diff_json(out, m_diff, "  ");
  out << "}";
  const nlohmann::json outer = nlohmann::json::parse(out.str());
  EXPECT_EQ(outer["diff"]["schema"], "vemora-diff");
  // Twelve sections but .zero, dropped in both.
  EXPECT_EQ(outer["diff"]["sections"].size(), 11u);
  // Members two deeper than the indent, rows four deeper, the closing brace at the indent.
  EXPECT_NE(out.str().find("\n    \"ranges\": [\n      {\"id\": \"program1\""), std::string::npos);
  EXPECT_NE(out.str().find("\n  }}"), std::string::npos);
}

TEST_F(TwoReports, MarkdownStartsWithItsMarkerAndFoldsTheRest) {
  diff_view view;
  view.base_name = "base.json";
  view.current_name = "current.json";
  view.top = 5;
  std::ostringstream out;
  write_diff_markdown(out, m_diff, view);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("<!-- vemora-check diff -->\n### vemora-check diff: base.json \xE2\x86\x92 "
                       "current.json (\xCE\x94 = CURRENT \xE2\x88\x92 BASE)\n",
                       0),
            0u);
  const std::size_t details = text.find("<details><summary>2 more sections</summary>");
  ASSERT_NE(details, std::string::npos);
  // The top five before the fold, the two smallest changes inside it.
  EXPECT_LT(text.find("| .buf | memory1 | 10 | 0 | -10 | removed | removed |"), details);
  EXPECT_GT(text.find("| .flags | memory0 | 0 | 0.5 | +0.5 | new | added |"), details);
  EXPECT_GT(text.find("| .cal | program0 \xE2\x86\x92 program1 | 200 | 200 | 0 | 0.00 | moved |"),
            details);
  EXPECT_EQ(text.find(".intvect"), std::string::npos);
}

TEST_F(TwoReports, CsvHeaderSaysWhichWayTheDeltaGoes) {
  std::ostringstream out;
  write_diff_csv(out, m_diff);
  const std::string text = out.str();
  EXPECT_EQ(text.substr(0, text.find("\r\n")),
            "level,name,base_range,current_range,base,current,delta_current_minus_base,delta_pct,"
            "status,key,base_section,current_section,base_group,current_group,file");
  EXPECT_NE(text.find("\r\ntotal,memory,,,310,420.5,110.5,35.645161290322584,changed,,,,,,\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("\r\nsection,.cal,program0,program1,200,200,0,0.0,moved,,,,,,\r\n"),
            std::string::npos);
}

TEST_F(TwoReports, MinDeltaAndShowUnchangedChooseTheRows) {
  diff_view view;
  view.min_delta = 150;
  std::ostringstream out;
  write_diff_text(out, m_diff, view);
  const std::string text = out.str();
  EXPECT_NE(text.find("+414"), std::string::npos);  // program1, changed by more
  EXPECT_EQ(text.find("+121"), std::string::npos);  // memory0, changed by less
  // Rows that appeared, went or changed their fate are listed whatever their delta.
  EXPECT_NE(text.find("fate_changed"), std::string::npos);
  EXPECT_NE(text.find(".old"), std::string::npos);
  EXPECT_NE(text.find("moved"), std::string::npos);
  EXPECT_EQ(text.find(".intvect"), std::string::npos);
  view.min_delta = 0;
  view.show_unchanged = true;
  std::ostringstream all;
  write_diff_text(all, m_diff, view);
  EXPECT_NE(all.str().find(".intvect"), std::string::npos);
}

// ---- the rules one at a time -------------------------------------------------

model_section counted(const std::string& name, const std::string& range, double bytes) {
  return {name, true, range, "", bytes};
}
model_section dropped(const std::string& name, const std::string& reason, double bytes) {
  return {name, false, "", reason, bytes};
}

struct pairing_case {
  const char* what;
  std::vector<model_section> base;
  std::vector<model_section> current;
  /// The expected rows as "name base_range>current_range base>current status", in order.
  std::vector<std::string> rows;
};

std::string row_text(const section_diff& row) {
  std::ostringstream out;
  out << row.name << ' ' << row.base_range << '>' << row.current_range << ' ' << row.bytes.base
      << '>' << row.bytes.current << ' ' << diff_status_keyword(row.status);
  return out.str();
}

class SectionPairing : public ::testing::TestWithParam<pairing_case> {};

TEST_P(SectionPairing, GivesTheRowsInOrder) {
  report_model base;
  base.sections = GetParam().base;
  report_model current;
  current.sections = GetParam().current;
  std::vector<std::string> rows;
  for (const section_diff& row : compute_diff(base, current).sections) {
    rows.push_back(row_text(row));
  }
  EXPECT_EQ(rows, GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SectionPairing,
    ::testing::Values(
        pairing_case{
            "same range first, even when another of the name comes earlier",
            {counted(".a", "program0", 10), counted(".a", "program1", 20)},
            {counted(".a", "program1", 25), counted(".a", "program0", 10)},
            {".a program1>program1 20>25 changed", ".a program0>program0 10>10 unchanged"}},
        pairing_case{"map order within a range, not sizes; the rest of a name is moved",
                     {counted(".a", "program0", 10), counted(".a", "program0", 30)},
                     {counted(".a", "program1", 10), counted(".a", "program0", 30)},
                     {".a program0>program1 30>10 moved", ".a program0>program0 10>30 changed"}},
        pairing_case{"counted to dropped is a fate change that frees its bytes",
                     {counted(".b", "memory0", 8)},
                     {dropped(".b", "outside_ranges", 8)},
                     {".b memory0> 8>0 fate_changed"}},
        pairing_case{"a new reason to drop is a fate change too",
                     {dropped(".c", "zero_size", 0)},
                     {dropped(".c", "outside_ranges", 4)},
                     {".c > 0>0 fate_changed"}},
        pairing_case{"dropped in both for one reason is unchanged, whatever its size did",
                     {dropped(".d", "debug_name", 8)},
                     {dropped(".d", "debug_name", 16)},
                     {".d > 0>0 unchanged"}},
        pairing_case{"three of a name against one: two removed",
                     {counted(".t", "program0", 1), counted(".t", "program0", 2),
                      counted(".t", "program0", 3)},
                     {counted(".t", "program0", 2)},
                     {".t program0> 3>0 removed", ".t program0> 2>0 removed",
                      ".t program0>program0 1>2 changed"}},
        pairing_case{
            "ties by name, then in the order of the rows",
            {},
            {counted(".z", "program0", 5), counted(".a", "program0", 5),
             counted(".m", "program0", -5)},
            {".a >program0 0>5 added", ".m >program0 0>-5 added", ".z >program0 0>5 added"}}),
    [](const ::testing::TestParamInfo<pairing_case>& param) {
      return "Case" + std::to_string(param.index);
    });

TEST(DiffTotals, ComeFromTheReportsTotalsNotFromTheRows) {
  report_model base;
  base.program = {100, 40, 60, 40.0};
  base.sections = {counted(".a", "program0", 1)};
  report_model current;
  current.program = {100, 70, 30, 70.0};
  const report_diff diff = compute_diff(base, current);
  EXPECT_EQ(diff.program.used.base, 40);
  EXPECT_EQ(diff.program.used.current, 70);
  EXPECT_EQ(diff.program.used.delta, 30);
  EXPECT_EQ(diff.program.used.delta_pct, 75.0);
  EXPECT_EQ(diff.program.status, diff_status::changed);
}

TEST(DiffAmounts, NoInfinityFromABaseOfZero) {
  EXPECT_EQ(make_diff_amount(0, 5).delta_pct, std::nullopt);
  EXPECT_EQ(make_diff_amount(0, 0).delta_pct, 0.0);
  EXPECT_EQ(make_diff_amount(8, 0).delta_pct, -100.0);
}

TEST(RangeDiff, NewBoundsAloneMakeARangeChanged) {
  report_model base;
  base.ranges = {{"program0", true, std::nullopt, 0, 1024, 10, 1014, 1.0}};
  report_model current;
  current.ranges = {{"program0", true, std::nullopt, 0, 2048, 10, 2038, 0.5}};
  const report_diff diff = compute_diff(base, current);
  ASSERT_EQ(diff.ranges.size(), 1u);
  EXPECT_EQ(diff.ranges[0].status, diff_status::changed);
  EXPECT_TRUE(diff.ranges[0].bounds_changed());
  std::ostringstream out;
  write_diff_text(out, diff, diff_view{});
  EXPECT_NE(out.str().find("0x00000000 size 1024 \xE2\x86\x92 0x00000000 size 2048"),
            std::string::npos);
}

}  // namespace

namespace {
TEST(DiffText, ANameCannotDriveTheTerminal) {
  report_model base;
  report_model current;
  current.sections = {{".a\x1b[2J\nb\xe9", true, "program0", "", 4}};
  std::ostringstream out;
  write_diff_text(out, compute_diff(base, current), diff_view{});
  EXPECT_NE(out.str().find(".a [2J b\xc3\xa9  program0"), std::string::npos);
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
}
}  // namespace

namespace {
TEST(DiffMarkdown, TopZeroFoldsEverySectionRow) {
  report_model base;
  report_model current;
  current.sections = {{".a", true, "program0", "", 4}};
  diff_view view;
  view.top = 0;
  std::ostringstream out;
  write_diff_markdown(out, compute_diff(base, current), view);
  const std::string text = out.str();
  EXPECT_NE(text.find("#### Sections\n\n<details><summary>1 more section</summary>\n\n| Section "),
            std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 12), "\n</details>\n");
}
}  // namespace
